#pragma once
// The scan conversions the ASE reader uses ("%*s", "%d", "%*d", "%f"), each
// giving exactly what the C runtime's sscanf gives for it, but converting the
// plain decimal numbers that make up nearly all of a scene file without going
// through sscanf. Anything unusual (hexadecimal, inf, nan, overflow, a number
// run into other characters) is handed to sscanf itself.
//
// Each function starts at p inside a NUL-terminated text, skips white space
// as the conversion does, and returns the position after the conversion, or
// null when it fails (input ended or no number there); on failure the
// destination is left as it was.

#include <cstdint>

class ScanFormat {
 public:
  // "%*s": the next run of non-white-space characters.
  static const char* skipToken(const char* p);
  // "%d", or "%*d" when value is null.
  static const char* readInt(const char* p, int32_t* value);
  // "%f".
  static const char* readFloat(const char* p, float* value);

  static bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
};
