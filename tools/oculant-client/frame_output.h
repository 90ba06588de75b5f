// Camera frames written as image files, or to standard output, in a format the user chose.
#pragma once

#include <string>

#include "oculant/client.h"

enum class ImageFormat { UNKNOWN, BMP, PNG };

// The formats a user may name, for messages: "bmp, png" (or "bmp" without PNG support).
extern const char* const kImageFormats;

// "bmp" or "png" in any case; UNKNOWN for anything else.
ImageFormat formatNamed(const std::string& name);

// The format a file name's extension asks for (.bmp, .png in any case); UNKNOWN otherwise.
ImageFormat formatOfFile(const std::string& fileName);

// Writes the frame to fileName, or to standard output when fileName is "-".
bool writeFrame(const std::string& fileName, ImageFormat format, const oculant::Frame& frame,
                std::string* error);
