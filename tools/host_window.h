#pragma once
// The host's window thread: a hidden window of its own, owned by a thread that
// runs a message loop, as a player's main window is. Plug-in windows created
// on this thread (the settings dialog) get their messages here.
#include <functional>

#include "platform/win32.h"
#include "tools/os_thread.h"

class host_window {
 public:
  // Starts the thread and creates the window. Without a display the window is
  // a message-only one, so the host still runs headless.
  host_window();
  // Closes the window and ends the thread.
  ~host_window();
  host_window(const host_window&) = delete;
  host_window& operator=(const host_window&) = delete;

  HWND handle() const { return window_; }
  bool is_message_only() const { return message_only_; }
  // Runs work on the window thread and returns when it is done.
  void run(const std::function<void()>& work) const;

 private:
  void thread_main(HANDLE created);

  os_thread thread_;
  HWND window_ = nullptr;
  bool message_only_ = false;
};
