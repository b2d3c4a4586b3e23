#include <gtest/gtest.h>

#include <array>
#include <tuple>
#include <vector>

#include "engine/Array.h"
#include "engine/RefCounted.h"

TEST(Array, AppendGrowsByFourThenDoubling) {
  Array<int> a;
  std::vector<uint32_t> seen;
  for (int i = 0; i < 10; ++i) {
    a.append(i * 3);
    seen.push_back(a.capacity);
  }
  EXPECT_EQ(seen, (std::vector<uint32_t>{4, 4, 4, 4, 8, 8, 8, 8, 16, 16}));
  ASSERT_EQ(a.count, 10u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(a[i], i * 3);
}

TEST(Array, ResizeKeepsOrDropsAndAlwaysSetsCountAndBorrowedStorageIsNeverFreed) {
  Array<int> a;
  for (int i = 0; i < 6; ++i) a.append(i);
  int* block = a.items;
  a.resize(8, true);  // capacity already 8: same block
  EXPECT_EQ((std::pair{a.items, a.count}), (std::pair{block, 8u}));
  a.resize(3, true);
  EXPECT_EQ((std::array{a.capacity, a.count}), (std::array{3u, 3u}));
  EXPECT_EQ((std::array{a[0], a[1], a[2]}), (std::array{0, 1, 2}));
  a.resize(0, false);
  EXPECT_EQ((std::pair{a.items, a.count}), (std::pair{static_cast<int*>(nullptr), 0u}));

  // Borrowed storage is never freed: growing moves to an owned block.
  int storage[4] = {1, 2, 3, 4};
  {
    Array<int> borrowed(storage, 4);
    EXPECT_TRUE(borrowed.borrowed);
    borrowed.append(5);
    EXPECT_EQ((std::tuple{borrowed.borrowed, borrowed.capacity, borrowed[0], borrowed[4]}),
              (std::tuple{false, 8u, 1, 5}));
  }
  EXPECT_EQ(storage[3], 4);
}

namespace {
struct Counted : RefCounted {
  explicit Counted(int* d) : destroyed(d) {}
  ~Counted() override { ++*destroyed; }
  int* destroyed;
};
}  // namespace

TEST(RefCounted, LastReleaseDeletes) {
  int destroyed = 0;
  Counted* c = new Counted(&destroyed);
  c->addRef();
  EXPECT_EQ(c->release(), 1);
  EXPECT_EQ(destroyed, 0);
  Counted* holder = c;
  releaseRef(holder);
  EXPECT_EQ(holder, nullptr);
  EXPECT_EQ(destroyed, 1);
}
