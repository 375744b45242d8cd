// The DLL carries its own copies of the C++ runtime and of FFTW, whose
// process-lifetime caches (the runtime's emergency exception pool, FFTW's
// planner with its solvers and remembered plans) live in the heap the DLL
// shares with the host. Left alone they would stay behind at every unload, and
// a host that loads and unloads its plug-ins would grow with each cycle.
// The same goes for an impulse the settings dialog loaded after quit (config
// after quit, then a browse), which no later init would free.
#include <fftw3.h>

#include "engine/engine.h"
#include "platform/win32.h"

namespace __gnu_cxx {
// Frees libstdc++'s emergency exception pool; declared by no public header.
void __freeres() noexcept;
}  // namespace __gnu_cxx

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  // Only on FreeLibrary (reserved null): at process exit the system takes
  // everything back anyway, and other threads may already be gone mid-call.
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    // No plan exists between blocks and loads, and a host unloads a plug-in
    // only after quit, when neither can run any more.
    engine_release();
    fftwf_cleanup();
    __gnu_cxx::__freeres();
  }
  return TRUE;
}
