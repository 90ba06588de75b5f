#include "image/sensor_noise.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr uint64_t kGolden = 0x9E3779B97F4A7C15ull;
// Deviations are looked up by 16 random bits: quantiles of the rounded Gaussian, so a sample
// costs a table read instead of logarithms and roots (tails beyond about 4.3 sigma are cut).
constexpr int kTableBits = 16;
constexpr size_t kTableSize = size_t{1} << kTableBits;

uint64_t mix(uint64_t z) {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

uint64_t bitsOf(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// P(round(N(0, sigma^2)) <= k).
double roundedCdf(int k, double sigma) {
  return 0.5 * std::erfc(-(k + 0.5) / (sigma * std::sqrt(2.0)));
}

const std::vector<int16_t>& deviationTable(double sigma) {
  static std::vector<int16_t> table;
  static double tableSigma = -1;
  if (sigma == tableSigma) return table;
  table.assign(kTableSize, 0);
  int k = -255;
  for (size_t i = 0; i < kTableSize; ++i) {
    const double quantile = (static_cast<double>(i) + 0.5) / kTableSize;
    while (k < 255 && roundedCdf(k, sigma) < quantile) ++k;
    table[i] = static_cast<int16_t>(k);
  }
  tableSigma = sigma;
  return table;
}

}  // namespace

uint64_t sensorNoiseKey(uint32_t seed, int eye, double rigX, double rigY, double heading) {
  uint64_t key = mix(seed + kGolden);
  for (const uint64_t part :
       {static_cast<uint64_t>(eye), bitsOf(rigX), bitsOf(rigY), bitsOf(heading)}) {
    key = mix(key ^ (part + kGolden));
  }
  return key;
}

void addSensorNoise(CaptureImage* image, double sigma, uint64_t key) {
  if (!(sigma > 0) || image->pixels == nullptr) return;
  const int16_t* deviation = deviationTable(sigma).data();
  const size_t rowBytes = static_cast<size_t>(image->width) * 3;
  uint64_t counter = key;
  for (int32_t row = 0; row < image->height; ++row) {
    uint8_t* byte = image->pixels + static_cast<size_t>(row) * image->stride;
    // One 64-bit draw gives four deviations.
    for (size_t i = 0; i < rowBytes; i += 4) {
      counter += kGolden;
      uint64_t random = mix(counter);
      const size_t end = i + 4 < rowBytes ? i + 4 : rowBytes;
      for (size_t j = i; j < end; ++j, random >>= kTableBits) {
        const int value = byte[j] + deviation[random & (kTableSize - 1)];
        byte[j] = static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
      }
    }
  }
}
