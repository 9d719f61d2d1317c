#include "launcher/directx_check.h"

#include <windows.h>

#include "launcher/directx_classify.h"
#include "launcher/launcher_state.h"
#include "launcher/message_requester.h"
#include "runtime/runtime_state.h"
#include "runtime/strings.h"

namespace {

const char DirectXKey[] = "SOFTWARE\\Microsoft\\DirectX";
const char DirectXValue[] = "Version";

// Where the player can get a current DirectX.
const char DirectXDownloadHost[] = "www.microsoft.com";

// A value larger than this is not read: its size plus the guard bytes must stay well inside
// what the heap can be asked for.
const DWORD LargestValueRead = 0x7FFFFFF0;

// The value may change between the size query and the read: a read told to expect more tries
// again with the size it reported, a few times.
const int ValueReadAttempts = 4;

}  // namespace

char* ReadDirectXVersion() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, DirectXKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return nullptr;
  char* text = nullptr;
  DWORD size = 0;
  LONG status = RegQueryValueExA(key, DirectXValue, nullptr, nullptr, nullptr, &size);
  for (int attempt = 0; status == ERROR_SUCCESS && attempt < ValueReadAttempts; ++attempt) {
    if (size > LargestValueRead) break;
    // The value goes into a block of its own size, not into the string work buffer, which a
    // long value would overrun; only the value's end decides the version. A zero byte after
    // the data ends the text whether or not the value brings its own terminator.
    char* raw = static_cast<char*>(HeapAlloc(RuntimeState.heap, HEAP_ZERO_MEMORY, size + 1));
    if (!raw) break;
    DWORD received = size;
    LONG read = RegQueryValueExA(key, DirectXValue, nullptr, nullptr, reinterpret_cast<BYTE*>(raw), &received);
    if (read == ERROR_SUCCESS) {
      raw[received < size ? received : size] = 0;
      if (raw[0]) AssignString(&text, raw);
    }
    HeapFree(RuntimeState.heap, 0, raw);
    if (read != ERROR_MORE_DATA) break;
    size = received;
  }
  RegCloseKey(key);
  return text;
}

void CheckDirectXVersion() {
  Launcher.DirectXAccepted = 0;
  ReleaseString(Launcher.DirectXVersionText);
  Launcher.DirectXVersionText = ReadDirectXVersion();
  AssignString(&Launcher.DirectXVersionName, "????");
  if (StringLength(Launcher.DirectXVersionText) == 0) {
    // An absent key or value is accepted.
    Launcher.DirectXAccepted = 1;
    return;
  }
  char* start = RightPart(WritePosition, Launcher.DirectXVersionText, 4);
  AssignFromWorkBuffer(&Launcher.DirectXVersionText, start);
  DirectXVerdict verdict = ClassifyDirectXVersion(Launcher.DirectXVersionText);
  Launcher.DirectXVersionNumber = verdict.number;
  AssignString(&Launcher.DirectXVersionName, verdict.name);
  Launcher.DirectXAccepted = verdict.accepted;
}

void ShowDirectXRefusal() {
  char* text = AppendString("Zindle requires DirectX 9c or above to work, this computer is running DirectX ");
  AppendString(Launcher.DirectXVersionName);
  // A carriage return without a line feed, then twelve blanks.
  CharacterString(WritePosition, 13);
  RepeatSpaces(WritePosition, 12);
  AppendString("Please visit ");
  AppendString(DirectXDownloadHost);
  AppendString(" To update To latest version.");
  // Past the text's terminator: whatever window procedures build while the box is up lies
  // beyond it.
  ++WritePosition;
  ShowModalMessage("Incorrect DirectX detected", text);
  WritePosition = text;
}
