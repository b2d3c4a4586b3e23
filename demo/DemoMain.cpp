// The process entry: the command line and show state mean nothing to the
// demo; everything happens in demoMain.

#include "demo/DemoApp.h"

int main() { return demoMain(GetModuleHandleA(nullptr)); }
