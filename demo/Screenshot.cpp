#include "demo/Screenshot.h"

#include <stb_image_write.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "demo/FrameGrabber.h"
#include "engine/Log.h"
#include "engine/System.h"

namespace {

void appendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<unsigned char>*>(context);
  out->insert(out->end(), static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
}

// Creates the first free name of this second; null when a thousand are taken.
FILE* createFreeFile(char (&name)[64]) {
  std::time_t now = std::time(nullptr);
  std::tm local = {};
  if (!localTime(now, &local)) return nullptr;
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  for (int n = 0; n < 1000; ++n) {
    std::snprintf(name, sizeof name, "vantrel-%s-%03d.png", stamp, n);
    // Fails rather than replacing a file that is there already.
    if (FILE* file = createNewFile(name)) return file;
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

}  // namespace

std::string saveScreenshot(IDirect3DDevice9* device) {
  FrameGrabber grabber;
  std::string error;
  std::vector<uint8_t> rgb;
  if (!grabber.open(device, error) || !grabber.readRgb(rgb, error)) {
    logPrintf("Screenshot: Couldn't read the frame back (%s).\n", error.c_str());
    return std::string();
  }
  std::vector<unsigned char> png;
  if (!stbi_write_png_to_func(appendBytes, &png, grabber.width(), grabber.height(), 3, rgb.data(),
                              grabber.width() * 3)) {
    logPrintf("Screenshot: Couldn't encode the frame.\n");
    return std::string();
  }
  char name[64] = "";
  FILE* file = createFreeFile(name);
  if (!file) {
    logPrintf("Screenshot: Couldn't create '%s' (%s).\n", name, std::strerror(errno));
    return std::string();
  }
  bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
  written = (std::fclose(file) == 0) && written;
  if (!written) {
    std::remove(name);
    logPrintf("Screenshot: Couldn't write '%s'.\n", name);
    return std::string();
  }
  logPrintf("Screenshot: Saved '%s' (%dx%d).\n", name, grabber.width(), grabber.height());
  return name;
}
