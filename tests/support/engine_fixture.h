#pragma once
// A fresh engine for every test, released afterwards, with the integers beside
// the record cleared so no test leaks a pending request into the next.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine.h"
#include "tests/support/test_files.h"

class engine_test : public ::testing::Test {
 protected:
  void SetUp() override {
    requested_length = 0;
    block_counter = 0;
  }
  void TearDown() override {
    engine_release();
    requested_length = 0;
  }

  // Writes a file into this test's directory and returns its path.
  std::string make_file(const std::string& name, const std::vector<unsigned char>& bytes) {
    std::string path = dir_.file(name);
    write_bytes(path, bytes);
    return path;
  }

  temp_dir dir_;
};

// Live memory blocks can be counted only through the native stand-in layer.
long live_memory_blocks();
bool can_count_memory_blocks();
// Makes memory-block allocations fail after `successes` more (negative: never).
void fail_memory_blocks_after(long successes);
