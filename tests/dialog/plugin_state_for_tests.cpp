// The handles that the plug-in's entry points own, for test programs that
// compile the dialog's sources without them: no dialog, no DLL instance.
#include "plugin/plugin_state.h"

HWND settings_dialog = nullptr;
HINSTANCE plugin_instance = nullptr;
