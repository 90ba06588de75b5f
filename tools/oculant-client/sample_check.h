// What a recording checks of every captured pair before it writes a sample: that the truth in it
// is whole, so a dataset never holds truth the bench did not really draw.
#pragma once

#include <string>

#include "oculant/client.h"

// Empty when both eyes' colour, depth and object ids are of width x height (the rig's size) and
// every pixel has depth exactly where it shows a surface (a non-zero id); else what is wrong.
std::string sampleFault(const oculant::StereoCapture& pair, int width, int height);
