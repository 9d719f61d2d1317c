// Starting programs for real: the stand-in game "zindle.exe" is copied into test folders and
// started through StartProgram (ANSI) and through the launcher's wide start beside itself; the
// stand-in's record tells how it was started. The game start's request to the shell is also
// seen directly, through a recorder in place of the shell call.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "box_watch.h"
#include "launcher/game_start.h"
#include "launcher/program_runner.h"
#include "launcher/system_procedure.h"
#include "support/runtime_setup.h"

namespace {

const wchar_t StandInPath[] = L"" STANDIN_GAME_PATH;
const wchar_t ProbePath[] = L"" START_BESIDE_PROBE_PATH;
const wchar_t LibrarySearchProbePath[] = L"" LIBRARY_SEARCH_PROBE_PATH;
const wchar_t PlantedLibraryPath[] = L"" PLANTED_LIBRARY_PATH;

// One start of the stand-in, as it recorded it.
typedef std::map<std::wstring, std::wstring> StartRecord;

std::wstring Widen(const std::string& text, UINT codePage = CP_ACP) {
  std::wstring wide(text.size() + 1, L'\0');
  int count = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                  static_cast<int>(wide.size()));
  wide.resize(count > 0 ? count : 0);
  return wide;
}

std::string Narrow(const std::wstring& text) {
  std::string narrow(text.size() * 2 + 1, '\0');
  int count = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &narrow[0],
                                  static_cast<int>(narrow.size()), nullptr, nullptr);
  narrow.resize(count > 0 ? count : 0);
  return narrow;
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
  if (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

// The starts recorded in folder's zindle-record.txt, oldest first.
std::vector<StartRecord> ReadStarts(const std::wstring& folder) {
  std::vector<StartRecord> starts;
  HANDLE file = CreateFileW((folder + L"zindle-record.txt").c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return starts;
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD got = 0;
  if (!bytes.empty()) ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(file);
  bytes.resize(got);
  std::wstring text = Widen(bytes, CP_UTF8);
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(L'\n', at);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(at, end - at);
    at = end + 1;
    if (line == L"start") {
      starts.emplace_back();
    } else if (!starts.empty()) {
      size_t equals = line.find(L'=');
      if (equals == std::wstring::npos) starts.back()[line] = L"";
      else starts.back()[line.substr(0, equals)] = line.substr(equals + 1);
    }
  }
  return starts;
}

// Deletes a folder with everything in it.
void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(folder + name + L"\\");
      else DeleteFileW((folder + name).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

// Every test works below a folder of its own, removed afterwards.
class Runner : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1];
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
    root = std::wstring(temp) + L"zindle runner " + std::to_wstring(GetCurrentProcessId()) + L"\\";
    RemoveTree(root);
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
  }
  void TearDown() override { RemoveTree(root); }

  // Creates root + relative (each part in turn) and returns it with a trailing backslash.
  std::wstring MakeFolder(const std::wstring& relative) {
    std::wstring folder = root;
    size_t at = 0;
    while (at < relative.size()) {
      size_t end = relative.find(L'\\', at);
      if (end == std::wstring::npos) end = relative.size();
      folder += relative.substr(at, end - at) + L"\\";
      CreateDirectoryW(folder.c_str(), nullptr);
      at = end + 1;
    }
    return folder;
  }
  // A folder holding a copy of the stand-in game.
  std::wstring GameFolder(const std::wstring& relative) {
    std::wstring folder = MakeFolder(relative);
    EXPECT_TRUE(CopyFileW(StandInPath, (folder + L"zindle.exe").c_str(), FALSE)) << Narrow(folder);
    return folder;
  }

  std::wstring root;
};

// Waits for a process that StartProgram handed back and closes its handle.
void AwaitEnd(intptr_t started) {
  ASSERT_GT(started, 1) << "no process handle";
  WaitForSingleObject(reinterpret_cast<HANDLE>(started), INFINITE);
  CloseHandle(reinterpret_cast<HANDLE>(started));
}

bool HasEnded(intptr_t started) {
  return WaitForSingleObject(reinterpret_cast<HANDLE>(started), 0) == WAIT_OBJECT_0;
}

TEST(StartProgram, NullFileStartsNothing) {
  EXPECT_EQ(StartProgram(nullptr), 0);
  EXPECT_EQ(StartProgram(nullptr, "x", "C:\\", WaitForExit), 0);
}

