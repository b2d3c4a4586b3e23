#pragma once
// The spot light's projector slide: a soft-edged disc of warm and cool light
// crossed by the shadow of a window frame, mostly bright so that the station
// stays well lit where the projection falls.

#include <cstdint>
#include <vector>

namespace stationgen {

// RGB, 8 bits a channel, rows top to bottom.
std::vector<uint8_t> paintGobo(int size);

// The image as a JPEG file; empty on failure.
std::vector<uint8_t> encodeJpeg(const std::vector<uint8_t>& rgb, int width, int height, int quality);

}  // namespace stationgen
