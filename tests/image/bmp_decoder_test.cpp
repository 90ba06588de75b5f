// The decoder against ImageMagick as the independent reader: every layout ImageMagick writes, the
// layouts it only reads, and files that lie about themselves or end early.
#include "image/bmp_decoder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>

#include "bmp_builder.h"
#include "magick.h"

namespace {

// Decodes from a heap block of exactly the file's length, so AddressSanitizer sees any overread.
BmpStatus decode(const Bytes& bytes, Bytes* rgb = nullptr) {
  std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size() + 1]);
  if (!bytes.empty()) std::memcpy(exact.get(), bytes.data(), bytes.size());
  DecodedBmp out;
  const BmpStatus status = decodeBmp(exact.get(), bytes.size(), &out);
  EXPECT_TRUE(status == BmpStatus::OK || out.rgb == nullptr) << "a refused file leaves no pixels";
  if (status == BmpStatus::OK && rgb)
    rgb->assign(out.rgb, out.rgb + size_t(out.width) * out.height * 3);
  std::free(out.rgb);
  return status;
}

RgbImage picture(int width, int height, const std::function<Rgb(int x, int y)>& colour) {
  RgbImage image{width, height, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const Rgb c = colour(x, y);
      image.rgb.insert(image.rgb.end(), c.begin(), c.end());
    }
  return image;
}

// Both the decoder and ImageMagick must read the file as `expected`.
void expectReadAlike(const Bytes& file, const RgbImage& expected, const std::string& name) {
  Bytes ours;
  ASSERT_EQ(decode(file, &ours), BmpStatus::OK) << name;
  EXPECT_EQ(ours, expected.rgb) << name;
  writeFile(scratchDir() + "/" + name + ".bmp", file);
  EXPECT_EQ(magickRead(scratchDir() + "/" + name + ".bmp").rgb, expected.rgb) << name;
}

std::vector<Rgb> sixteenColours() {
  std::vector<Rgb> palette = {Rgb{0, 0, 0}};
  for (int i = 1; i < 16; ++i)
    palette.push_back({uint8_t(i * 16), uint8_t(255 - i * 9), uint8_t(i * 5)});
  return palette;
}

TEST(BmpDecoder, ReadsEveryLayoutImageMagickWrites) {
  const struct {
    const char* name;
    const char* options;  // ending in the output format
    int colours;          // 0: every channel random
    int headerSize, bitCount;
  } cases[] = {
      {"info24", "BMP3:", 0, 40, 24},
      {"core24", "BMP2:", 0, 12, 24},
      {"info8", "-type palette -compress none BMP3:", 200, 40, 8},
      {"info4", "-type palette -compress none BMP3:", 16, 40, 4},
      {"info1", "-type palette -compress none BMP3:", 2, 40, 1},
      {"core8", "-type palette BMP2:", 200, 12, 8},
      {"core4", "-type palette BMP2:", 16, 12, 4},
      {"core1", "-type palette BMP2:", 2, 12, 1},
      {"rle8", "-type palette -compress RLE BMP3:", 9, 40, 8},
  };
  for (const auto& c : cases) {
    std::mt19937 random(c.colours);
    std::vector<Rgb> table;
    for (int i = 0; i < c.colours; ++i)
      table.push_back({uint8_t(random()), uint8_t(random()), uint8_t(random())});
    if (c.colours == 2) table = {Rgb{0, 0, 0}, Rgb{255, 255, 255}};
    // Runs of three pixels give the RLE encoder both runs and literals.
    Rgb current{};
    const RgbImage source = picture(33, 18, [&](int x, int) {
      if (c.colours == 0) return Rgb{uint8_t(random()), uint8_t(random()), uint8_t(random())};
      if (x % 3 == 0) current = table[random() % c.colours];
      return current;
    });
    const std::string ppm = scratchDir() + "/" + c.name + ".ppm";
    const std::string bmp = scratchDir() + "/" + c.name + ".bmp";
    writePpm(ppm, source);
    ASSERT_TRUE(runCommand("convert '" + ppm + "' " + c.options + "'" + bmp + "'")) << c.name;
    const Bytes file = readFile(bmp);
    // The case only counts when ImageMagick wrote the layout it is meant to cover.
    ASSERT_EQ(file.at(14), c.headerSize) << c.name << ": header size";
    ASSERT_EQ(file.at(c.headerSize == 12 ? 24 : 28), c.bitCount) << c.name << ": bit count";
    expectReadAlike(file, source, c.name);
  }
}

