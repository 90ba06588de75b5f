// Reads the 8-bit greyscale PNG files a dataset's masks are (whatever program wrote them last:
// every row filter, no interlace).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The width x height values of the file, the bottom row first (as the PFM files lay them out).
// False, with error naming the file and what is wrong, for a file that can't be read or that
// is no non-interlaced 8-bit greyscale PNG.
bool readGreyPng(const std::string& fileName, int32_t* width, int32_t* height,
                 std::vector<uint8_t>* values, std::string* error);
