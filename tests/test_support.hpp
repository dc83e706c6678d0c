// Small helpers shared by the test executables.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "runtime/array/error.hpp"

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
