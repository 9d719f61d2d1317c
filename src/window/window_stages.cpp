// The stages plugged into the window library. A stage that is built names its functions here;
// until then its entry stays empty and the library skips the step.
#include "window/window_stages.h"

#include "window/focus_navigation.h"
#include "window/live_sizing.h"

WindowStageHooks WindowStages = {
    CreateDefaultShortcuts,
    ShortcutTableFor,
    FocusNextControl,
    FocusPreviousControl,
    LiveSizingFilter,
};
