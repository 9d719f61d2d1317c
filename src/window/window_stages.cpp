// The stages plugged into the window library. A stage that is built names its functions here;
// until then its entry stays empty and the library skips the step.
#include "window/window_stages.h"

WindowStageHooks WindowStages = {
    nullptr,  // createShortcuts: CreateDefaultShortcuts of the focus stage
    nullptr,  // shortcutTableFor: ShortcutTableFor of the focus stage
    nullptr,  // focusNext: FocusNextControl
    nullptr,  // focusPrevious: FocusPreviousControl
    nullptr,  // liveSizingFilter: LiveSizingFilter of the sizing stage
};
