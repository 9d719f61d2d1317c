// Timing helpers shared by the benchmarks: a monotonic clock and quantiles of samples.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <chrono>
#endif

// The architecture the benchmark was built for, printed with its figures: figures of different
// architectures are not compared.
inline const char* BuildArchitecture() {
#if defined(__x86_64__) || defined(_M_X64)
  return "x86_64";
#elif defined(__i386__) || defined(_M_IX86)
  return "i686";
#else
  return "other";
#endif
}

// Seconds on a monotonic clock with the platform's finest resolution.
inline double SecondsNow() {
#ifdef _WIN32
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(f.QuadPart);
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) / frequency;
#else
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
#endif
}

// Quantile q (0..1) of the samples, by rank; 0 for none.
inline double Quantile(std::vector<double> v, double q) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[size_t(q * double(v.size() - 1) + 0.5)];
}

// Throughput in MB/s (10^6 bytes) of `decode`, which returns the number of bytes it produced,
// run again and again for at least `seconds` and at least 3 times. A count other than
// `expected` ends the program: a benchmark of a wrong result measures nothing.
template <class Decode>
double MegabytesPerSecond(Decode decode, size_t expected, double seconds) {
  size_t bytes = 0;
  int calls = 0;
  double start = SecondsNow(), elapsed;
  do {
    size_t n = decode();
    if (n != expected) {
      std::fprintf(stderr, "decoder produced %u bytes, expected %u\n", unsigned(n), unsigned(expected));
      std::exit(1);
    }
    bytes += n;
    ++calls;
    elapsed = SecondsNow() - start;
  } while (elapsed < seconds || calls < 3);
  return double(bytes) / elapsed / 1e6;
}
