#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "engine/assets/ScanFormat.h"

namespace {

// Scans "%*s %d %f %f %f" with ScanFormat; returns the number of values
// assigned, as sscanf counts them.
int scanLine(const char* text, int32_t* i, float* f) {
  const char* p = ScanFormat::skipToken(text);
  if (!p) return 0;
  if (!(p = ScanFormat::readInt(p, i))) return 0;
  int assigned = 1;
  for (int k = 0; k < 3; ++k) {
    if (!(p = ScanFormat::readFloat(p, &f[k]))) break;
    ++assigned;
  }
  return assigned;
}

// Our scan of text against sscanf's: the same count, integer and float bits.
::testing::AssertionResult agreesWithSscanf(const char* text) {
  int32_t i = -7, ri = -7;
  float f[3] = {-7, -7, -7}, rf[3] = {-7, -7, -7};
  int got = scanLine(text, &i, f);
  int want = std::max(std::sscanf(text, "%*s %d %f %f %f", &ri, &rf[0], &rf[1], &rf[2]), 0);
  if (got != want || i != ri)
    return ::testing::AssertionFailure() << "count " << got << " vs " << want << ", int " << i << " vs " << ri;
  for (int k = 0; k < 3; ++k)
    if (std::memcmp(&f[k], &rf[k], 4) != 0)
      return ::testing::AssertionFailure() << "value " << k << ": " << f[k] << " vs " << rf[k];
  return ::testing::AssertionSuccess();
}

}  // namespace

TEST(ScanFormat, AgreesWithSscanfOnNumbersOfEveryShape) {
  const char* samples[] = {
      "*K 1 2.5 -3.25 1e3",       "*K\t-0\t-0.0000\t+.5\t5.",      "*K 12 1.17549435e-38 1e-40 1e-50",
      "*K 99999999999 3.4e38 3.5e38 -1e39", "*K -2147483648 0x1p3 inf -nan", "*K 2147483648 1e 1e+ 1.5e-",
      "*K 7 1.2.3 4",            "*K 3 12345.6789 16777217 0.1",  "*K +12abc 4 5 6",
      "*K 8 1ex 2 3",            "*K 9 - 2 3",                    "*K\r\n",
      "\n\t*K 4 0.0000\t-123.4567\t1000.0000\r", "*K 5 123456789012345678901234567890 .000000000001 9e-46",
      "*K 6 00012.5000 -0.000000000000000000000000001 3.40282347e38",
  };
  for (const char* text : samples) EXPECT_TRUE(agreesWithSscanf(text)) << text;
}

TEST(ScanFormat, AgreesWithSscanfOnRandomTextAndDecimalsOfManyLengths) {
  std::mt19937 rng(99);
  const char alphabet[] = "0123456789012345678901234567890123456789..--++eE  \t\t\rxXpPinfaINFAN()";
  for (int round = 0; round < 200000; ++round) {
    std::string text = "*K ";
    int length = 1 + int(rng() % 30);
    for (int c = 0; c < length; ++c) text += alphabet[rng() % (sizeof(alphabet) - 1)];
    ASSERT_TRUE(agreesWithSscanf(text.c_str())) << text;

    char decimal[64];
    double magnitude = std::pow(10.0, int(rng() % 16) - 6);
    double value = (double(rng()) / rng.max() - 0.5) * magnitude;
    std::snprintf(decimal, sizeof(decimal), "%.*f", int(rng() % 12), value);
    float got = -7, want = -7;
    ScanFormat::readFloat(decimal, &got);
    std::sscanf(decimal, "%f", &want);
    ASSERT_EQ(std::memcmp(&got, &want, 4), 0) << decimal;
  }
}
