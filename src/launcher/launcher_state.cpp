#include "launcher/launcher_state.h"

LauncherVariables Launcher;
