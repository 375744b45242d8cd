#pragma once
// Working the plug-in's windows from outside, from a thread other than the
// host's window thread, the way clicks and key presses reach them: messages to
// the real controls, texts read back from the real windows.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32.h"

// The plug-in DLL of this build, beside the test programs' own folder.
std::string plugin_dll_path();
// Whether that DLL is mapped in this process.
bool plugin_dll_loaded();

// Top-level dialog windows ("#32770") owned by owner, hidden ones included.
std::vector<HWND> owned_dialogs(HWND owner);
// Waits up to timeout_ms for such a window whose caption is title (any caption
// when title is empty); null when none came.
HWND wait_for_owned_dialog(HWND owner, const std::wstring& title, DWORD timeout_ms);
// Waits up to timeout_ms for window to be gone.
bool wait_until_destroyed(HWND window, DWORD timeout_ms);

// A control's text in the system's ANSI code page, and in UTF-16.
std::string control_text(HWND dialog, int control);
std::wstring control_text_w(HWND dialog, int control);
std::wstring window_text_w(HWND window);
// The first child window of a class whose text is not empty (a message box's
// text), or its text.
std::wstring first_static_text(HWND window);

// The slider as a user's drag leaves it: the thumb moved, then the dialog told
// (TB_THUMBTRACK), then the end of the drag (TB_ENDTRACK); two notifications.
void drag_slider(HWND dialog, int position);
// One notification with the given scroll code and the thumb where it is.
void notify_slider(HWND dialog, int scroll_code);
int slider_position(HWND dialog);

bool is_checked(HWND dialog, int control);
// A click that returns once the dialog has handled it.
void click(HWND dialog, int control);
// A click whose handling opens a modal window: returns at once.
void click_later(HWND dialog, int control);
// Types text into an edit control character by character, as the keyboard does.
void type_text(HWND edit, const std::string& text);

// The open-file dialog that the settings dialog's browse button opens, found
// on the screen; null when none came within timeout_ms.
HWND open_browse_dialog(HWND settings, DWORD timeout_ms);
// The open-file dialog's file name box: its one visible, enabled edit control
// (inside a combo box on some versions); null when there is none.
HWND file_name_box(HWND open_dialog);
// Types path into the file name box and presses the dialog's OK button. False
// when there is no file name box or the dialog is still open after timeout_ms.
bool pick_file(HWND open_dialog, const std::string& path, DWORD timeout_ms);
