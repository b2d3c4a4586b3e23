// The projector slide as the demo will decode it: 512 x 512, mostly bright,
// warm on one side and cool on the other, a disc that fades towards the
// corners, and the dark lines of a window frame across it.

#include <gtest/gtest.h>
#include <stb_image.h>

#include <algorithm>
#include <string>

#include "support/TestDir.h"

namespace {

struct Image {
  int w = 0, h = 0;
  unsigned char* px = nullptr;
  ~Image() { stbi_image_free(px); }
  const unsigned char* at(int x, int y) const { return px + (static_cast<size_t>(y) * w + x) * 3; }
  double luma(int x, int y) const {
    const unsigned char* p = at(x, y);
    return (0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2]) / 255.0;
  }
  // Mean of one channel over a square region.
  double mean(int x0, int y0, int size, int channel) const {
    double s = 0;
    for (int y = y0; y < y0 + size; ++y)
      for (int x = x0; x < x0 + size; ++x) s += at(x, y)[channel];
    return s / (size * size * 255.0);
  }
};

}  // namespace

TEST(ProjectorSlide, IsAColouredDiscCrossedByAWindowFrame) {
  std::string jpeg = TestDir::read(std::string(VANTREL_RUN_DIR) + "/data/fajna.jpg");
  ASSERT_FALSE(jpeg.empty());
  Image img;
  int channels = 0;
  img.px = stbi_load_from_memory(reinterpret_cast<const unsigned char*>(jpeg.data()), static_cast<int>(jpeg.size()),
                                 &img.w, &img.h, &channels, 3);
  ASSERT_TRUE(img.px) << stbi_failure_reason();
  ASSERT_EQ(img.w, 512);
  ASSERT_EQ(img.h, 512);

  double sum = 0;
  for (int y = 0; y < img.h; ++y)
    for (int x = 0; x < img.w; ++x) sum += img.luma(x, y);
  // Dim enough that the lit station stays below the bloom's saturation, bright
  // enough to read.
  EXPECT_GT(sum / (img.w * img.h), 0.2);
  EXPECT_LT(sum / (img.w * img.h), 0.45);

  // Warm upper left, cool lower right (inside the disc, clear of the frame).
  enum { R, G, B };
  EXPECT_GT(img.mean(150, 150, 40, R), 1.1 * img.mean(150, 150, 40, B));
  EXPECT_GT(img.mean(320, 320, 40, B), 1.1 * img.mean(320, 320, 40, R));
  // The disc fades out towards the corners.
  EXPECT_LT(img.mean(0, 0, 24, G), 0.6 * img.mean(288, 288, 16, G));

  // Along the middle row the frame's bars cut dark, sharp-ish lines into the light.
  int dips = 0;
  bool inDip = false;
  double brightest = 0;
  for (int x = 60; x < 452; ++x) brightest = std::max(brightest, img.luma(x, 300));
  for (int x = 60; x < 452; ++x) {
    bool dark = img.luma(x, 300) < 0.65 * brightest;
    dips += dark && !inDip;
    inDip = dark;
  }
  EXPECT_GE(dips, 3);
  EXPECT_LE(dips, 10);
}
