// Program entry: the command-line modes, otherwise the user interface.
#include <iostream>
#include <string>
#include <vector>

#include "app/cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (auto code = tapwell::app::RunHeadless(args, std::cout, std::cerr)) return *code;
  if (!args.empty()) {
    std::cerr << "tapwell: unknown option '" << args[0] << "'\nTry 'tapwell --help' for more information.\n";
    return tapwell::app::kExitUsage;
  }
  std::cout << tapwell::app::UsageText();
  return 0;
}
