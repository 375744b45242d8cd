// The two records as a host reads them, byte by byte at the offsets a 32-bit
// host uses, and the export that leads to them.
#include <cstring>

#include "tests/plugin/plugin_fixture.h"

namespace {

// What the host does with the DLL before anything else: load it, nothing more.
struct raw_library {
  HMODULE module = LoadLibraryA(plugin_dll_path().c_str());
  ~raw_library() {
    if (module != nullptr) FreeLibrary(module);
  }
  void* export_named(const char* name) const {
    return reinterpret_cast<void*>(GetProcAddress(module, name));
  }
};

template <typename T>
T field_at(const void* record, std::size_t offset) {
  T value;
  std::memcpy(&value, static_cast<const unsigned char*>(record) + offset, sizeof value);
  return value;
}

std::vector<unsigned char> text_bytes(const char* text) {
  return std::vector<unsigned char>(text, text + std::strlen(text));
}

// The header descriptions in code page 936: 浮 B8A1, 点 B5E3, 标 B1EA, 准 D7BC, 版 B0E6.
#if AMBRELITH_EDITION_SSE
const std::vector<unsigned char> edition_description_bytes = {'A', 'm', 'b', 'r',  'e',  'l',  'i',
                                                              't', 'h', '-', 0xB8, 0xA1, 0xB5, 0xE3,
                                                              'S', 'S', 'E', 0xB0, 0xE6};
#else
const std::vector<unsigned char> edition_description_bytes = {
    'A',  'm',  'b',  'r',  'e',  'l',  'i',  't',  'h',  '-',
    0xB8, 0xA1, 0xB5, 0xE3, 0xB1, 0xEA, 0xD7, 0xBC, 0xB0, 0xE6};
#endif

// Calls a C-convention entry point with the given 32-bit arguments from
// assembly and returns how far the stack pointer moved, seen from the caller
// that pushed the arguments and pops them again: 0 for the C convention, the
// arguments' size for a callee that pops them itself.
__attribute__((noinline)) int stack_drift(void* entry, int argument_count, const int* arguments) {
  int drift;
  const int* argument_list = arguments;
  int count = argument_count;
  // edi keeps the stack pointer from before the pushes; esi (the count) survives
  // the call, eax and edx are given up to it.
  asm volatile(
      "movl %%esp, %%edi\n\t"
      "movl %[count], %%ecx\n\t"
      "1:\n\t"
      "testl %%ecx, %%ecx\n\t"
      "jz 2f\n\t"
      "pushl -4(%[args], %%ecx, 4)\n\t"
      "decl %%ecx\n\t"
      "jmp 1b\n\t"
      "2:\n\t"
      "call *%[entry]\n\t"
      "leal (%%esp, %[count], 4), %%esp\n\t"
      "subl %%esp, %%edi\n\t"
      "addl %%edi, %%esp\n\t"
      : "=&D"(drift), [entry] "+a"(entry), [args] "+d"(argument_list), [count] "+S"(count)
      :
      : "ecx", "memory", "cc");
  return drift;
}

__attribute__((noinline)) int __cdecl c_convention_sum(int a, int b) { return a + b; }
__attribute__((noinline)) int __stdcall callee_pops_sum(int a, int b) { return a + b; }

}  // namespace

using header_and_module = plugin_test;

TEST_F(header_and_module, export_is_the_undecorated_c_name) {
  // The loader takes the DLL on its own: its manifest and its imports.
  raw_library library;
  ASSERT_NE(library.module, nullptr) << "LoadLibrary failed with error " << GetLastError();
  EXPECT_NE(library.export_named("winampDSPGetHeader2"), nullptr);
  EXPECT_EQ(library.export_named("_winampDSPGetHeader2"), nullptr);
  EXPECT_EQ(library.export_named("winampDSPGetHeader2@0"), nullptr);
  EXPECT_EQ(library.export_named("_winampDSPGetHeader2@0"), nullptr);
}

