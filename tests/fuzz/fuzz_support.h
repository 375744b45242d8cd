#pragma once
// What the fuzz targets share: one scratch folder per process for the files
// they hand to the code under test, and a check that stops the run.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tests/support/test_files.h"

// The process's scratch folder, made on first use and removed at exit. Every
// fuzzing process (libFuzzer's jobs and workers too) has its own.
const temp_dir& fuzz_scratch_folder();

// Replaces the file at path with exactly these bytes.
void write_fuzz_file(const std::string& path, const std::uint8_t* data, std::size_t size);

// Reads a whole file; false when it does not open.
bool read_fuzz_file(const std::string& path, std::string* bytes);

// A broken expectation is a finding like a crash: report it and abort, so that
// libFuzzer keeps the input.
#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : fuzz_check_failed(#condition, __FILE__, __LINE__))
[[noreturn]] void fuzz_check_failed(const char* condition, const char* file, int line);
