// Starts launcher.exe, the reference and the plain popup in turn, round after round, on one pinned
// core, and compares what a player feels: the time from CreateProcess to a visible top-level
// window of the new process, and the private memory the process holds. The reference is the
// minimal popup carrying the launcher's manifest (common controls 6 and their visual styles, which
// every such program pays for); the plain popup shows what that manifest alone costs. Programs
// named on the command line (other builds of the launcher, say) join the rounds and are compared
// with the reference too. Then the shipped exe's size, section by section, against the floor of
// what it must carry (the plain popup, the skin block and the icon resource), and the start-up
// steps of the marked builds of the launcher and the reference, side by side.
//
//   startup_bench [rounds] [core] [program.exe ...]    (defaults: 31 rounds, core 0)
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "skin/zindle_skin.h"
#include "startup_marks.h"
#include "support/bench_timing.h"
#include "support/whole_file.h"

namespace {

const DWORD LongestWaitMs = 30000;

double NowMs() { return SecondsNow() * 1e3; }

struct WindowSearch {
  DWORD process;
  HWND found;
};

BOOL CALLBACK MatchVisibleWindow(HWND window, LPARAM data) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->process || !IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

HWND VisibleWindowOf(DWORD process) {
  WindowSearch search = {process, nullptr};
  EnumWindows(MatchVisibleWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Private committed bytes of another process, summed over its address space: what Windows calls
// its pagefile usage, counted region by region.
SIZE_T PrivateCommitOf(HANDLE process) {
  SIZE_T total = 0;
  MEMORY_BASIC_INFORMATION info;
  for (const char* at = nullptr; VirtualQueryEx(process, at, &info, sizeof info) == sizeof info;
       at = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
    if (info.RegionSize == 0) break;
  }
  return total;
}

struct Sample {
  double startMs;         // CreateProcess to a visible window
  SIZE_T pagefile;        // GetProcessMemoryInfo: highest PagefileUsage or PeakPagefileUsage read
  SIZE_T peakWorkingSet;  // GetProcessMemoryInfo: PeakWorkingSetSize at idle
  SIZE_T privateCommit;   // PrivateCommitOf at idle
  DWORD exitCode;
};

// Reads the platform's memory counters of the process into the sample. Under Wine the "peak" is
// the current count (anonymous resident pages), so the highest reading is kept instead.
void ReadMemory(HANDLE process, Sample* sample) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) return;
  sample->pagefile = std::max({sample->pagefile, counters.PagefileUsage, counters.PeakPagefileUsage});
  sample->peakWorkingSet = std::max(sample->peakWorkingSet, counters.PeakWorkingSetSize);
}

// One start: the clock runs from just before CreateProcess until a visible top-level window of
// the process exists; the memory is read at every poll on the way, and again while the window
// stands until the program is idle. Then a close request ends it.
// With marks, the program is a marked build: it is given a pipe as its standard output, and the
// marks it sends there are read into *marks, as milliseconds since CreateProcess was called and
// KiB of private memory.
struct StepMark {
  double ms, kib;
};

bool StartOnce(const std::string& exe, Sample* sample, std::vector<StepMark>* marks = nullptr) {
  std::string folder = exe.substr(0, exe.find_last_of("\\/") + 1);
  std::string commandLine = "\"" + exe + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  HANDLE markReader = nullptr, markWriter = nullptr;
  if (marks) {
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    if (!CreatePipe(&markReader, &markWriter, &inherited, 0)) return false;
    SetHandleInformation(markReader, HANDLE_FLAG_INHERIT, 0);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = markWriter;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  }
  PROCESS_INFORMATION process = {};
  LARGE_INTEGER counterAtStart;
  QueryPerformanceCounter(&counterAtStart);
  double start = NowMs();
  BOOL started = CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, marks != nullptr, 0, nullptr,
                                folder.c_str(), &startup, &process);
  if (markWriter) CloseHandle(markWriter);
  if (!started) {
    std::fprintf(stderr, "cannot start %s (error %lu)\n", exe.c_str(), GetLastError());
    if (markReader) CloseHandle(markReader);
    return false;
  }
  HWND window = nullptr;
  while (!(window = VisibleWindowOf(process.dwProcessId))) {
    if (NowMs() - start > LongestWaitMs || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) break;
    ReadMemory(process.hProcess, sample);
    Sleep(1);
  }
  sample->startMs = NowMs() - start;
  bool ok = window != nullptr;
  if (ok) {
    // Let it paint and go idle; its memory is read on the way.
    WaitForInputIdle(process.hProcess, 5000);
    for (int i = 0; i < 10; ++i) {
      ReadMemory(process.hProcess, sample);
      Sleep(20);
    }
    sample->privateCommit = PrivateCommitOf(process.hProcess);
    if (marks) {
      // The program sends its marks once its first paint is served, then closes the pipe.
      StartupMark received[MOST_STARTUP_MARKS];
      DWORD bytes = 0, got = 0;
      while (ReadFile(markReader, reinterpret_cast<char*>(received) + bytes, sizeof received - bytes, &got,
                      nullptr) && got > 0)
        bytes += got;
      LARGE_INTEGER frequency;
      QueryPerformanceFrequency(&frequency);
      for (DWORD i = 0; i < bytes / sizeof(StartupMark); ++i)
        marks->push_back({double(received[i].counter - counterAtStart.QuadPart) * 1e3 / double(frequency.QuadPart),
                          double(received[i].privateBytes) / 1024});
    }
    PostMessageA(window, WM_CLOSE, 0, 0);
  } else {
    std::fprintf(stderr, "%s showed no window\n", exe.c_str());
  }
  if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 5000);
    ok = false;
  }
  GetExitCodeProcess(process.hProcess, &sample->exitCode);
  if (markReader) CloseHandle(markReader);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ok && sample->exitCode == 0;
}

