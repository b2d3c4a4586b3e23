// log.txt: its header, messages as written, a log deleted under the engine,
// overlong messages. (fatalError's "error: ..." and its exit code are checked
// by the death tests of the readers that call it.)

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "engine/Log.h"
#include "support/TestDir.h"

TEST(Log, HeaderThenMessagesAppendWithoutAddedLineEnds) {
  TestDir dir("log");
  logOpen();
  EXPECT_EQ(TestDir::read("log.txt"), "Vantrel Engine Log\n\n");
  logPrintf("RenderDeviceDX9: %dx%d", 1024, 768);
  logPrintf(" %s", "X8R8G8B8");
  logPrintf("\n");
  EXPECT_EQ(TestDir::read("log.txt"), "Vantrel Engine Log\n\nRenderDeviceDX9: 1024x768 X8R8G8B8\n");
  // A new run truncates the previous log.
  logOpen();
  EXPECT_EQ(TestDir::read("log.txt"), "Vantrel Engine Log\n\n");
}

TEST(Log, DeletedLogIsRecreatedWithoutHeader) {
  TestDir dir("log-deleted");
  logOpen();
  std::remove("log.txt");
  logPrintf("after %d\n", 1);
  EXPECT_EQ(TestDir::read("log.txt"), "after 1\n");
}

TEST(Log, OverlongMessagesAreTruncatedNotOverflowed) {
  TestDir dir("log-long");
  logOpen();
  std::string huge(5000, 'x');
  logPrintf("%s%s", huge.c_str(), huge.c_str());
  std::string log = TestDir::read("log.txt");
  EXPECT_EQ(log.size(), std::string("Vantrel Engine Log\n\n").size() + 999);
}
