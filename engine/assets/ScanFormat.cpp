#include "engine/assets/ScanFormat.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

const float exactPowersOf10[11] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

}  // namespace

const char* ScanFormat::slowInt(const char* p, int32_t* value) {
  int n = -1;
  if (value) {
    int v = 0;
    std::sscanf(p, "%d%n", &v, &n);
    if (n < 0) return nullptr;
    *value = v;
  } else {
    std::sscanf(p, "%*d%n", &n);
    if (n < 0) return nullptr;
  }
  return p + n;
}

const char* ScanFormat::slowFloat(const char* p, float* value) {
  int n = -1;
  float v = 0.0f;
  std::sscanf(p, "%f%n", &v, &n);
  if (n < 0) return nullptr;
  *value = v;
  return p + n;
}

// Every decimal the inline path leaves: more digits, an exponent, a plus sign,
// and whatever sscanf must judge.
const char* ScanFormat::readFloatGeneral(const char* p, float* value) {
  const char* s = p;
  while (isSpace(*s)) ++s;
  if (*s == 0) return nullptr;
  bool negative = *s == '-';
  if (*s == '-' || *s == '+') ++s;
  const char* start = s;

  uint64_t mantissa = 0;
  int significant = 0;  // digits accumulated into the mantissa (leading zeros excluded)
  int dropped = 0;      // integer digits beyond what the mantissa holds
  int fraction = 0;     // fraction digits accumulated
  int digits = 0;
  for (; isDigit(*s); ++s, ++digits) {
    if (significant < 19) {
      mantissa = mantissa * 10 + uint64_t(*s - '0');
      if (mantissa) ++significant;
    } else {
      ++dropped;
    }
  }
  if (*s == '.') {
    for (++s; isDigit(*s); ++s, ++digits) {
      if (significant < 19) {
        mantissa = mantissa * 10 + uint64_t(*s - '0');
        if (mantissa) ++significant;
        ++fraction;
      }
    }
  }
  if (digits == 0) return slowFloat(p, value);
  int exponent = 0;
  if (*s == 'e' || *s == 'E') {
    const char* e = s + 1;
    bool negativeExponent = *e == '-';
    if (*e == '-' || *e == '+') ++e;
    if (!isDigit(*e)) return slowFloat(p, value);
    for (; isDigit(*e); ++e)
      if (exponent < 100000) exponent = exponent * 10 + (*e - '0');
    if (negativeExponent) exponent = -exponent;
    s = e;
  }
  if (!endsNumber(*s)) return slowFloat(p, value);

  float v;
  int power = exponent - fraction + dropped;
  if (dropped == 0 && mantissa <= (1u << 24) && power >= -10 && power <= 10) {
    // Both operands are exact floats, so one IEEE operation rounds correctly,
    // as the C runtime's conversion does.
    v = power >= 0 ? float(mantissa) * exactPowersOf10[power] : float(mantissa) / exactPowersOf10[-power];
  } else {
    auto result = std::from_chars(start, s, v);
    // Out of range, or close to it (subnormal): the C runtime decides.
    if (result.ec != std::errc() || result.ptr != s || (v != 0.0f && !std::isnormal(v))) return slowFloat(p, value);
  }
  *value = negative ? -v : v;
  return s;
}
