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
  static bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

  // "%*s": the next run of non-white-space characters.
  static const char* skipToken(const char* p) {
    while (isSpace(*p)) ++p;
    if (*p == 0) return nullptr;
    while (*p != 0 && !isSpace(*p)) ++p;
    return p;
  }

  // "%d", or "%*d" when value is null.
  static const char* readInt(const char* p, int32_t* value) {
    const char* s = p;
    while (isSpace(*s)) ++s;
    bool negative = *s == '-';
    if (*s == '-' || *s == '+') ++s;
    int32_t v = 0;
    int digits = 0;
    for (; isDigit(s[digits]) && digits < 9; ++digits) v = v * 10 + (s[digits] - '0');
    // Up to nine digits cannot overflow; longer numbers wrap the way sscanf
    // wraps them, so sscanf answers, as it does for every failure.
    if (digits == 0 || !endsNumber(s[digits])) return slowInt(p, value);
    if (value) *value = negative ? -v : v;
    return s + digits;
  }

  // "%f". Inline for the shape nearly every number has: an optional minus,
  // at most nine digits with an optional point among them, then white space
  // or the end, and a value exactly representable before the one division.
  static const char* readFloat(const char* p, float* value) {
    const char* s = p;
    while (isSpace(*s)) ++s;
    bool negative = *s == '-';
    if (negative) ++s;
    uint32_t mantissa = 0;
    int digits = 0, fraction = 0;
    for (; isDigit(*s) && digits < 9; ++s, ++digits) mantissa = mantissa * 10 + uint32_t(*s - '0');
    if (*s == '.') {
      for (++s; isDigit(*s) && digits < 9; ++s, ++digits, ++fraction) mantissa = mantissa * 10 + uint32_t(*s - '0');
    }
    if (digits == 0 || !endsNumber(*s) || mantissa > (1u << 24)) return readFloatGeneral(p, value);
    // Both operands are exact floats, so the one IEEE division rounds
    // correctly, as the C runtime's conversion does.
    float v = float(mantissa) / powersOf10[fraction];
    *value = negative ? -v : v;
    return s;
  }

 private:
  static bool isDigit(char c) { return c >= '0' && c <= '9'; }
  // Where a fast conversion may stop: the end of the text or white space.
  // Anything else could belong to the number in sscanf's eyes.
  static bool endsNumber(char c) { return c == 0 || isSpace(c); }
  static constexpr float powersOf10[10] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f};
  static const char* readFloatGeneral(const char* p, float* value);
  static const char* slowInt(const char* p, int32_t* value);
  static const char* slowFloat(const char* p, float* value);
};
