// A program linked the way launcher.exe is (its own process entry, static runtime), holding every
// launcher service, so that the image test sees what the services import while the main routine
// does not call them yet. It only starts up and ends.
#include "launcher/directx_check.h"
#include "launcher/game_start.h"
#include "launcher/launcher_main.h"
#include "launcher/message_requester.h"
#include "launcher/program_runner.h"
#include "launcher/startup.h"

namespace {

intptr_t (*const StartWithFlags)(const char*, const char*, const char*, int32_t) = StartProgram;
int32_t (*const ShowWithStyle)(const char*, const char*, UINT) = ShowModalMessage;

// Kept so that the linker takes every service in.
const void* volatile const Services[] = {
    reinterpret_cast<const void*>(CheckDirectXVersion), reinterpret_cast<const void*>(ShowDirectXRefusal),
    reinterpret_cast<const void*>(StartWithFlags),      reinterpret_cast<const void*>(StartGameBesideLauncher),
    reinterpret_cast<const void*>(ShowWithStyle),
};

}  // namespace

void LauncherMain() {
  if (!Services[0]) ShowDirectXRefusal();
  EndProgram();
}