TEST_F(Runner, OneArgumentFormWorksInTheFilesOwnFolder) {
  std::wstring folder = GameFolder(L"Games Z");
  std::string file = Narrow(folder) + "zindle.exe";
  AwaitEnd(StartProgram(file.c_str()));

  std::vector<StartRecord> starts = ReadStarts(folder);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0][L"path"], folder + L"zindle.exe");
  EXPECT_EQ(WithoutTrailingBackslash(starts[0][L"folder"]), WithoutTrailingBackslash(folder));
  EXPECT_EQ(starts[0][L"show"], L"1");
  EXPECT_EQ(starts[0].count(L"end"), 1u);
}

TEST_F(Runner, GivenFolderAndParametersAreUsed) {
  std::wstring game = GameFolder(L"game");
  std::wstring elsewhere = MakeFolder(L"work here");
  std::string file = Narrow(game) + "zindle.exe";
  AwaitEnd(StartProgram(file.c_str(), "alpha \"two words\"", Narrow(elsewhere).c_str()));

  std::vector<StartRecord> starts = ReadStarts(game);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(WithoutTrailingBackslash(starts[0][L"folder"]), WithoutTrailingBackslash(elsewhere));
  const std::wstring& command = starts[0][L"command"];
  EXPECT_NE(command.find(L"alpha \"two words\""), std::wstring::npos) << Narrow(command);
}

TEST_F(Runner, BareFileNameGetsThePlatformsDefaultFolder) {
  std::wstring game = GameFolder(L"bare");
  wchar_t previous[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(game.c_str()));
  intptr_t started = StartProgram("zindle.exe", nullptr, nullptr, WaitForExit);
  SetCurrentDirectoryW(previous);
  AwaitEnd(started);

  std::vector<StartRecord> starts = ReadStarts(game);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(WithoutTrailingBackslash(starts[0][L"folder"]), WithoutTrailingBackslash(game));
}

// Signals a named event once the stand-in has recorded its start, noting that it did so first.
struct Releaser {
  std::wstring folder;
  HANDLE event;
  volatile LONG released;
};

DWORD WINAPI ReleaseWhenStarted(void* parameter) {
  Releaser* releaser = static_cast<Releaser*>(parameter);
  for (int look = 0; look < 400 && ReadStarts(releaser->folder).empty(); ++look) Sleep(50);
  InterlockedExchange(&releaser->released, 1);
  SetEvent(releaser->event);
  return 0;
}

TEST_F(Runner, WaitForExitReturnsOnlyAfterTheProgramHasEnded) {
  std::wstring game = GameFolder(L"wait");
  std::string file = Narrow(game) + "zindle.exe";
  Releaser releaser = {game, CreateEventA(nullptr, TRUE, FALSE, "ZindleRunnerTestRelease"), 0};
  HANDLE thread = CreateThread(nullptr, 0, ReleaseWhenStarted, &releaser, 0, nullptr);

  // The stand-in cannot end before the event is set, which happens only on the other thread.
  intptr_t started = StartProgram(file.c_str(), "--wait ZindleRunnerTestRelease", nullptr, WaitForExit);
  EXPECT_EQ(releaser.released, 1);
  EXPECT_GT(started, 1);
  EXPECT_TRUE(HasEnded(started));
  std::vector<StartRecord> starts = ReadStarts(game);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].count(L"end"), 1u);

  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  CloseHandle(releaser.event);
  AwaitEnd(started);
}

TEST_F(Runner, WithoutWaitForExitReturnsWhileTheProgramRuns) {
  std::wstring game = GameFolder(L"nowait");
  std::string file = Narrow(game) + "zindle.exe";
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, "ZindleRunnerTestRelease2");
  intptr_t started = StartProgram(file.c_str(), "--wait ZindleRunnerTestRelease2", nullptr);
  EXPECT_GT(started, 1);
  EXPECT_FALSE(HasEnded(started)) << "the stand-in waits for the event, which is not set yet";
  SetEvent(release);
  AwaitEnd(started);
  CloseHandle(release);
  EXPECT_EQ(ReadStarts(game).size(), 1u);
}

TEST_F(Runner, LaunchHiddenStartsWithShowStateHide) {
  std::wstring game = GameFolder(L"hidden");
  std::string file = Narrow(game) + "zindle.exe";
  AwaitEnd(StartProgram(file.c_str(), nullptr, nullptr, WaitForExit | LaunchHidden));
  AwaitEnd(StartProgram(file.c_str(), nullptr, nullptr, WaitForExit));
  std::vector<StartRecord> starts = ReadStarts(game);
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[0][L"show"], L"0");
  EXPECT_EQ(starts[1][L"show"], L"1");
}