TEST_F(header_and_module, header_reads_version_0x20_and_the_edition_description) {
  raw_library library;
  auto get_header =
      reinterpret_cast<dsp_header_export>(library.export_named("winampDSPGetHeader2"));
  ASSERT_NE(get_header, nullptr);
  const void* header = get_header();
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(get_header(), header) << "every call hands out the same record";

  EXPECT_EQ(field_at<std::int32_t>(header, 0), 0x20);
  // The DLL's own bytes: its UTF-8 literals were compiled to code page 936.
  EXPECT_EQ(text_bytes(field_at<const char*>(header, 4)), edition_description_bytes);
  EXPECT_NE(field_at<void*>(header, 8), nullptr);
}

TEST_F(header_and_module, module_zero_is_delivered_empty_with_its_entry_points) {
  raw_library library;
  auto get_header =
      reinterpret_cast<dsp_header_export>(library.export_named("winampDSPGetHeader2"));
  ASSERT_NE(get_header, nullptr);
  auto getter = field_at<dsp_module_getter>(get_header(), 8);
  const void* module = getter(0);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(getter(0), module);

  EXPECT_EQ(text_bytes(field_at<const char*>(module, 0)), text_bytes("Ambrelith by Tessaroq"));
  EXPECT_EQ(field_at<HWND>(module, 4), nullptr) << "parent_window";
  EXPECT_EQ(field_at<HINSTANCE>(module, 8), nullptr) << "dll_instance";
  for (std::size_t offset : {12u, 16u, 20u, 24u}) {
    EXPECT_NE(field_at<void*>(module, offset), nullptr) << "entry point at " << offset;
  }
  EXPECT_EQ(field_at<void*>(module, 28), nullptr) << "user_data";
}

TEST_F(header_and_module, entry_points_leave_the_arguments_to_the_caller) {
  // The measurement itself tells the two conventions apart.
  const int two[] = {2, 3};
  EXPECT_EQ(stack_drift(reinterpret_cast<void*>(&c_convention_sum), 2, two), 0);
  EXPECT_NE(stack_drift(reinterpret_cast<void*>(&callee_pops_sum), 2, two), 0);

  raw_library library;
  auto get_header =
      reinterpret_cast<dsp_header_export>(library.export_named("winampDSPGetHeader2"));
  ASSERT_NE(get_header, nullptr);
  void* getter = field_at<void*>(get_header(), 8);
  const int index_one[] = {1};
  EXPECT_EQ(stack_drift(getter, 1, index_one), 0) << "module getter";

  // An 8-bit block passes untouched, so modify-samples can be called bare.
  auto* module = static_cast<dsp_module*>(reinterpret_cast<dsp_module_getter>(getter)(0));
  ASSERT_NE(module, nullptr);
  std::int16_t samples[4] = {1, 2, 3, 4};
  const int modify_arguments[] = {static_cast<int>(reinterpret_cast<std::intptr_t>(module)),
                                  static_cast<int>(reinterpret_cast<std::intptr_t>(samples)),
                                  4,
                                  8,
                                  1,
                                  44100};
  EXPECT_EQ(stack_drift(reinterpret_cast<void*>(module->modify_samples), 6, modify_arguments), 0)
      << "modify-samples";
  EXPECT_EQ(samples[3], 4);
}

TEST_F(header_and_module, getter_with_another_index_gives_nothing_and_changes_nothing) {
  write_file(settings_path(), settings_bytes(0.75f, "C:\\rooms\\hall.wav", 0, 1));
  auto session = load();
  ASSERT_TRUE(session->ready());
  session->init();
  for (std::int32_t index : {1, 2, -1, 0x7FFFFFFF}) {
    EXPECT_EQ(session->header()->module_getter(index), nullptr) << index;
  }
  EXPECT_EQ(session->module()->parent_window, window_.handle());
  EXPECT_EQ(session->module()->dll_instance, session->library());
  session->quit();
  EXPECT_EQ(saved_settings(), settings_bytes(0.75f, "C:\\rooms\\hall.wav", 0, 1));
}
