#include "image/sensor_noise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A 301 x 211 frame of one grey level; 301 pixels leave one padding byte per row.
struct Frame {
  std::vector<uint8_t> bytes;
  CaptureImage image;
  explicit Frame(uint8_t level) : bytes(size_t(strideForWidth(301)) * 211, level) {
    image = {bytes.data(), 301, strideForWidth(301), 211, 0};
    for (int row = 0; row < 211; ++row) bytes[size_t(row) * image.stride + 903] = 0;
  }
};

std::vector<uint8_t> noisy(uint8_t level, double sigma, uint64_t key) {
  Frame frame(level);
  addSensorNoise(&frame.image, sigma, key);
  return frame.bytes;
}

TEST(SensorNoise, RepeatsForAKeyAndDiffersForAnotherSeedOrEye) {
  const uint64_t key = sensorNoiseKey(7, 1, 0.7, 0.7, 90.0);
  const std::vector<uint8_t> first = noisy(128, 3.0, key);
  EXPECT_EQ(first, noisy(128, 3.0, sensorNoiseKey(7, 1, 0.7, 0.7, 90.0)));
  EXPECT_NE(first, noisy(128, 3.0, sensorNoiseKey(8, 1, 0.7, 0.7, 90.0))) << "another seed";
  EXPECT_NE(first, noisy(128, 3.0, sensorNoiseKey(7, 2, 0.7, 0.7, 90.0))) << "the other eye";
  EXPECT_NE(first, noisy(128, 3.0, sensorNoiseKey(7, 1, 0.7, 0.7, 90.5))) << "another pose";
  EXPECT_EQ(Frame(128).bytes, noisy(128, 0.0, key)) << "no noise set";
}

TEST(SensorNoise, IsGaussianInGreyLevelsAndClamped) {
  const std::vector<uint8_t> bytes = noisy(128, 3.0, sensorNoiseKey(1, 1, 0, 0, 0));
  const int stride = strideForWidth(301);
  double sum = 0, squares = 0;
  int count = 0, padding = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i % stride == 903) {
      padding += bytes[i];
      continue;
    }
    const double deviation = bytes[i] - 128.0;
    sum += deviation;
    squares += deviation * deviation;
    ++count;
  }
  EXPECT_EQ(0, padding);
  EXPECT_NEAR(0.0, sum / count, 0.05);
  // Rounding to whole grey levels adds 1/12 to the variance.
  EXPECT_NEAR(std::sqrt(9.0 + 1.0 / 12), std::sqrt(squares / count), 0.05);
  const std::vector<uint8_t> bright = noisy(250, 10.0, sensorNoiseKey(1, 1, 0, 0, 0));
  uint8_t darkest = 255;
  for (size_t i = 0; i < bright.size(); ++i)
    if (i % stride != 903) darkest = std::min(darkest, bright[i]);
  EXPECT_GT(darkest, 180) << "values above 255 stay at 255 instead of wrapping round";
  EXPECT_EQ(255, *std::max_element(bright.begin(), bright.end()));
}

}  // namespace
