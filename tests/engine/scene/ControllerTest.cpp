#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "engine/Log.h"
#include "engine/scene/SGControllerQ4.h"
#include "engine/scene/SGControllerV3.h"
#include "support/TestDir.h"

namespace {

void addV3(SGControllerV3& track, int32_t time, float x) {
  SGKeyV3* key = track.addKey();
  key->time = time;
  key->value = D3DXVECTOR3(x, 2 * x, -x);
}

void addQ4(SGControllerQ4& track, int32_t time, float angle, D3DXVECTOR3 axis = D3DXVECTOR3(0, 1, 0)) {
  SGKeyQ4* key = track.addKey();
  key->time = time;
  key->axis = axis;
  key->angle = angle;
}

}  // namespace

TEST(SGControllerV3, SortsByTimeAndInterpolatesClamped) {
  SGControllerV3 track;
  EXPECT_EQ(track.sample(5), D3DXVECTOR3(0, 0, 0));
  addV3(track, 20, 200);
  EXPECT_EQ(track.sample(-1000), D3DXVECTOR3(200, 400, -200));
  addV3(track, 0, 0);
  addV3(track, 10, 100);
  track.sortKeys();
  ASSERT_EQ(track.keyCount(), 3u);
  EXPECT_EQ((std::array{track.keyAt(0)->time, track.keyAt(1)->time, track.keyAt(2)->time}), (std::array{0, 10, 20}));
  EXPECT_EQ(track.sample(5), D3DXVECTOR3(50, 100, -50));
  for (auto [time, x] : {std::pair{15, 150.0f}, {-5, 0.0f}, {25, 200.0f}, {INT32_MIN, 0.0f}, {INT32_MAX, 200.0f}})
    EXPECT_EQ(track.sample(time).x, x) << time;

  // Equal times keep their order and jump without dividing by zero.
  SGControllerV3 jump;
  for (auto [time, x] : {std::pair{0, 0.0f}, {10, 1.0f}, {10, 5.0f}, {20, 6.0f}}) addV3(jump, time, x);
  jump.sortKeys();
  EXPECT_EQ(jump.keyAt(1)->value.x, 1.0f);
  for (auto [time, x] : {std::pair{9, 0.9f}, {10, 5.0f}, {15, 5.5f}}) EXPECT_EQ(jump.sample(time).x, x) << time;
}

// (The key lines prepare writes to the log are held in ASELoaderTest.)
TEST(SGControllerQ4, PrepareChainsRotationsAndLogsNothingWithoutKeys) {
  TestDir dir("q4-prepare");
  logOpen();
  SGControllerQ4 track;
  addQ4(track, 0, 1.0f);
  addQ4(track, 10, -D3DX_PI / 2);  // stored as +pi/2 about -y
  addQ4(track, 20, 7.0f, D3DXVECTOR3(1, 0, 0));
  track.prepareRotationKeys();

  EXPECT_EQ(track.keyAt(1)->axis, D3DXVECTOR3(0, -1, 0));
  EXPECT_EQ((std::array{track.keyAt(0)->turns, track.keyAt(2)->turns}), (std::array{0, 1}));
  EXPECT_EQ((std::array{track.keyAt(1)->angle, track.keyAt(2)->angle}), (std::array{D3DX_PI / 2, 7.0f - 6.2831855f}));

  // Key 1 undoes most of key 0: 1.0 about +y, then pi/2 about -y.
  D3DXVECTOR3 y(0, 1, 0), x(1, 0, 0);
  D3DXQUATERNION expected, relative;
  D3DXQuaternionRotationAxis(&expected, &y, 1.0f - D3DX_PI / 2);
  const D3DXQUATERNION& q1 = track.keyAt(1)->rotation;
  EXPECT_NEAR(std::fabs(D3DXQuaternionDot(&q1, &expected)), 1.0f, 1e-6f);
  D3DXQuaternionRotationAxis(&relative, &x, 7.0f - 6.2831855f);
  D3DXQuaternionMultiply(&expected, &q1, &relative);
  EXPECT_EQ(track.keyAt(2)->rotation, expected);

  // No keys: nothing to prepare and nothing logged.
  logOpen();
  SGControllerQ4 empty;
  empty.prepareRotationKeys();
  EXPECT_EQ(TestDir::read("log.txt"), "Vantrel Engine Log\n\n");
  EXPECT_EQ(empty.sample(3), D3DXQUATERNION(1, 0, 0, 0));
}

TEST(SGControllerQ4, SamplingRepeatsTheTrackSpan) {
  TestDir dir("q4-sample");
  SGControllerQ4 track;
  addQ4(track, 100, 0.0f);
  addQ4(track, 150, 0.5f);
  addQ4(track, 200, 0.5f);
  track.prepareRotationKeys();
  const D3DXQUATERNION first = track.keyAt(0)->rotation;
  const D3DXQUATERNION last = track.keyAt(2)->rotation;

  EXPECT_EQ(track.sample(100), first);
  EXPECT_EQ(track.sample(200), first);  // the end wraps to the start
  EXPECT_EQ(track.sample(99), track.sample(199));
  EXPECT_EQ(track.sample(-1000 + 25), track.sample(125));
  EXPECT_EQ(track.sample(325), track.sample(125));
  EXPECT_EQ(track.sample(150), track.keyAt(1)->rotation);
  D3DXQUATERNION halfway;
  D3DXQuaternionSlerp(&halfway, &track.keyAt(1)->rotation, &last, 0.5f);
  EXPECT_EQ(track.sample(175), halfway);
  // Extreme times wrap without overflowing.
  track.sample(INT32_MIN);
  track.sample(INT32_MAX);

  // First and last at one time: no span to wrap into.
  SGControllerQ4 still;
  addQ4(still, 50, 0.0f);
  addQ4(still, 50, 1.0f);
  still.prepareRotationKeys();
  EXPECT_EQ((std::array{still.sample(10), still.sample(50), still.sample(51)}),
            (std::array{still.keyAt(0)->rotation, still.keyAt(0)->rotation, still.keyAt(1)->rotation}));
}
