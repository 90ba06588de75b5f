// The poses a scripted capture visits: a text file with one "x, y, heading" per line, and
// optionally the eyes' height, the rig's pitch and its roll after them.
#pragma once

#include <string>
#include <vector>

#include "oculant/ground_truth.h"

// Reads the lines of text: three to six numbers each, separated by commas and/or blanks; a
// pose's height, pitch and roll not given stay NaN. Blank lines
// and lines starting with '#' are skipped, and so is a first line that is not numbers (a
// column header). False, with error naming the line, for anything else, so that a mistake
// is found before the first pose is visited.
bool parsePoseList(const std::string& text, std::vector<oculant::Pose>* poses, std::string* error);
