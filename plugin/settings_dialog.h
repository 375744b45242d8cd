#pragma once
// The settings dialog's procedure (dialog template 101): it shows and edits the
// settings, reloads the impulse when the gain or the file changes, and offers
// the About box. Every message gets the result 0; WM_INITDIALOG is left to the
// dialog manager, so no control takes the keyboard focus at first.
#include "platform/win32.h"

INT_PTR CALLBACK settings_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
