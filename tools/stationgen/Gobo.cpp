#include "tools/stationgen/Gobo.h"

#include <stb_image_write.h>

#include <algorithm>
#include <cmath>

#include "tools/stationgen/Math.h"

namespace stationgen {

namespace {

double smoothstep(double e0, double e1, double x) {
  double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

// Cheap deterministic hash noise in [0, 1), for a little grain in the slide.
double grain(int x, int y) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return ((h ^ (h >> 16)) & 0xFFFF) / 65536.0;
}

// 1 on a bar of half width w centred on 0, falling off over `soft`.
double bar(double d, double w, double soft) { return 1.0 - smoothstep(w, w + soft, std::fabs(d)); }

}  // namespace

// The spot-light shader multiplies the slide by up to about 1.6 (hemisphere
// plus diffuse term) and the bloom then adds twice what lies above 0.33, so a
// slide much brighter than this washes the lit station out to white. At this
// exposure the brightest faces bloom a little and the rest keep their detail.
constexpr double kExposure = 0.4;

std::vector<uint8_t> paintGobo(int size) {
  std::vector<uint8_t> rgb(static_cast<size_t>(size) * size * 3);
  const double warm[3] = {1.00, 0.87, 0.64}, cool[3] = {0.70, 0.86, 1.00}, outside[3] = {0.40, 0.43, 0.50};
  // The frame is turned a little so that its shadow lines cross the station at an angle.
  const double c = std::cos(degrees(8.0)), s = std::sin(degrees(8.0));
  for (int py = 0; py < size; ++py) {
    for (int px = 0; px < size; ++px) {
      double x = (px + 0.5) / size * 2.0 - 1.0, y = (py + 0.5) / size * 2.0 - 1.0;
      double r = std::hypot(x, y);
      double disc = 1.0 - smoothstep(0.80, 0.98, r);
      // Warm light from the upper left, cool towards the lower right.
      double t = std::clamp(0.5 + 0.55 * (x + y) * 0.7071, 0.0, 1.0);
      double core = 0.12 * std::exp(-r * r / 0.08);

      // Window frame: a square casement with a mullion and a transom, thin
      // glazing bars across each pane, and a round rim; bars stop at the
      // casement's edge.
      double fx = c * x + s * y, fy = -s * x + c * y;
      const double side = 0.6;
      double inX = bar(std::max(std::fabs(fx) - side, 0.0), 0.014, 0.010);
      double inY = bar(std::max(std::fabs(fy) - side, 0.0), 0.014, 0.010);
      double frame = 0.0;
      frame = std::max(frame, bar(fx, 0.018, 0.012) * inY);
      frame = std::max(frame, bar(fy, 0.018, 0.012) * inX);
      frame = std::max(frame, bar(std::fabs(fx) - side, 0.014, 0.010) * inY);
      frame = std::max(frame, bar(std::fabs(fy) - side, 0.014, 0.010) * inX);
      frame = std::max(frame, 0.7 * bar(std::fabs(fx) - side / 2, 0.006, 0.006) * inY);
      frame = std::max(frame, 0.7 * bar(std::fabs(fy) - side / 2, 0.006, 0.006) * inX);
      frame = std::max(frame, bar(r - 0.9, 0.008, 0.008));
      double shade = 1.0 - 0.55 * frame;

      double g = (grain(px, py) - 0.5) * 0.03;
      for (int k = 0; k < 3; ++k) {
        double lit = warm[k] * (1 - t) + cool[k] * t + core;
        double v = ((outside[k] + (lit - outside[k]) * disc) * shade + g) * kExposure;
        rgb[(static_cast<size_t>(py) * size + px) * 3 + k] =
            static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
      }
    }
  }
  return rgb;
}

std::vector<uint8_t> encodeJpeg(const std::vector<uint8_t>& rgb, int width, int height, int quality) {
  std::vector<uint8_t> out;
  auto sink = [](void* context, void* data, int size) {
    auto* v = static_cast<std::vector<uint8_t>*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    v->insert(v->end(), bytes, bytes + size);
  };
  if (!stbi_write_jpg_to_func(sink, &out, width, height, 3, rgb.data(), quality)) out.clear();
  return out;
}

}  // namespace stationgen