// The programs, in the order of their samples: the launcher, the reference (the popup with the
// launcher's manifest), the plain popup, then any programs named on the command line.
const int Launcher = 0, ManifestPopup = 1, PlainPopup = 2;
std::vector<std::string> ProgramNames = {"launcher.exe", "popup + manifest", "plain popup"};

struct Spread {
  double low, median, high;  // quartiles
};

Spread SpreadOf(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return {v[n / 4], v[n / 2], v[(3 * n) / 4]};
}

template <class Field>
std::vector<double> Column(const std::vector<Sample>& samples, Field field) {
  std::vector<double> v;
  for (const Sample& s : samples) v.push_back(double(s.*field));
  return v;
}

// Prints one comparison: each program's median with its quartiles, the ratio of the medians, and
// the round-by-round ratios' lower quartile, median and upper quartile.
template <class Field>
void PrintFigure(int ia, int ib, const std::vector<std::vector<Sample>>& samples, Field field, double scale) {
  const std::vector<Sample>&a = samples[ia], &b = samples[ib];
  std::vector<double> va = Column(a, field), vb = Column(b, field), r;
  for (size_t i = 0; i < va.size(); ++i) r.push_back(vb[i] > 0 ? va[i] / vb[i] : 0);
  Spread sa = SpreadOf(va), sb = SpreadOf(vb), sr = SpreadOf(r);
  std::printf("  %-19s %9.1f (%.1f-%.1f)  vs %-19s %9.1f (%.1f-%.1f): %.3fx; per round %.3f-%.3f-%.3f\n",
              ProgramNames[ia].c_str(), sa.median * scale, sa.low * scale, sa.high * scale, ProgramNames[ib].c_str(),
              sb.median * scale, sb.low * scale, sb.high * scale, sb.median > 0 ? sa.median / sb.median : 0.0, sr.low,
              sr.median, sr.high);
}

// Prints the exe's sections with their bytes in the file; returns the file's size.
size_t PrintSections(const char* title, const std::string& path) {
  std::vector<unsigned char> bytes = ReadWholeFile(path);
  if (bytes.size() < sizeof(IMAGE_DOS_HEADER)) return 0;
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(bytes.data() + dos->e_lfanew);
  std::printf("%s: %zu bytes (headers %lu)", title, bytes.size(), nt->OptionalHeader.SizeOfHeaders);
  const IMAGE_SECTION_HEADER* s = IMAGE_FIRST_SECTION(nt);
  for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++s)
    std::printf(", %.8s %lu", reinterpret_cast<const char*>(s->Name), s->SizeOfRawData);
  std::printf("\n");
  return bytes.size();
}

