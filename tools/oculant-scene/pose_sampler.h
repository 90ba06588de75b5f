// Random rig poses around the start pose that keep the eyes, and what they see nearest, out of
// every object's bounding box.
#pragma once

#include <string>
#include <vector>

#include "random_stream.h"
#include "scene_generator.h"

// How far the rig's centre keeps from every box, for eyes whose views have these half-angle
// tangents: the default baseline's half, plus the corners of the near clipping plane.
double poseClearance(double tanHalfWidth, double tanHalfHeight);

// The poses as a CSV table with a header: "x, y, heading, height, pitch, roll" when sixColumns,
// else "x, y, heading" at the default eye height. False with error set when a pose cannot be
// placed clear of the boxes within a bounded number of tries.
bool randomPoses(RandomStream& random, const std::vector<Box>& solids, int count, bool sixColumns,
                 double tanHalfWidth, double tanHalfHeight, std::string* csv, std::string* error);
