#include <chrono>

#include "platform/win32/Clock.h"
#include "platform/win32/windows.h"

namespace {

bool fixedStep = false;
int64_t step = 0;
int64_t nextReading = 0;

}  // namespace

void useFixedStepClock(int64_t countsPerRead, int64_t firstReading) {
  fixedStep = true;
  step = countsPerRead;
  nextReading = firstReading;
}

void useSystemClock() { fixedStep = false; }

bool fixedStepClockActive() { return fixedStep; }

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  if (!frequency) return FALSE;
  frequency->QuadPart = 1000000000;  // nanoseconds of the monotonic clock
  return TRUE;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
  if (!count) return FALSE;
  if (fixedStep) {
    count->QuadPart = nextReading;
    nextReading += step;
    return TRUE;
  }
  count->QuadPart = std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
  return TRUE;
}