TEST_F(Runner, DefaultFolderThatDoesNotFitStartsNothing) {
  // The folder part alone is longer than the 512 bytes the default folder is built in.
  std::wstring part(200, L'd');
  std::wstring game = GameFolder(part + L"\\" + part + L"\\" + part);
  std::string file = Narrow(game) + "zindle.exe";
  ASSERT_GT(file.size(), 512u);
  EXPECT_EQ(StartProgram(file.c_str(), nullptr, nullptr, WaitForExit), 0);
  EXPECT_TRUE(ReadStarts(game).empty());
}

TEST_F(Runner, MissingFileStartsNothing) {
  // The shell reports the missing file in a box of its own (caption "Error" under Wine) and
  // returns once it is closed.
  BoxWatch watch = {nullptr, IDOK, nullptr, nullptr};
  StartBoxWatch(&watch);
  std::string file = Narrow(root) + "zindle.exe";
  EXPECT_EQ(StartProgram(file.c_str(), nullptr, nullptr, WaitForExit), 0);
  EXPECT_TRUE(FinishBoxWatch(&watch));
}

// Runs a copy of a probe (the start-beside probe unless named) as "launcher.exe" in folder, from
// another working folder, and returns its exit code.
DWORD RunProbeIn(const std::wstring& folder, const std::wstring& workingFolder, const wchar_t* argument,
                 const wchar_t* probe = ProbePath) {
  std::wstring launcher = folder + L"launcher.exe";
  EXPECT_TRUE(CopyFileW(probe, launcher.c_str(), FALSE));
  std::wstring command = L"\"" + launcher + L"\"" + (argument ? std::wstring(L" ") + argument : L"");
  STARTUPINFOW startup = {sizeof startup};
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(launcher.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                      workingFolder.c_str(), &startup, &process)) {
    ADD_FAILURE() << "cannot run " << Narrow(launcher) << ", error " << GetLastError();
    return 0xFFFFFFFF;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0xFFFFFFFF;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return code;
}

TEST_F(Runner, GameStartsBesideTheLauncherWhateverItsFolderIsCalled) {
  std::vector<std::wstring> names = {
      L"Zindle Games",
      L"\u0418\u0433\u0440\u044b Zindle",  // Cyrillic
      L"\u6e38\u620f \u30b2\u30fc\u30e0",  // Chinese and Japanese
  };
  // The longest launcher path the platform can start a program from: 259 characters, whose
  // terminator fills MAX_PATH. (Wine starts no program from a longer path.)
  const size_t launcherName = sizeof "\\launcher.exe" - 1;
  names.push_back(L"long " + std::wstring(MAX_PATH - 1 - root.size() - 5 - launcherName, L'a'));
  ASSERT_EQ((root + names.back()).size() + launcherName, static_cast<size_t>(MAX_PATH - 1));
  for (const std::wstring& name : names) {
    SCOPED_TRACE(Narrow(name));
    std::wstring game = GameFolder(name);
    EXPECT_EQ(RunProbeIn(game, root, nullptr), 0u);
    std::vector<StartRecord> starts = ReadStarts(game);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_TRUE(starts[0][L"path"] == game + L"zindle.exe") << Narrow(starts[0][L"path"]);
    EXPECT_TRUE(WithoutTrailingBackslash(starts[0][L"folder"]) == WithoutTrailingBackslash(game))
        << Narrow(starts[0][L"folder"]);
    EXPECT_EQ(starts[0][L"show"], L"1");
  }
}

TEST_F(Runner, GameStartBesideTheLauncherCanBeHiddenAndWaitedFor) {
  std::wstring game = GameFolder(L"hidden \u0418");
  EXPECT_EQ(RunProbeIn(game, root, L"hidden"), 0u);
  std::vector<StartRecord> starts = ReadStarts(game);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0][L"show"], L"0");
  EXPECT_EQ(starts[0].count(L"end"), 1u) << "the probe returned only after the game had ended";
}

// The calling thread's apartment: S_OK when it has none, S_FALSE when it is single-threaded,
// RPC_E_CHANGED_MODE when it is multithreaded. Leaves the thread as it was.
HRESULT ApartmentOfThisThread() {
  HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  if (result == S_OK || result == S_FALSE) CoUninitialize();
  return result;
}

// One game start on a thread of its own, with the shell call replaced by a recorder.
struct ShellRequestCase {
  const char* name;
  bool callerJoins;   // the thread joins an apartment of callerModel before the start
  DWORD callerModel;
  BOOL shellAnswer;   // what the recorder reports
  HRESULT apartmentDuring, apartmentAfter;
  intptr_t expectedResult;
};

