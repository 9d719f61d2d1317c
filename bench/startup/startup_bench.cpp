// Starts launcher.exe and the minimal popup alternately, round after round, on one pinned core,
// and compares what a player feels: the time from CreateProcess to a visible top-level window of
// the new process, and the memory the running process holds. Then compares the shipped exe's
// size, section by section, with the floor of what it must carry: the minimal popup, the skin
// block and the icon resource.
//
//   startup_bench [rounds] [core]        (defaults: 31 rounds, core 0)
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "skin/zindle_skin.h"

namespace {

const DWORD LongestWaitMs = 30000;

double NowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) * 1e3 / double(frequency.QuadPart);
}

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
  double startMs;             // CreateProcess to a visible window
  SIZE_T peakPagefile;        // GetProcessMemoryInfo: PeakPagefileUsage
  SIZE_T peakWorkingSet;      // GetProcessMemoryInfo: PeakWorkingSetSize
  SIZE_T privateCommit;       // largest PrivateCommitOf seen while the window was up
  DWORD exitCode;
};

// One start: the clock runs from just before CreateProcess until a visible top-level window of
// the process exists. The memory is read while the window stands, then a close request ends it.
bool StartOnce(const std::string& exe, Sample* sample) {
  std::string folder = exe.substr(0, exe.find_last_of("\\/") + 1);
  std::string commandLine = "\"" + exe + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  double start = NowMs();
  if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                      &process)) {
    std::fprintf(stderr, "cannot start %s (error %lu)\n", exe.c_str(), GetLastError());
    return false;
  }
  HWND window = nullptr;
  while (!(window = VisibleWindowOf(process.dwProcessId))) {
    if (NowMs() - start > LongestWaitMs || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) break;
    Sleep(1);
  }
  sample->startMs = NowMs() - start;
  bool ok = window != nullptr;
  if (ok) {
    // Let it finish painting and go idle, reading the private commit on the way.
    sample->privateCommit = 0;
    for (int i = 0; i < 10; ++i) {
      sample->privateCommit = std::max(sample->privateCommit, PrivateCommitOf(process.hProcess));
      Sleep(20);
    }
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(process.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    sample->peakPagefile = counters.PeakPagefileUsage;
    sample->peakWorkingSet = counters.PeakWorkingSetSize;
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
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ok && sample->exitCode == 0;
}

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

// Prints one figure: each program's median with its quartiles, the ratio of the medians, and the
// quartiles of the round-by-round ratios.
template <class Field>
void PrintFigure(const char* name, const char* unit, double scale, const std::vector<Sample>& launcher,
                 const std::vector<Sample>& reference, Field field) {
  std::vector<double> a = Column(launcher, field), b = Column(reference, field), r;
  for (size_t i = 0; i < a.size(); ++i) r.push_back(b[i] > 0 ? a[i] / b[i] : 0);
  Spread sa = SpreadOf(a), sb = SpreadOf(b), sr = SpreadOf(r);
  std::printf("%-26s launcher %9.1f %s (%.1f-%.1f)   popup %9.1f %s (%.1f-%.1f)\n", name, sa.median * scale, unit,
              sa.low * scale, sa.high * scale, sb.median * scale, unit, sb.low * scale, sb.high * scale);
  std::printf("%-26s ratio of medians %.3fx, per-round ratios %.3f-%.3f (quartiles)\n", "",
              sb.median > 0 ? sa.median / sb.median : 0.0, sr.low, sr.high);
}

std::vector<unsigned char> ReadWholeFile(const std::string& path) {
  std::vector<unsigned char> bytes;
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(GetFileSize(f, nullptr));
  DWORD got = 0;
  if (!ReadFile(f, bytes.data(), DWORD(bytes.size()), &got, nullptr) || got != bytes.size()) bytes.clear();
  CloseHandle(f);
  return bytes;
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
  size_t floor = popup + ZindleSkinBlockSize + icon;
  std::printf("floor: minimal popup %zu + skin block %u + icon resource %zu = %zu bytes\n", popup,
              ZindleSkinBlockSize, icon, floor);
  std::printf("%-26s %zu / %zu bytes = %.3fx\n", "shipped exe size", product, floor,
              floor ? double(product) / double(floor) : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::atoi(argv[1]) : 31;
  int core = argc > 2 ? std::atoi(argv[2]) : 0;
  std::string launcher = argc > 3 ? argv[3] : LAUNCHER_EXE_PATH;
  std::string reference = argc > 4 ? argv[4] : MINIMAL_POPUP_PATH;
  if (rounds < 1) rounds = 1;
  // Children inherit the process's affinity: both programs run on the same single core.
  if (!SetProcessAffinityMask(GetCurrentProcess(), DWORD_PTR(1) << core))
    std::fprintf(stderr, "could not pin to core %d (error %lu)\n", core, GetLastError());

  std::vector<Sample> a, b;
  for (int round = 0; round < rounds; ++round) {
    Sample sa = {}, sb = {};
    // Alternate which one goes first, so that neither always inherits a warm or a cold cache.
    bool ok = round % 2 ? StartOnce(reference, &sb) && StartOnce(launcher, &sa)
                        : StartOnce(launcher, &sa) && StartOnce(reference, &sb);
    if (!ok) {
      std::fprintf(stderr, "round %d failed (exit codes %lu, %lu)\n", round, sa.exitCode, sb.exitCode);
      return 1;
    }
    a.push_back(sa);
    b.push_back(sb);
  }
  std::printf("launcher.exe against the minimal popup, %d rounds on core %d, medians (quartiles)\n", rounds, core);
  PrintFigure("time to a visible window", "ms", 1.0, a, b, &Sample::startMs);
  PrintFigure("private commit", "KiB", 1.0 / 1024, a, b, &Sample::privateCommit);
  PrintFigure("PeakPagefileUsage", "KiB", 1.0 / 1024, a, b, &Sample::peakPagefile);
  PrintFigure("PeakWorkingSetSize", "KiB", 1.0 / 1024, a, b, &Sample::peakWorkingSet);
  PrintSizes(launcher, reference);
  return 0;
}
