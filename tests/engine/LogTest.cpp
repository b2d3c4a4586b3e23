// log.txt: its header, messages as written, a log deleted under the engine,
// overlong messages. (fatalError's "error: ..." and its exit code are checked
// by the death tests of the readers that call it.)

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "engine/Log.h"
#include "support/TestDir.h"

TEST(Log, HeaderMessagesARecreatedLogAndOverlongMessages) {
  TestDir dir("log");
  const std::string header = "Vantrel Engine Log\n\n";
  logOpen();
  EXPECT_EQ(TestDir::read("log.txt"), header);
  // Messages append as written, without added line ends.
  logPrintf("RenderDeviceDX9: %dx%d", 1024, 768);
  logPrintf(" %s", "X8R8G8B8");
  logPrintf("\n");
  EXPECT_EQ(TestDir::read("log.txt"), header + "RenderDeviceDX9: 1024x768 X8R8G8B8\n");
  // A log deleted under the engine comes back without its header.
  std::remove("log.txt");
  logPrintf("after %d\n", 1);
  EXPECT_EQ(TestDir::read("log.txt"), "after 1\n");
  // A new run truncates the previous log; an overlong message is cut short.
  logOpen();
  EXPECT_EQ(TestDir::read("log.txt"), header);
  std::string huge(5000, 'x');
  logPrintf("%s%s", huge.c_str(), huge.c_str());
  EXPECT_EQ(TestDir::read("log.txt"), header + std::string(999, 'x'));
}
