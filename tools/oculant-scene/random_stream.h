// A random stream whose numbers are the same on every machine and C library: splitmix64 with
// integer arithmetic only (the standard library's distributions differ between libraries).
#pragma once

#include <cstdint>

class RandomStream {
 public:
  explicit RandomStream(uint64_t seed) : state_(seed) {}
  // An independent stream for one purpose, so that e.g. asking for poses leaves the scene as it is.
  RandomStream(uint64_t seed, uint64_t purpose) : state_(seed) {
    state_ = next() ^ (purpose * 0xD1B54A32D192ED03ull);
  }

  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  // A whole number from 0 to count - 1 (count > 0), without modulo bias worth naming.
  uint32_t below(uint32_t count) { return static_cast<uint32_t>(((next() >> 32) * count) >> 32); }
  int between(int low, int high) {  // low to high, both included
    return low + static_cast<int>(below(static_cast<uint32_t>(high - low + 1)));
  }
  // A number from low to high in steps of 10^-decimals: the value written to a file is then
  // exactly the one the generator computed with.
  double decimal(double low, double high, int decimals) {
    double scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    const int64_t first = static_cast<int64_t>(low * scale + (low < 0 ? -0.5 : 0.5));
    const int64_t last = static_cast<int64_t>(high * scale + (high < 0 ? -0.5 : 0.5));
    const uint64_t steps = static_cast<uint64_t>(last - first) + 1;
    return static_cast<double>(first + static_cast<int64_t>(next() % steps)) / scale;
  }
  bool chance(uint32_t percent) { return below(100) < percent; }

 private:
  uint64_t state_;
};
