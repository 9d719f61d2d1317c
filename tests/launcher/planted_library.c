/* A library planted beside a program under the name of a system library, as an archive a player
   unpacks might carry one; its export tells it apart from the system's. */
#include <windows.h>

__declspec(dllexport) int PlantedLibraryMarker(void) { return 1; }