BOOL CALLBACK AddResourceSize(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR total) {
  HRSRC found = FindResourceA(module, name, type);
  if (found) *reinterpret_cast<size_t*>(total) += SizeofResource(module, found);
  return TRUE;
}

// Bytes of the exe's icon: every icon image and the icon group that lists them.
size_t IconResourceBytes(const std::string& path) {
  size_t total = 0;
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return 0;
  EnumResourceNamesA(module, RT_ICON, AddResourceSize, reinterpret_cast<LONG_PTR>(&total));
  EnumResourceNamesA(module, RT_GROUP_ICON, AddResourceSize, reinterpret_cast<LONG_PTR>(&total));
  FreeLibrary(module);
  return total;
}

void PrintSizes(const std::string& launcher, const std::string& reference) {
  size_t product = PrintSections("launcher.exe", launcher);
  size_t popup = PrintSections("minimal popup", reference);
  size_t icon = IconResourceBytes(launcher);
  size_t floor = popup + ZindleSkinBlockSize + ZindleSkinBlock200Size + icon;
  std::printf("floor: minimal popup %zu + skin blocks %u (100 %%) and %u (200 %%) + icon resource %zu = %zu bytes\n",
              popup, ZindleSkinBlockSize, ZindleSkinBlock200Size, icon, floor);
  std::printf("%-26s %zu / %zu bytes = %.3fx\n", "shipped exe size", product, floor,
              floor ? double(product) / double(floor) : 0.0);
}

// The steps both marked builds mark, in order; each ends at its mark.
const char* const StepNames[] = {
    "process start to entry (popup: C runtime too)",
    "entry to the skin (libraries, registry, window)",
    "skin (decode, bitmap, size, region, face)",
    "gadgets (two buttons)",
    "showing",
    "focus",
    "first paint served",
};
const int StepCount = sizeof StepNames / sizeof StepNames[0];

// Runs the marked launcher and the marked popup in turn and prints, for each step, the medians of
// its time in both (with quartiles) and of the private memory after it.
bool PrintSteps(int rounds) {
  const std::string marked[2] = {LAUNCHER_MARKED_PATH, MANIFEST_POPUP_MARKED_PATH};
  std::vector<double> times[2][StepCount], memory[2][StepCount];
  for (int round = 0; round < rounds; ++round) {
    for (int k = 0; k < 2; ++k) {
      int p = (round + k) % 2;
      Sample sample = {};
      std::vector<StepMark> marks;
      if (!StartOnce(marked[p], &sample, &marks) || int(marks.size()) != StepCount) {
        std::fprintf(stderr, "%s: %d marks, exit code %lu\n", marked[p].c_str(), int(marks.size()), sample.exitCode);
        return false;
      }
      for (int s = 0; s < StepCount; ++s) {
        times[p][s].push_back(marks[s].ms - (s ? marks[s - 1].ms : 0.0));
        memory[p][s].push_back(marks[s].kib);
      }
    }
  }
  std::printf("start-up steps, marked builds, %d rounds: medians (quartiles) in ms; private KiB after the step\n",
              rounds);
  std::printf("  %-48s %21s %21s %8s %8s %8s\n", "step", "launcher", "popup + manifest", "diff", "launcher",
              "popup");
  double total[2] = {0, 0};
  for (int s = 0; s < StepCount; ++s) {
    Spread a = SpreadOf(times[0][s]), b = SpreadOf(times[1][s]);
    total[0] += a.median;
    total[1] += b.median;
    std::printf("  %-48s %6.2f (%5.2f-%5.2f) %6.2f (%5.2f-%5.2f) %+8.2f %8.0f %8.0f\n", StepNames[s], a.median,
                a.low, a.high, b.median, b.low, b.high, a.median - b.median, SpreadOf(memory[0][s]).median,
                SpreadOf(memory[1][s]).median);
  }
  std::printf("  %-48s %6.2f %14s %6.2f %14s %+8.2f\n", "sum of the medians", total[0], "", total[1], "",
              total[0] - total[1]);
  return true;
}

