// Sensor noise on captured frames, for testing how a stereo algorithm copes with it. The noise
// is drawn from a key that names the frame, never from a clock or a running generator: the same
// key gives the same noisy bytes every time, so a recorded run repeats exactly.
#pragma once

#include <cstdint>

#include "image/bmp_writer.h"

// Adds to every colour byte of every pixel its own Gaussian deviation of standard deviation
// sigma grey levels, rounded, the result clamped to 0..255. Row padding stays as it is. Nothing
// happens for a sigma of 0 or less.
void addSensorNoise(CaptureImage* image, double sigma, uint64_t key);

// The key of one eye's frame: the seed, the eye and the rig pose it was drawn at.
uint64_t sensorNoiseKey(uint32_t seed, int eye, double rigX, double rigY, double heading);
