// Watches for a platform message box from a second thread while the test's own thread is
// blocked in it: finds the box by its class "#32770" and caption, reads it, lets the test look
// at the screen's windows while the box is up, then answers it.
#pragma once
#include <windows.h>

struct BoxWatch {
  // Set by the test before StartBoxWatch.
  const char* caption;  // the box's caption; null: any message box of this process
  int answer;           // command sent to the box: IDOK, IDNO, ...
  // Optional: runs on the watcher's thread while the box is up.
  void (*whileShown)(BoxWatch* watch, void* context);
  void* context;
  // Filled by the watcher.
  HANDLE thread;
  HWND box;
  HWND owner;
  char text[1024];   // the text of the box's static control
  char title[256];   // the box's own window text
};

// Starts watching on a new thread; the watch gives up after about 20 seconds.
void StartBoxWatch(BoxWatch* watch);
// Waits for the watcher's thread to end; true when it found the box and answered it.
bool FinishBoxWatch(BoxWatch* watch);
