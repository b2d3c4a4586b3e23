// Saves what the X server shows of one window as PNG:
//   x-screenshot OUTPUT.png WINDOW-ID

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: x-screenshot OUTPUT.png WINDOW-ID\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "x-screenshot: cannot open the display\n");
    return 1;
  }
  const Window window = Window(std::strtoul(argv[2], nullptr, 0)), root = DefaultRootWindow(display);
  Window child;
  XWindowAttributes attributes;
  int x = 0, y = 0;
  if (!XGetWindowAttributes(display, window, &attributes) ||
      !XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child)) {
    std::fprintf(stderr, "x-screenshot: no window %s\n", argv[2]);
    return 1;
  }
  const unsigned width = unsigned(attributes.width), height = unsigned(attributes.height);
  XImage* image = XGetImage(display, root, x, y, width, height, AllPlanes, ZPixmap);
  if (!image) {
    std::fprintf(stderr, "x-screenshot: cannot read the screen\n");
    return 1;
  }
  std::vector<unsigned char> rgb;
  for (unsigned row = 0; row < height; ++row)
    for (unsigned column = 0; column < width; ++column) {
      const unsigned long pixel = XGetPixel(image, int(column), int(row));
      rgb.insert(rgb.end(), {(unsigned char)((pixel & image->red_mask) >> 16),
                             (unsigned char)((pixel & image->green_mask) >> 8),
                             (unsigned char)(pixel & image->blue_mask)});
    }
  XDestroyImage(image);
  XCloseDisplay(display);
  if (!stbi_write_png(argv[1], int(width), int(height), 3, rgb.data(), int(width) * 3)) {
    std::fprintf(stderr, "x-screenshot: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
