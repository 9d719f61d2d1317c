/* Marks of a program's start-up, for the start-up benchmark: each mark records the performance
   counter and the process's private memory at the end of one step; SendStartupMarks writes them
   to the standard output handle the benchmark gave the process (nothing when it gave none). The
   counter is the machine's, so the benchmark measures each step from its own CreateProcess call.
   Plain C, for the C popup and the C++ launcher alike. */
#ifndef STARTUP_MARKS_H
#define STARTUP_MARKS_H
#include <windows.h>
#include <psapi.h>

#define MOST_STARTUP_MARKS 16

typedef struct {
  LONGLONG counter;      /* QueryPerformanceCounter at the mark */
  ULONGLONG privateBytes; /* PagefileUsage just after it */
} StartupMark;

static StartupMark StartupMarks[MOST_STARTUP_MARKS];
static int StartupMarkCount;

static void MarkStartupStep(void) {
  LARGE_INTEGER now;
  PROCESS_MEMORY_COUNTERS counters;
  if (StartupMarkCount >= MOST_STARTUP_MARKS) return;
  QueryPerformanceCounter(&now);
  StartupMarks[StartupMarkCount].counter = now.QuadPart;
  counters.cb = sizeof counters;
  counters.PagefileUsage = 0;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  StartupMarks[StartupMarkCount++].privateBytes = counters.PagefileUsage;
}

/* Serves every pending message, the window's first paints among them, then marks. */
static void MarkFirstPaint(void) {
  MSG message;
  while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  MarkStartupStep();
}

static void SendStartupMarks(void) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written;
  /* Only the benchmark's pipe: a console the process inherited gets nothing. */
  if (!out || out == INVALID_HANDLE_VALUE || GetFileType(out) != FILE_TYPE_PIPE) return;
  WriteFile(out, StartupMarks, (DWORD)(StartupMarkCount * sizeof(StartupMark)), &written, NULL);
  CloseHandle(out);
}
#endif
