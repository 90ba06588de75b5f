#include "png_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

uint32_t getU32(const std::string& data, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(data[at])) << 24 |
         static_cast<uint32_t>(static_cast<uint8_t>(data[at + 1])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(data[at + 2])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(data[at + 3]));
}

int paeth(int left, int up, int upLeft) {
  const int p = left + up - upLeft;
  const int toLeft = std::abs(p - left);
  const int toUp = std::abs(p - up);
  const int toUpLeft = std::abs(p - upLeft);
  if (toLeft <= toUp && toLeft <= toUpLeft) return left;
  return toUp <= toUpLeft ? up : upLeft;
}

// Undoes the filter of one row of one byte per pixel, in place; previous is the row above,
// unfiltered already (zeros for the first row).
bool unfilter(uint8_t type, uint8_t* row, const uint8_t* previous, size_t size) {
  for (size_t x = 0; x < size; ++x) {
    const int left = x > 0 ? row[x - 1] : 0;
    const int up = previous[x];
    const int upLeft = x > 0 ? previous[x - 1] : 0;
    int predicted = 0;
    switch (type) {
      case 0:
        predicted = 0;
        break;
      case 1:
        predicted = left;
        break;
      case 2:
        predicted = up;
        break;
      case 3:
        predicted = (left + up) / 2;
        break;
      case 4:
        predicted = paeth(left, up, upLeft);
        break;
      default:
        return false;
    }
    row[x] = static_cast<uint8_t>(row[x] + predicted);
  }
  return true;
}

}  // namespace

bool readGreyPng(const std::string& fileName, int32_t* width, int32_t* height,
                 std::vector<uint8_t>* values, std::string* error) {
  std::ifstream stream(fileName, std::ios::binary);
  if (!stream) {
    *error = "cannot read " + fileName;
    return false;
  }
  const std::string data((std::istreambuf_iterator<char>(stream)),
                         std::istreambuf_iterator<char>());
  const auto bad = [&](const std::string& what) {
    *error = fileName + ": " + what;
    return false;
  };
  if (data.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)) != 0) return bad("not a PNG file");
  std::string packed;
  uint32_t w = 0;
  uint32_t h = 0;
  bool ended = false;
  for (size_t at = 8; at + 12 <= data.size() && !ended;) {
    const uint32_t length = getU32(data, at);
    if (length > data.size() - at - 12) return bad("a chunk runs past the end of the file");
    const std::string type = data.substr(at + 4, 4);
    const size_t body = at + 8;
    if (type == "IHDR") {
      if (length != 13) return bad("a malformed header");
      w = getU32(data, body);
      h = getU32(data, body + 4);
      // Bit depth 8, colour type 0 (grey), deflate, standard filters, no interlace.
      if (data.compare(body + 8, 5, std::string("\x08\x00\x00\x00\x00", 5)) != 0) {
        return bad("not an 8-bit greyscale PNG without interlace");
      }
    } else if (type == "IDAT") {
      packed.append(data, body, length);
    } else if (type == "IEND") {
      ended = true;
    }
    at = body + length + 4;
  }
  if (w == 0 || h == 0 || w > 65536 || h > 65536) return bad("no picture in it");
  if (!ended) return bad("the file ends early");
  const size_t rowBytes = w;
  std::vector<uint8_t> raw((rowBytes + 1) * h);
  uLongf rawSize = static_cast<uLongf>(raw.size());
  if (uncompress(raw.data(), &rawSize, reinterpret_cast<const Bytef*>(packed.data()),
                 static_cast<uLong>(packed.size())) != Z_OK ||
      rawSize != raw.size()) {
    return bad("its pixel data does not unpack to " + std::to_string(w) + " x " +
               std::to_string(h) + " pixels");
  }
  values->assign(raw.size() - h, 0);
  const std::vector<uint8_t> zeros(rowBytes, 0);
  for (uint32_t y = 0; y < h; ++y) {
    uint8_t* row = raw.data() + (rowBytes + 1) * y;
    const uint8_t* previous = y == 0 ? zeros.data() : row - rowBytes;
    if (!unfilter(row[0], row + 1, previous, rowBytes)) return bad("an unknown row filter");
    // The file's rows run from the top; the values from the bottom.
    std::copy(row + 1, row + 1 + rowBytes, values->begin() + (h - 1 - y) * rowBytes);
  }
  *width = static_cast<int32_t>(w);
  *height = static_cast<int32_t>(h);
  return true;
}
