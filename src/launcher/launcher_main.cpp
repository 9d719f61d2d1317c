#include "launcher/launcher_main.h"

#include "launcher/startup.h"
#include "skin/zindle_skin.h"

// The skin the launcher's window is dressed in, compiled into the program.
extern const unsigned char* const LauncherSkinBlock;
const unsigned char* const LauncherSkinBlock = ZindleSkinBlock;

void LauncherMain() { EndProgram(); }
