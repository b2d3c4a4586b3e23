#pragma once
// Shared reporting for the benchmarks: a readable line on stdout and one JSON
// object per figure appended to the results file.

#include <chrono>
#include <cstdio>
#include <string>

namespace bench {

inline double nowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Median of several timed runs of fn, in milliseconds.
template <typename Fn>
double medianMs(int runs, Fn&& fn) {
  double times[64];
  if (runs > 64) runs = 64;
  for (int i = 0; i < runs; ++i) {
    double start = nowMs();
    fn();
    times[i] = nowMs() - start;
  }
  for (int i = 1; i < runs; ++i)
    for (int j = i; j > 0 && times[j - 1] > times[j]; --j) std::swap(times[j - 1], times[j]);
  return times[runs / 2];
}

// peer < 0 means the figure has no peer.
inline void report(const std::string& figure, double ours, double peer, const std::string& unit,
                   const std::string& goal) {
  double ratio = peer > 0 ? ours / peer : -1;
  if (peer >= 0)
    std::printf("%-28s ours %10.3f %-4s peer %10.3f %-4s ratio %6.3f  goal %s\n", figure.c_str(), ours, unit.c_str(),
                peer, unit.c_str(), ratio, goal.c_str());
  else
    std::printf("%-28s ours %10.3f %-4s  goal %s\n", figure.c_str(), ours, unit.c_str(), goal.c_str());
  std::fflush(stdout);
#ifdef VANTREL_BENCH_RESULTS
  if (FILE* f = std::fopen(VANTREL_BENCH_RESULTS, "a")) {
    if (peer >= 0)
      std::fprintf(f, "{\"figure\": \"%s\", \"ours\": %.4f, \"peer\": %.4f, \"unit\": \"%s\", \"ratio\": %.4f, \"goal\": \"%s\"}\n",
                   figure.c_str(), ours, peer, unit.c_str(), ratio, goal.c_str());
    else
      std::fprintf(f, "{\"figure\": \"%s\", \"ours\": %.4f, \"peer\": null, \"unit\": \"%s\", \"ratio\": null, \"goal\": \"%s\"}\n",
                   figure.c_str(), ours, unit.c_str(), goal.c_str());
    std::fclose(f);
  }
#endif
}

}  // namespace bench
