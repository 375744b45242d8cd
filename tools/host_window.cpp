#include "tools/host_window.h"

#include <commctrl.h>

namespace {

constexpr char window_class_name[] = "AmbrelithHostWindow";
// lParam points to the std::function to run.
constexpr UINT run_work_message = WM_APP + 1;

LRESULT CALLBACK host_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case run_work_message:
      (*reinterpret_cast<const std::function<void()>*>(lparam))();
      return 0;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

void register_window_class() {
  WNDCLASSEXA window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = host_window_proc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = window_class_name;
  // Fails harmlessly when an earlier host window registered it.
  RegisterClassExA(&window_class);
}

}  // namespace

host_window::host_window() {
  // The trackbar of a plug-in's dialog must be registered by the host.
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  register_window_class();

  HANDLE created = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = os_thread([this, created] { thread_main(created); });
  WaitForSingleObject(created, INFINITE);
  CloseHandle(created);
}

host_window::~host_window() {
  if (window_ != nullptr) PostMessageA(window_, WM_CLOSE, 0, 0);
  if (thread_.joinable()) thread_.join();
}

void host_window::thread_main(HANDLE created) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  window_ =
      CreateWindowExA(0, window_class_name, "Ambrelith DSP host", WS_OVERLAPPEDWINDOW,
                      CW_USEDEFAULT, CW_USEDEFAULT, 320, 200, nullptr, nullptr, instance, nullptr);
  if (window_ == nullptr) {
    window_ = CreateWindowExA(0, window_class_name, "Ambrelith DSP host", 0, 0, 0, 0, 0,
                              HWND_MESSAGE, nullptr, instance, nullptr);
    message_only_ = window_ != nullptr;
  }
  SetEvent(created);
  if (window_ == nullptr) return;

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    // Keyboard navigation for a modeless dialog of the plug-in's.
    const HWND active = GetActiveWindow();
    if (active != nullptr && active != window_ && IsDialogMessageA(active, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  window_ = nullptr;
}

void host_window::run(const std::function<void()>& work) const {
  if (window_ == nullptr) return;
  SendMessageA(window_, run_work_message, 0, reinterpret_cast<LPARAM>(&work));
}
