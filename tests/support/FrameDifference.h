#pragma once
// How far two RGB pictures of one size differ: the share of pixels whose
// channels all lie within 2/255, and the worst 16 x 16 block by its mean
// difference; `map` shows each pixel's largest difference, eight times
// brighter. The thresholds the ImGui frame comparisons hold to are here too.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

struct FrameDifference {
  double share = 0.0;
  double worstMean = 0.0;
  int worstX = 0, worstY = 0;
  std::vector<uint8_t> map;

  // What an independent Direct3D 9 draws of the same frame: the same picture
  // up to rounding.
  bool close() const { return share >= 0.995 && worstMean <= 4.0; }
};

inline FrameDifference frameDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int w, int h) {
  FrameDifference d;
  d.map.assign(a.size(), 0);
  size_t within = 0;
  for (size_t i = 0; i + 2 < a.size() && i + 2 < b.size(); i += 3) {
    int most = 0;
    for (int c = 0; c < 3; ++c) most = std::max(most, std::abs(int(a[i + c]) - int(b[i + c])));
    within += most <= 2;
    d.map[i] = d.map[i + 1] = d.map[i + 2] = uint8_t(std::min(255, most * 8));
  }
  d.share = double(within) / double(size_t(w) * size_t(h));
  for (int by = 0; by + 16 <= h; by += 16)
    for (int bx = 0; bx + 16 <= w; bx += 16) {
      double sum = 0.0;
      for (int y = by; y < by + 16; ++y)
        for (int x = bx; x < bx + 16; ++x)
          for (int c = 0; c < 3; ++c) {
            const size_t i = (size_t(y) * size_t(w) + size_t(x)) * 3 + size_t(c);
            sum += std::abs(int(a[i]) - int(b[i]));
          }
      if (sum / (16 * 16 * 3) > d.worstMean) d.worstMean = sum / (16 * 16 * 3), d.worstX = bx, d.worstY = by;
    }
  return d;
}