uint8_t widen(uint32_t v, int bits) {
  return uint8_t(v << (8 - bits) | v >> (2 * bits - 8));
}

TEST(BmpDecoder, ReadsTheLayoutsImageMagickOnlyReads) {
  const int w = 9, h = 4;
  auto value = [](int x, int y) { return uint32_t(x * 7919 + y * 104729 + x * y * 31); };
  auto rgb888 = [&](int x, int y) {
    const uint32_t v = value(x, y);
    return Rgb{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
  };
  BmpLayout rgb555 = makeLayout(40, true, w, h, 16);
  rgb555.pixels = packRows(w, h, 16, [&](int x, int y) { return value(x, y) & 0x7FFF; });
  expectReadAlike(
      buildBmp(rgb555),
      picture(w, h,
              [&](int x, int y) {
                const uint32_t v = value(x, y);
                return Rgb{widen(v >> 10 & 31, 5), widen(v >> 5 & 31, 5), widen(v & 31, 5)};
              }),
      "rgb555");
  // Bit fields with the channels in the upper three bytes.
  BmpLayout rgbx = makeLayout(40, true, w, h, 32, 3);
  rgbx.masks = {0xFF000000, 0x00FF0000, 0x0000FF00};
  rgbx.pixels = packRows(w, h, 32, [&](int x, int y) { return (value(x, y) & 0xFFFFFF) << 8; });
  expectReadAlike(buildBmp(rgbx), picture(w, h, rgb888), "rgbx32");
  // Rows stored top-down still come out bottom-up.
  BmpLayout topDown = makeLayout(40, true, w, -h, 24);
  topDown.pixels = packRows(w, h, 24, [&](int x, int y) { return value(x, h - 1 - y) & 0xFFFFFF; });
  expectReadAlike(buildBmp(topDown), picture(w, h, rgb888), "topdown24");
  // RLE4: an absolute run with its padding byte, a delta whose skipped pixels stay black, a run.
  const std::vector<Rgb> palette = sixteenColours();
  BmpLayout rle4 = makeLayout(40, true, 7, 2, 4, 2);
  rle4.palette = palette;
  rle4.pixels = {0, 5, 0x12, 0x34, 0x50, 0, 0, 2, 0, 1, 2, 0x66, 0, 1};
  const int rows[2][7] = {{1, 2, 3, 4, 5, 0, 0}, {0, 0, 0, 0, 0, 6, 6}};
  expectReadAlike(buildBmp(rle4), picture(7, 2, [&](int x, int y) { return palette[rows[y][x]]; }),
                  "rle4");
  // A bare DIB: the pixels follow the table whose length biClrUsed gives; indices past it are
  // black.
  BmpLayout bare = makeLayout(40, false, 6, 3, 8, 0, 16);
  bare.palette = palette;
  bare.pixels = packRows(6, 3, 8, [](int x, int y) { return uint32_t(x * 5 + y * 3); });
  Bytes fromBare;
  ASSERT_EQ(decode(buildBmp(bare), &fromBare), BmpStatus::OK);
  EXPECT_EQ(fromBare, picture(6, 3, [&](int x, int y) {
                        const int i = x * 5 + y * 3;
                        return i < 16 ? palette[i] : Rgb{0, 0, 0};
                      }).rgb);
}

TEST(BmpDecoder, EveryCutOfAFileIsRefused) {
  BmpLayout s24 = makeLayout(40, true, 5, 3, 24);
  s24.pixels = packRows(5, 3, 24, [](int x, int y) { return uint32_t(x * 0x10203 + y); });
  BmpLayout fields = makeLayout(40, true, 3, 3, 16, 3);
  fields.masks = {0xF800, 0x07E0, 0x001F};
  fields.pixels = packRows(3, 3, 16, [](int x, int y) { return uint32_t(x * 4321 + y); });
  for (const Bytes& file : {buildBmp(s24), buildBmp(fields)}) {
    ASSERT_EQ(decode(file), BmpStatus::OK);
    for (size_t length = 0; length < file.size(); ++length)
      EXPECT_NE(decode(Bytes(file.begin(), file.begin() + length)), BmpStatus::OK)
          << "cut to " << length;
  }
}

TEST(BmpDecoder, HeadersThatLieAreRefused) {
  BmpLayout base = makeLayout(40, true, 5, 3, 24);
  base.pixels = packRows(5, 3, 24, [](int, int) { return 0x808080u; });
  for (uint32_t size : {16u, 56u, 108u, 124u}) {
    BmpLayout unknown = base;
    unknown.headerSize = size;
    EXPECT_EQ(decode(buildBmp(unknown)), BmpStatus::UNKNOWN_FORMAT) << "header of " << size;
  }
  const struct {
    const char* what;
    std::function<void(BmpLayout&)> change;
  } lies[] = {
      {"pixel offset one byte late", [](BmpLayout& l) { l.offBitsDelta = 1; }},
      {"pixel offset near 4 GiB", [](BmpLayout& l) { l.offBitsDelta = 0xFFFFFFFFu - 54; }},
      {"huge colour table", [](BmpLayout& l) { l.colorsUsed = 0xFFFFFFFFu; }},
      {"huge table in a bare DIB",
       [](BmpLayout& l) { l.fileHeader = false, l.colorsUsed = 1u << 30; }},
      {"zero width", [](BmpLayout& l) { l.width = 0; }},
      {"negative width", [](BmpLayout& l) { l.width = -5; }},
      {"too wide", [](BmpLayout& l) { l.width = 16385; }},
      {"height INT32_MIN", [](BmpLayout& l) { l.height = INT32_MIN; }},
      {"huge sides", [](BmpLayout& l) { l.width = l.height = 1 << 30; }},
      {"RLE with 24 bits", [](BmpLayout& l) { l.compression = 1; }},
      {"unknown compression", [](BmpLayout& l) { l.compression = 6; }},
      {"2 bits", [](BmpLayout& l) { l.bitCount = 2; }},
  };
  for (const auto& lie : lies) {
    BmpLayout layout = base;
    lie.change(layout);
    EXPECT_EQ(decode(buildBmp(layout)), BmpStatus::CONVERSION_ERROR) << lie.what;
  }
}

TEST(BmpDecoder, RleStreamsThatLeaveTheImageAreRefused) {
  BmpLayout rle = makeLayout(40, true, 6, 2, 8, 1, 16);
  rle.palette = sixteenColours();
  const struct {
    const char* what;
    Bytes stream;
  } streams[] = {
      {"a run past the row's padding", {9, 1, 0, 1}},
      {"an absolute run past the row's padding", {0, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0}},
      {"a run after the last row", {0, 0, 0, 0, 2, 1, 0, 1}},
      {"a delta past the right edge", {0, 2, 9, 0, 0, 1}},
      {"a delta past the top", {0, 2, 0, 3, 0, 1}},
      {"an absolute run cut by the end", {0, 5, 1, 2}},
  };
  for (const auto& s : streams) {
    rle.pixels = s.stream;
    EXPECT_EQ(decode(buildBmp(rle)), BmpStatus::CONVERSION_ERROR) << s.what;
  }
  // A few bytes claiming a huge image are refused before any allocation.
  rle.pixels = {0, 1};
  rle.height = -2;
  EXPECT_EQ(decode(buildBmp(rle)), BmpStatus::CONVERSION_ERROR) << "top-down RLE";
  rle.width = rle.height = 16384;
  EXPECT_EQ(decode(buildBmp(rle)), BmpStatus::CONVERSION_ERROR) << "huge RLE image";
  rle.width = rle.height = 4096;
  EXPECT_EQ(decode(buildBmp(rle)), BmpStatus::OK) << "the largest RLE image allowed";
}

}  // namespace
