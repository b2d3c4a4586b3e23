// The process entry: the command line (demo/DemoOptions.h), then everything
// happens in demoMain.

#include <cstdio>
#include <string>

#include "demo/DemoApp.h"
#include "demo/DemoOptions.h"

int main(int argc, char** argv) {
  DemoOptions options;
  std::string error;
  if (!parseDemoOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "vantrel-demo: %s\n%s", error.c_str(), demoUsage());
    return 2;
  }
  if (options.help) {
    std::fputs(demoUsage(), stdout);
    return 0;
  }
  return demoMain(GetModuleHandleA(nullptr), options);
}
