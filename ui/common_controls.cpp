// Registers the common control classes the dialogs use (trackbar, progress
// bar), so that they open even in a host that has not done so itself.
#include "ui/dialogs.h"
#include <commctrl.h>

void initCommonControls() {
    INITCOMMONCONTROLSEX init;
    init.dwSize = sizeof init;
    init.dwICC = ICC_BAR_CLASSES | ICC_PROGRESS_CLASS;
    InitCommonControlsEx(&init);
}
