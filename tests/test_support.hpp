// Small helpers shared by the test executables.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"

// Expects the statement to raise a RuntimeError whose message is exactly `message`.
#define EXPECT_THROW_MSG(statement, message)                       \
  do {                                                             \
    try {                                                          \
      statement;                                                   \
      ADD_FAILURE() << "Expected a RuntimeError: " << (message);   \
    } catch (const dg::RuntimeError& error_) {                     \
      EXPECT_EQ(std::string(error_.what()), std::string(message)); \
    }                                                              \
  } while (false)

// Expects the statement to raise a RuntimeError whose message contains `part`.
#define EXPECT_THROW_HAS(statement, part)                                                   \
  do {                                                                                      \
    try {                                                                                   \
      statement;                                                                            \
      ADD_FAILURE() << "Expected a RuntimeError containing: " << (part);                    \
    } catch (const dg::RuntimeError& error_) {                                              \
      EXPECT_NE(std::string(error_.what()).find(part), std::string::npos) << error_.what(); \
    }                                                                                       \
  } while (false)

// The folder of the road files among the test data.
inline const std::string kRoad = DISTANGLER_TEST_DATA_DIR "/road/";

// The folder of published TPS files beside the project (CI has it; a user's
// clone may not). A test that reads them starts with SKIP_WITHOUT_REAL_DATA().
inline std::string real_data(const std::string& name) {
  return std::string(DISTANGLER_REAL_DATA_DIR) + "/" + name;
}

#define SKIP_WITHOUT_REAL_DATA()                                                 \
  do {                                                                           \
    if (!std::filesystem::is_directory(DISTANGLER_REAL_DATA_DIR)) {              \
      GTEST_SKIP() << "no published TPS files at " DISTANGLER_REAL_DATA_DIR "."; \
    }                                                                            \
  } while (false)

// A test with a scratch folder of its own, removed afterwards. Names are
// UTF-8 on every system.
class ScratchTest : public ::testing::Test {
 protected:
  ScratchTest() {
    std::random_device random;
    dir = std::filesystem::temp_directory_path() / ("distangler_test_" + std::to_string(random()));
    std::filesystem::create_directories(dir);
  }
  ~ScratchTest() override { std::filesystem::remove_all(dir); }

  // The path of `name` in the folder.
  std::string at(const std::string& name) const { return dg::path_text(dir / dg::file_path(name)); }
  // Writes a file in the folder and returns its path.
  std::string file(const std::string& name, const std::string& bytes) const {
    const std::string path = at(name);
    std::ofstream(dg::file_path(path), std::ios::binary) << bytes;
    return path;
  }
  static std::string contents(const std::string& path) {
    std::ifstream in(dg::file_path(path), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::filesystem::path dir;
};
