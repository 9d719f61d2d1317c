// The launcher's own program: entered once every runtime library is ready; ends in EndProgram.
#pragma once

[[noreturn]] void LauncherMain();
