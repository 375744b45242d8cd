#include "tools/plugin_session.h"

plugin_session::plugin_session(const host_window& window, const std::string& dll_path)
    : window_(window) {
  library_ = LoadLibraryA(dll_path.c_str());
  if (library_ == nullptr) {
    error_ = "cannot load " + dll_path + " (error " + std::to_string(GetLastError()) + ")";
    return;
  }
  // GetProcAddress hands every export back as one generic function type.
  auto get_header = reinterpret_cast<dsp_header_export>(
      reinterpret_cast<void (*)()>(GetProcAddress(library_, dsp_header_export_name)));
  if (get_header == nullptr) {
    error_ = dll_path + " has no " + dsp_header_export_name;
    return;
  }
  header_ = get_header();
  if (header_ == nullptr || header_->version != dsp_header_version ||
      header_->module_getter == nullptr) {
    error_ = dll_path + " offers no DSP header of version 0x20";
    return;
  }
  dsp_module* module = header_->module_getter(0);
  if (module == nullptr) {
    error_ = dll_path + " offers no module 0";
    return;
  }
  module->parent_window = window_.handle();
  module->dll_instance = library_;
  module_ = module;
}

plugin_session::~plugin_session() {
  if (initialised_) quit();
  if (library_ != nullptr) FreeLibrary(library_);
}

std::int32_t plugin_session::init() {
  std::int32_t result = -1;
  window_.run([&] { result = module_->init(module_); });
  initialised_ = true;
  return result;
}

void plugin_session::config() {
  window_.run([&] { module_->config(module_); });
}

void plugin_session::quit() {
  window_.run([&] { module_->quit(module_); });
  initialised_ = false;
}

void plugin_session::unload(bool with_quit) {
  if (library_ == nullptr) return;
  window_.run([&] {
    if (with_quit && module_ != nullptr) module_->quit(module_);
    FreeLibrary(library_);
  });
  library_ = nullptr;
  header_ = nullptr;
  module_ = nullptr;
  initialised_ = false;
}

std::int32_t plugin_session::modify_samples(std::int16_t* samples, std::int32_t frames,
                                            std::int32_t bits_per_sample, std::int32_t channels,
                                            std::int32_t sample_rate) {
  return module_->modify_samples(module_, samples, frames, bits_per_sample, channels, sample_rate);
}
