// The distangler program. With arguments, the first names a function callable
// by name, which is called through the main window's dispatcher with the other
// arguments as texts; errors are printed on a line of their own.
#include <iostream>

#include "actions/distangler.hpp"
#include "actions/function_table.hpp"
#include "actions/session.hpp"
#include "runtime/graphics/headless_platform.hpp"

int main(int argc, char** argv) {
  dg::HeadlessPlatform platform(&std::cout);
  dg::Session session(platform);
  if (argc < 2) {
    std::cout << "The window is not available yet. Run a function by name, for example:\n"
                 "  distangler dahand Clear\n";
    return 0;
  }
  dg::Values args = dg::text_arguments(argc - 1, argv + 1);
  dg::distangler(session, args, 0);
  return 0;
}
