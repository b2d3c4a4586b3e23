/* The implementation of stb_image_write, which Linux takes from Debian's libstb. */
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
