// The process entry point. The executable is linked with this as its entry, without the C
// runtime's start-up code: the program has no static constructors and reads no command line.
#include <windows.h>

#include "launcher/startup.h"

// The platform enters with only 4-byte stack alignment; realign for the code below.
extern "C" [[noreturn]] __attribute__((force_align_arg_pointer)) void __stdcall ProgramEntry() {
  StartRuntime(GetModuleHandleA(nullptr));
}