// Each program against the reference, and the reference against the plain popup.
template <class Field>
void PrintFigures(const char* title, const std::vector<std::vector<Sample>>& samples, Field field, double scale) {
  std::printf("%s\n", title);
  for (size_t p = 0; p < samples.size(); ++p)
    if (int(p) != ManifestPopup) PrintFigure(int(p), ManifestPopup, samples, field, scale);
  PrintFigure(Launcher, PlainPopup, samples, field, scale);
}

// The launcher's peak private memory against the least it can need at the screen's scale: the
// reference's, plus the skin's bitmap in the display's format at that scale.
void PrintMemoryFloor(const std::vector<std::vector<Sample>>& samples) {
  HDC screen = GetDC(nullptr);
  long dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  long bits = screen ? GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES) : 32;
  if (screen) ReleaseDC(nullptr, screen);
  double width = MulDiv(575, dpi, 96), height = MulDiv(385, dpi, 96);
  std::vector<double> launcher, popup;
  for (const Sample& sample : samples[Launcher]) launcher.push_back(double(sample.pagefile) / 1024);
  for (const Sample& sample : samples[ManifestPopup]) popup.push_back(double(sample.pagefile) / 1024);
  double bitmap = width * height * double(bits) / 8 / 1024;
  double floor = SpreadOf(popup).median + bitmap, have = SpreadOf(launcher).median;
  std::printf("screen at %ld DPI: launcher %.0f KiB against popup + manifest %.0f + skin bitmap %.0f x %.0f x %ld bits "
              "%.0f = %.0f KiB: %.3fx\n",
              dpi, have, SpreadOf(popup).median, width, height, bits, bitmap, floor, floor > 0 ? have / floor : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::atoi(argv[1]) : 31;
  int core = argc > 2 ? std::atoi(argv[2]) : 0;
  std::vector<std::string> programs = {LAUNCHER_EXE_PATH, MANIFEST_POPUP_PATH, MINIMAL_POPUP_PATH};
  for (int i = 3; i < argc; ++i) {
    programs.push_back(argv[i]);
    std::string name = argv[i];
    ProgramNames.push_back(name.substr(name.find_last_of("\\/") + 1));
  }
  if (rounds < 1) rounds = 1;
  // Children inherit the process's affinity: every program runs on the same single core.
  if (!SetProcessAffinityMask(GetCurrentProcess(), DWORD_PTR(1) << core))
    std::fprintf(stderr, "could not pin to core %d (error %lu)\n", core, GetLastError());

  const int count = int(programs.size());
  std::vector<std::vector<Sample>> samples(count);
  for (int round = 0; round < rounds; ++round) {
    // Each round starts another program first, so that none always inherits a warm or cold cache.
    for (int k = 0; k < count; ++k) {
      int p = (round + k) % count;
      Sample sample = {};
      if (!StartOnce(programs[p], &sample)) {
        std::fprintf(stderr, "round %d: %s failed (exit code %lu)\n", round, ProgramNames[p].c_str(),
                     sample.exitCode);
        return 1;
      }
      samples[p].push_back(sample);
    }
  }
  std::printf("%s build, every program of this architecture\n", BuildArchitecture());
  std::printf("%d rounds on core %d; medians with quartiles, ratio of medians, per-round ratios (quartiles and "
              "median)\n", rounds, core);
  PrintFigures("time to a visible window (ms)", samples, &Sample::startMs, 1.0);
  PrintFigures("private memory: PagefileUsage, highest reading from start to idle (KiB)", samples,
               &Sample::pagefile, 1.0 / 1024);
  PrintMemoryFloor(samples);
  PrintFigures("private memory: committed private regions at idle (KiB)", samples, &Sample::privateCommit,
               1.0 / 1024);
  PrintFigures("peak working set, PeakWorkingSetSize (KiB)", samples, &Sample::peakWorkingSet, 1.0 / 1024);
  PrintSizes(programs[Launcher], programs[PlainPopup]);
  return PrintSteps(rounds) ? 0 : 1;
}
