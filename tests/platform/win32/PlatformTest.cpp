// The performance counter's two clocks and the display-mode list.

#include <gtest/gtest.h>

#include <array>
#include <tuple>

#include "platform/win32/Clock.h"
#include "platform/win32/Win32Sdl.h"
#include "platform/win32/windows.h"

TEST(PerformanceCounter, FixedStepIsExactAndSystemClockMovesOn) {
  LARGE_INTEGER frequency, a, b, c;
  ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
  EXPECT_EQ(frequency.QuadPart, 1000000000);
  useFixedStepClock(frequency.QuadPart / 50, 1000);
  EXPECT_TRUE(fixedStepClockActive());
  for (LARGE_INTEGER* t : {&a, &b, &c}) QueryPerformanceCounter(t);
  EXPECT_EQ((std::array{a.QuadPart, b.QuadPart, c.QuadPart}), (std::array<int64_t, 3>{1000, 20001000, 40001000}));
  useSystemClock();
  EXPECT_FALSE(fixedStepClockActive());
  for (LARGE_INTEGER* t : {&a, &b}) QueryPerformanceCounter(t);
  EXPECT_TRUE(b.QuadPart >= a.QuadPart && a.QuadPart > c.QuadPart) << a.QuadPart << " " << b.QuadPart;
  EXPECT_FALSE(QueryPerformanceCounter(nullptr));
}

TEST(DisplaySettings, AVirtualDisplayStillOffersTheCommonSizes) {
  // The dummy driver reports one mode: the list is filled in with the usual
  // sizes that fit, ascending, at 32 bits and a real rate.
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  ASSERT_TRUE(initSdlVideo());
  DEVMODEA desktop;
  ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &desktop));
  DEVMODEA mode;
  DWORD n = 0;
  bool sawDesktop = false, saw640 = false;
  std::tuple<DWORD, DWORD, DWORD> previous(0, 0, 0);
  while (EnumDisplaySettingsA(nullptr, n, &mode)) {
    std::tuple<DWORD, DWORD, DWORD> key(mode.dmPelsWidth, mode.dmPelsHeight, mode.dmDisplayFrequency);
    EXPECT_LT(previous, key) << "ascending, no duplicates";
    previous = key;
    EXPECT_EQ(mode.dmBitsPerPel, 32u);
    EXPECT_GT(mode.dmDisplayFrequency, 0u);
    EXPECT_LE(mode.dmPelsWidth, desktop.dmPelsWidth);
    EXPECT_LE(mode.dmPelsHeight, desktop.dmPelsHeight);
    sawDesktop |= mode.dmPelsWidth == desktop.dmPelsWidth && mode.dmPelsHeight == desktop.dmPelsHeight;
    saw640 |= mode.dmPelsWidth == 640 && mode.dmPelsHeight == 480;
    ++n;
  }
  EXPECT_EQ(std::tuple(n >= 3, sawDesktop, saw640), std::tuple(true, true, true)) << n << " modes";
  EXPECT_FALSE(EnumDisplaySettingsA(nullptr, n + 100, &mode));
  EXPECT_FALSE(EnumDisplaySettingsA(nullptr, 0, nullptr));
}
