// Expects `statement` to raise a dg::RuntimeError whose message is exactly `message`.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "runtime/array/error.hpp"

#define EXPECT_THROW_MSG(statement, message) \
  EXPECT_THAT([&] { statement; },            \
              ::testing::ThrowsMessage<::dg::RuntimeError>(::testing::StrEq(message)))
