// skinpack.exe on Windows XP. libstdc++ as Debian's MinGW builds it (POSIX threads) brings in
// winpthreads for its exception support, and winpthreads imports GetTickCount64, which XP's
// kernel32 lacks: the loader would refuse the program there. This file defines that import's slot
// itself, so the linker takes it instead of kernel32's entry: GetTickCount64 where the system has
// it, GetTickCount elsewhere. skinpack waits on no condition, so the wrap after 49 days never shows.
#include <windows.h>

namespace {

ULONGLONG WINAPI TickCount64() {
  FARPROC system = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount64");
  return system ? reinterpret_cast<ULONGLONG(WINAPI*)()>(reinterpret_cast<void*>(system))() : GetTickCount();
}

}  // namespace

#ifdef __i386__
#define TICK_COUNT_64_SLOT "__imp__GetTickCount64@0"
#else
#define TICK_COUNT_64_SLOT "__imp_GetTickCount64"
#endif
extern "C" ULONGLONG(WINAPI* const TickCount64Slot)() __asm__(TICK_COUNT_64_SLOT) = TickCount64;
