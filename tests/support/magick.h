// ImageMagick as the independent reference (it writes most BMP layouts and reads them back), and
// the scratch files and commands of the tests.
#pragma once

#include <string>

#include "bmp_builder.h"

struct RgbImage {
  int width = 0;
  int height = 0;
  Bytes rgb;  // tight RGB rows, bottom row first, as the decoder gives them
};

// A fresh folder for this test process's files.
std::string scratchDir();

// Runs a shell command line; true when it exits with 0.
bool runCommand(const std::string& command);

// Runs a command line with its stderr joined to stdout; status -1 when it did not exit.
struct CommandRun {
  int status = -1;
  std::string output;
};
CommandRun runCapturing(const std::string& command);

void writeFile(const std::string& path, const Bytes& bytes);
Bytes readFile(const std::string& path);
void writeText(const std::string& path, const std::string& text);
std::string readText(const std::string& path);

// Writes a binary PPM from bottom-up RGB rows.
void writePpm(const std::string& path, const RgbImage& image);

// ImageMagick's own reading of an image file; width 0 when it can't read it.
RgbImage magickRead(const std::string& path);
