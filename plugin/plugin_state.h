#pragma once
// Window and module handles that the entry points and the settings dialog share.
#include "platform/win32.h"

// The modeless settings dialog, null while none exists. Set by init and config
// when they create it, cleared by quit.
extern HWND settings_dialog;
// This DLL's instance handle as the host gave it to init; null before init.
extern HINSTANCE plugin_instance;
