#pragma once
// The About box of the settings dialog.
#include <cstddef>

#include "platform/win32.h"

// The About text of this edition, cut short to size bytes if need be (it needs
// well under 512): name and version, author, the FFT library's version, the
// edition's instruction set, web address and e-mail, each line ending in "\n".
void format_about_text(char* text, std::size_t size);

// Shows the About text in an information box owned by the dialog; returns
// when the user has closed it.
void show_about_box(HWND owner);
