#include "launcher/launcher_main.h"

#include "launcher/startup.h"

void LauncherMain() { EndProgram(); }
