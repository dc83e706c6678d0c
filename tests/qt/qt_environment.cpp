// One QApplication, on the offscreen platform, for the whole test run.
#include "qt_test_support.hpp"

namespace {
[[maybe_unused]] auto* const environment =
    ::testing::AddGlobalTestEnvironment(new dg::QtEnvironment);
}  // namespace
