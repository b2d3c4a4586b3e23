#pragma once
// Which clock QueryPerformanceCounter reads. The default is the monotonic
// system clock (1,000,000,000 counts per second). The fixed-step clock makes
// every reading exactly `countsPerRead` later than the one before, so a run
// that reads the counter once per frame produces the same frames every time
// (the capture tool and tests switch to it).

#include <cstdint>

void useFixedStepClock(int64_t countsPerRead, int64_t firstReading = 0);
void useSystemClock();
bool fixedStepClockActive();