// What one start handed the shell and left behind.
struct ShellRequestSeen {
  const ShellRequestCase* request;
  int calls;
  ULONG mask;
  int show;
  HRESULT apartmentDuring, apartmentAfter;
  intptr_t result;
};

ShellRequestSeen* CurrentRequest = nullptr;

BOOL WINAPI RecordShellRequest(SHELLEXECUTEINFOW* info) {
  ++CurrentRequest->calls;
  CurrentRequest->mask = info->fMask;
  CurrentRequest->show = info->nShow;
  CurrentRequest->apartmentDuring = ApartmentOfThisThread();
  info->hProcess = nullptr;
  return CurrentRequest->request->shellAnswer;
}

DWORD WINAPI StartGameOnThisThread(void* parameter) {
  ShellRequestSeen* seen = static_cast<ShellRequestSeen*>(parameter);
  const ShellRequestCase& c = *seen->request;
  HRESULT joined = c.callerJoins ? CoInitializeEx(nullptr, c.callerModel) : E_FAIL;
  seen->result = StartGameBesideLauncher();
  seen->apartmentAfter = ApartmentOfThisThread();
  if (SUCCEEDED(joined)) CoUninitialize();
  return 0;
}

// The shell is asked to finish the start before it returns, from a single-threaded apartment
// that is given up again after the call; a caller's own apartment survives, and one of the other
// model neither stops the start nor is taken away.
TEST(GameStartRequest, AsksForASynchronousStartFromASingleThreadedApartment) {
  const DWORD Single = COINIT_APARTMENTTHREADED, Multi = COINIT_MULTITHREADED;
  const ShellRequestCase cases[] = {
      {"thread without apartment", false, 0, TRUE, S_FALSE, S_OK, 1},
      {"shell refuses", false, 0, FALSE, S_FALSE, S_OK, 0},
      {"caller single-threaded", true, Single, TRUE, S_FALSE, S_FALSE, 1},
      {"caller multithreaded", true, Multi, TRUE, RPC_E_CHANGED_MODE, RPC_E_CHANGED_MODE, 1},
  };
  BOOL(WINAPI * original)(SHELLEXECUTEINFOW*) = ShellOpenW;
  ShellOpenW = RecordShellRequest;
  for (const ShellRequestCase& c : cases) {
    SCOPED_TRACE(c.name);
    ShellRequestSeen seen = {&c, 0, 0, -1, E_UNEXPECTED, E_UNEXPECTED, -1};
    CurrentRequest = &seen;
    HANDLE thread = CreateThread(nullptr, 0, StartGameOnThisThread, &seen, 0, nullptr);
    if (!thread) {
      ADD_FAILURE() << "no thread, error " << GetLastError();
      continue;
    }
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.mask, static_cast<ULONG>(SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC));
    EXPECT_EQ(seen.show, SW_SHOWNORMAL);
    EXPECT_EQ(seen.apartmentDuring, c.apartmentDuring);
    EXPECT_EQ(seen.apartmentAfter, c.apartmentAfter);
    EXPECT_EQ(seen.result, c.expectedResult);
  }
  ShellOpenW = original;
}

// The shell is loaded only after a player's action, by the launcher itself; a library that an
// unpacked archive left beside the launcher or in the current folder under the name of one the
// shell imports must not be taken for the system's. Loaded by its full path alone, the shell took
// a planted "shcore.dll" from the launcher's folder.
TEST_F(Runner, ShellIsLoadedWithItsImportsFromTheSystemFolder) {
  // Every system from Windows 8 on, and Wine, keeps a library's own imports in the system folder.
  EXPECT_EQ(SearchSystemFolderOnly, SystemLibraryLoadFlags());
  std::wstring beside = MakeFolder(L"planted beside");
  std::wstring current = MakeFolder(L"planted in the current folder");
  std::wstring clean = MakeFolder(L"clean");
  ASSERT_TRUE(CopyFileW(PlantedLibraryPath, (beside + L"shcore.dll").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(PlantedLibraryPath, (current + L"shcore.dll").c_str(), FALSE));
  EXPECT_EQ(0u, RunProbeIn(beside, clean, nullptr, LibrarySearchProbePath)) << "planted beside the launcher";
  EXPECT_EQ(0u, RunProbeIn(clean, current, nullptr, LibrarySearchProbePath)) << "planted in the current folder";
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  StartRuntimeForTests();
  return RUN_ALL_TESTS();
}
