#include "image/bmp_decoder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>

#include "bmp_builder.h"
#include "image/texture_file.h"
#include "magick.h"

namespace {

struct Decoded {
  BmpStatus status;
  RgbImage image;
};

// Decodes from a heap block of exactly the file's length, so any read past the end is caught
// by AddressSanitizer.
Decoded decode(const Bytes& bytes) {
  std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size() + (bytes.empty() ? 1 : 0)]);
  if (!bytes.empty()) std::memcpy(exact.get(), bytes.data(), bytes.size());
  DecodedBmp out;
  Decoded result{decodeBmp(exact.get(), bytes.size(), &out), {}};
  if (result.status == BMP_OK) {
    result.image.width = out.width;
    result.image.height = out.height;
    result.image.rgb.assign(out.rgb, out.rgb + size_t(out.width) * out.height * 3);
    std::free(out.rgb);
  } else {
    EXPECT_EQ(out.rgb, nullptr);
  }
  return result;
}

// A deterministic test picture: with `colours` > 0 every pixel takes one of that many colours,
// in horizontal runs of `runLength`; with 0 every channel is pseudo-random.
RgbImage makePicture(int width, int height, int colours, int runLength = 1) {
  std::mt19937 random(width * 1000 + height * 10 + colours);
  std::vector<Rgb> table(colours > 0 ? colours : 1);
  for (int i = 0; i < colours; ++i) {
    table[i] = {uint8_t(random()), uint8_t(random()), uint8_t(random())};
  }
  if (colours == 2) table = {Rgb{0, 0, 0}, Rgb{255, 255, 255}};
  RgbImage image{width, height, Bytes(size_t(width) * height * 3)};
  int current = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* pixel = &image.rgb[(size_t(y) * width + x) * 3];
      if (colours == 0) {
        for (int c = 0; c < 3; ++c) pixel[c] = uint8_t(random());
        continue;
      }
      if (x % runLength == 0) current = int(random() % colours);
      std::memcpy(pixel, table[current].data(), 3);
    }
  }
  return image;
}

uint32_t fieldU32(const Bytes& file, size_t at) {
  return file[at] | file[at + 1] << 8 | file[at + 2] << 16 | uint32_t(file[at + 3]) << 24;
}

void expectSameImage(const RgbImage& actual, const RgbImage& expected, const std::string& what) {
  ASSERT_EQ(actual.width, expected.width) << what;
  ASSERT_EQ(actual.height, expected.height) << what;
  for (size_t i = 0; i < expected.rgb.size(); ++i) {
    ASSERT_EQ(actual.rgb[i], expected.rgb[i])
        << what << ": byte " << i << " (pixel " << i / 3 % expected.width << ", row "
        << i / 3 / expected.width << " from the bottom)";
  }
}

// The decoder and ImageMagick must agree on a hand-made file, and both with the picture
// the file was made from.
void expectReadAlike(const Bytes& file, const RgbImage& expected, const std::string& name) {
  const Decoded ours = decode(file);
  ASSERT_EQ(ours.status, BMP_OK) << name;
  expectSameImage(ours.image, expected, name + " (decoder)");
  const std::string path = scratchDir() + "/" + name + ".bmp";
  writeFile(path, file);
  expectSameImage(magickRead(path), expected, name + " (ImageMagick)");
}

struct MagickCase {
  const char* name;
  const char* options;  // ImageMagick options ending in the output format
  int colours;
  int runLength;
  uint32_t headerSize;
  uint16_t bitCount;
  uint32_t compression;
};

TEST(BmpDecoder, ReadsEveryLayoutImageMagickWritesPixelForPixel) {
  const MagickCase cases[] = {
      {"info24", "BMP3:", 0, 1, 40, 24, 0},
      {"core24", "BMP2:", 0, 1, 12, 24, 0},
      {"info8", "-type palette -compress none BMP3:", 200, 1, 40, 8, 0},
      {"info4", "-type palette -compress none BMP3:", 16, 1, 40, 4, 0},
      {"info1", "-type palette -compress none BMP3:", 2, 1, 40, 1, 0},
      {"core8", "-type palette BMP2:", 200, 1, 12, 8, 0},
      {"core4", "-type palette BMP2:", 16, 1, 12, 4, 0},
      {"core1", "-type palette BMP2:", 2, 1, 12, 1, 0},
      {"rle8", "-type palette -compress RLE BMP3:", 200, 1, 40, 8, 1},
      {"rle8runs", "-type palette -compress RLE BMP3:", 9, 5, 40, 8, 1},
  };
  for (const MagickCase& c : cases) {
    for (const auto& size : {std::pair<int, int>{7, 5}, {33, 18}}) {
      const std::string name = std::string(c.name) + "_" + std::to_string(size.first);
      const RgbImage picture = makePicture(size.first, size.second, c.colours, c.runLength);
      const std::string source = scratchDir() + "/" + name + ".ppm";
      const std::string target = scratchDir() + "/" + name + ".bmp";
      writePpm(source, picture);
      ASSERT_TRUE(runCommand("convert '" + source + "' " + c.options + "'" + target + "'")) << name;
      const Bytes file = readFile(target);
      ASSERT_GT(file.size(), 30u) << name;
      // The case only counts when ImageMagick wrote the layout it is meant to cover.
      ASSERT_EQ(fieldU32(file, 14), c.headerSize) << name;
      const size_t bitCountAt = c.headerSize == 12 ? 24 : 28;
      ASSERT_EQ(file[bitCountAt] | file[bitCountAt + 1] << 8, c.bitCount) << name;
      if (c.headerSize == 40) {
        ASSERT_EQ(fieldU32(file, 30), c.compression) << name;
      }

      const Decoded ours = decode(file);
      ASSERT_EQ(ours.status, BMP_OK) << name;
      expectSameImage(ours.image, magickRead(target), name + " against ImageMagick");
      expectSameImage(ours.image, picture, name + " against the source picture");
    }
  }
}

RgbImage expectedFrom(int width, int height, const std::function<Rgb(int x, int y)>& colour) {
  RgbImage image{width, height, Bytes(size_t(width) * height * 3)};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgb c = colour(x, y);
      std::memcpy(&image.rgb[(size_t(y) * width + x) * 3], c.data(), 3);
    }
  }
  return image;
}

uint8_t widen(uint32_t v, int bits) {
  return uint8_t(v << (8 - bits) | v >> (2 * bits - 8));
}

TEST(BmpDecoder, DirectColourLayoutsMatchTheirDefinitionAndImageMagick) {
  const int w = 9, h = 4;
  auto value = [](int x, int y) { return uint32_t(x * 7919 + y * 104729 + x * y * 31); };
  const auto rgb888 = [](uint32_t v) { return Rgb{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; };
  struct Layout {
    const char* name;
    uint16_t bits;
    std::vector<uint32_t> masks;  // bit fields when not empty
    uint32_t stored;              // the mask of the value put into each pixel
    int shift;                    // where the value sits in the pixel
    Rgb (*colour)(uint32_t);
  };
  const Layout layouts[] = {
      {"rgb555",
       16,
       {},
       0x7FFF,
       0,
       [](uint32_t v) {
         return Rgb{widen(v >> 10 & 31, 5), widen(v >> 5 & 31, 5), widen(v & 31, 5)};
       }},
      {"rgb565",
       16,
       {0xF800, 0x07E0, 0x001F},
       0xFFFF,
       0,
       [](uint32_t v) {
         return Rgb{widen(v >> 11 & 31, 5), widen(v >> 5 & 63, 6), widen(v & 31, 5)};
       }},
      {"bgrx32", 32, {}, 0xFFFFFF, 0, rgb888},
      // Channels in the upper three bytes, the low byte unused.
      {"rgbx32", 32, {0xFF000000, 0x00FF0000, 0x0000FF00}, 0xFFFFFF, 8, rgb888},
  };
  for (const Layout& l : layouts) {
    BmpLayout layout = makeLayout(40, true, w, h, l.bits, l.masks.empty() ? 0 : 3);
    layout.masks = l.masks;
    layout.pixels =
        packRows(w, h, l.bits, [&](int x, int y) { return (value(x, y) & l.stored) << l.shift; });
    expectReadAlike(
        buildBmp(layout),
        expectedFrom(w, h, [&](int x, int y) { return l.colour(value(x, y) & l.stored); }), l.name);
  }

  // Rows stored top-down: the result is still bottom-up with a positive height.
  BmpLayout topDown = makeLayout(40, true, w, -h, 24);
  topDown.pixels = packRows(w, h, 24, [&](int x, int y) { return value(x, h - 1 - y) & 0xFFFFFF; });
  expectReadAlike(buildBmp(topDown),
                  expectedFrom(w, h, [&](int x, int y) { return rgb888(value(x, y)); }),
                  "topdown24");
}

std::vector<Rgb> sixteenColours() {
  std::vector<Rgb> palette = {Rgb{0, 0, 0}};
  for (int i = 1; i < 16; ++i)
    palette.push_back({uint8_t(i * 16), uint8_t(255 - i * 9), uint8_t(i * 5)});
  return palette;
}

TEST(BmpDecoder, Rle4EncodedByHandMatchesImageMagick) {
  // Each row of 11 pixels: a run of 5 alternating nibbles, an absolute run of 3 (2 bytes,
  // no padding needed) and a run of 3; end of line between rows, end of bitmap at the end.
  const int w = 11, h = 3;
  const std::vector<Rgb> palette = sixteenColours();
  Bytes rle;
  std::vector<std::vector<int>> indices(h);
  for (int y = 0; y < h; ++y) {
    const int a = 1 + y, b = 9 - y, c = 12, d = 3 + y, e = 7;
    rle.insert(rle.end(), {5, uint8_t(a << 4 | b)});
    rle.insert(rle.end(), {
                              0,
                              3,
                              uint8_t(c << 4 | d),
                              uint8_t(e << 4),
                          });
    rle.insert(rle.end(), {3, uint8_t(d << 4 | a)});
    indices[y] = {a, b, a, b, a, c, d, e, d, a, d};
    if (y + 1 < h) rle.insert(rle.end(), {0, 0});
  }
  rle.insert(rle.end(), {0, 1});
  BmpLayout layout = makeLayout(40, true, w, h, 4, 2);
  layout.palette = palette;
  layout.pixels = rle;
  expectReadAlike(buildBmp(layout),
                  expectedFrom(w, h, [&](int x, int y) { return palette[indices[y][x]]; }), "rle4");

  // Absolute runs of odd byte counts carry a padding byte; a delta skips pixels, which stay
  // black (entry 0 is black too, so ImageMagick agrees).
  Bytes skipping = {0, 5, 0x12, 0x34, 0x50, 0, 0, 2, 0, 1, 2, 0x66, 0, 1};
  layout.width = 7;
  layout.height = 2;
  layout.pixels = skipping;
  const int rows[2][7] = {{1, 2, 3, 4, 5, 0, 0}, {0, 0, 0, 0, 0, 6, 6}};
  expectReadAlike(buildBmp(layout),
                  expectedFrom(7, 2, [&](int x, int y) { return palette[rows[y][x]]; }),
                  "rle4delta");
}

TEST(BmpDecoder, ColourTableCountAndPlacement) {
  std::vector<Rgb> palette256;
  for (int i = 0; i < 256; ++i)
    palette256.push_back({uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)});
  auto index = [](int x, int y) { return uint32_t((x * 37 + y * 91) % 256); };
  const RgbImage expected8 =
      expectedFrom(6, 3, [&](int x, int y) { return palette256[index(x, y)]; });

  // biClrUsed 0 means a full table for 8 bits.
  BmpLayout full = makeLayout(40, true, 6, 3, 8);
  full.palette = palette256;
  full.pixels = packRows(6, 3, 8, index);
  expectReadAlike(buildBmp(full), expected8, "table256");

  // A bare DIB: the pixels follow the table, whose length biClrUsed gives; indices past the
  // table come out black.
  BmpLayout bare = makeLayout(40, false, 6, 3, 8, 0, 16);
  bare.palette.assign(palette256.begin(), palette256.begin() + 16);
  bare.pixels = full.pixels;
  const Decoded short_table = decode(buildBmp(bare));
  ASSERT_EQ(short_table.status, BMP_OK);
  expectSameImage(short_table.image,
                  expectedFrom(6, 3,
                               [&](int x, int y) {
                                 return index(x, y) < 16 ? palette256[index(x, y)] : Rgb{0, 0, 0};
                               }),
                  "bare DIB with 16 entries");

  // A bare DIB with the short header (3-byte table entries) reads like its file.
  BmpLayout file = makeLayout(12, true, 13, 4, 4);
  file.palette = sixteenColours();
  file.pixels = packRows(13, 4, 4, [](int x, int y) { return uint32_t(x + y) % 16; });
  BmpLayout dib = file;
  dib.fileHeader = false;
  const Decoded fromDib = decode(buildBmp(dib));
  ASSERT_EQ(fromDib.status, BMP_OK);
  expectSameImage(fromDib.image,
                  expectedFrom(13, 4, [&](int x, int y) { return file.palette[(x + y) % 16]; }),
                  "bare core DIB");
}

TEST(BmpDecoder, OnlyCoreAndInfoHeadersAreKnown) {
  for (uint32_t size : {16u, 52u, 56u, 64u, 108u, 124u}) {
    BmpLayout layout = makeLayout(size, true, 4, 4, 24);
    layout.pixels = packRows(4, 4, 24, [](int, int) { return 0x123456u; });
    EXPECT_EQ(decode(buildBmp(layout)).status, BMP_UNKNOWN_FORMAT) << size;
  }
}

// Samples of every decoding path, for the truncation and corruption checks.
std::vector<std::pair<std::string, Bytes>> validSamples() {
  std::vector<std::pair<std::string, Bytes>> samples;
  BmpLayout s24 = makeLayout(40, true, 5, 3, 24);
  s24.pixels = packRows(5, 3, 24, [](int x, int y) { return uint32_t(x * 0x10203 + y); });
  samples.push_back({"24", buildBmp(s24)});
  BmpLayout s8 = makeLayout(40, true, 6, 3, 8, 0, 20);
  s8.palette = sixteenColours();
  s8.palette.resize(20, Rgb{1, 2, 3});
  s8.pixels = packRows(6, 3, 8, [](int x, int y) { return uint32_t(x + y); });
  samples.push_back({"8", buildBmp(s8)});
  BmpLayout core = makeLayout(12, false, 9, 2, 1);
  core.palette = {Rgb{1, 2, 3}, Rgb{4, 5, 6}};
  core.pixels = packRows(9, 2, 1, [](int x, int) { return uint32_t(x & 1); });
  samples.push_back({"core1", buildBmp(core)});
  BmpLayout fields = makeLayout(40, true, 3, 3, 16, 3);
  fields.masks = {0xF800, 0x07E0, 0x001F};
  fields.pixels = packRows(3, 3, 16, [](int x, int y) { return uint32_t(x * 4321 + y); });
  samples.push_back({"bitfields", buildBmp(fields)});
  BmpLayout rle8 = makeLayout(40, true, 6, 3, 8, 1, 16);
  rle8.palette = sixteenColours();
  rle8.pixels = {3, 1, 0, 3, 2, 3, 4, 0, 0, 0, 6, 7, 0, 0, 0, 2, 2, 0, 1, 5, 0, 1};
  samples.push_back({"rle8", buildBmp(rle8)});
  BmpLayout rle4 = makeLayout(40, true, 6, 2, 4, 2);
  rle4.palette = sixteenColours();
  rle4.pixels = {6, 0x12, 0, 0, 0, 5, 0x34, 0x56, 0x70, 0, 0, 1};
  samples.push_back({"rle4", buildBmp(rle4)});
  return samples;
}

TEST(BmpDecoder, TruncatedFilesAreRefused) {
  for (const auto& [name, file] : validSamples()) {
    const Decoded whole = decode(file);
    ASSERT_EQ(whole.status, BMP_OK) << name;
    for (size_t length = 0; length < file.size(); ++length) {
      const Decoded cut = decode(Bytes(file.begin(), file.begin() + length));
      // An RLE stream cut after its last row lacks only its end mark and still reads whole.
      if (cut.status == BMP_OK && name.rfind("rle", 0) == 0) {
        expectSameImage(cut.image, whole.image, name + " cut");
        continue;
      }
      EXPECT_NE(cut.status, BMP_OK) << name << " cut to " << length << " bytes";
    }
  }
}

void expectRefused(const BmpLayout& layout, const std::string& what) {
  EXPECT_EQ(decode(buildBmp(layout)).status, BMP_CONVERSION_ERROR) << what;
}

TEST(BmpDecoder, LyingAndOversizedHeadersAreRefused) {
  BmpLayout base = makeLayout(40, true, 5, 3, 24);
  base.pixels = packRows(5, 3, 24, [](int, int) { return 0x808080u; });
  ASSERT_EQ(decode(buildBmp(base)).status, BMP_OK);

  BmpLayout layout = base;
  layout.offBitsDelta = 1;
  expectRefused(layout, "pixel offset one byte late");
  layout.offBitsDelta = 1 << 20;
  expectRefused(layout, "pixel offset past the end");
  layout.offBitsDelta = 0xFFFFFFFFu - 54;
  expectRefused(layout, "pixel offset near 4 GiB");

  layout = base;
  layout.colorsUsed = 0xFFFFFFFFu;
  expectRefused(layout, "huge colour table");
  layout.fileHeader = false;
  layout.colorsUsed = 1u << 30;
  expectRefused(layout, "huge colour table in a bare DIB");

  const std::pair<int32_t, int32_t> sizes[] = {
      {0, 3}, {5, 0}, {-5, 3}, {16385, 1}, {1, -16385}, {1 << 30, 1 << 30}, {5, INT32_MIN}};
  for (const auto& [w, h] : sizes) {
    layout = base;
    layout.width = w;
    layout.height = h;
    expectRefused(layout, std::to_string(w) + " x " + std::to_string(h));
  }

  // A few bytes of RLE may claim a huge image: refused before any allocation.
  BmpLayout rle = makeLayout(40, true, 16384, 16384, 8, 1, 16);
  rle.palette = sixteenColours();
  rle.pixels = {0, 1};
  expectRefused(rle, "huge RLE image");
  rle.width = rle.height = 4096;
  EXPECT_EQ(decode(buildBmp(rle)).status, BMP_OK) << "the largest RLE image allowed";

  // Bit counts and compressions that do not belong together.
  const std::pair<uint16_t, uint32_t> combinations[] = {{4, 1}, {8, 2}, {24, 3}, {8, 3},
                                                        {2, 0}, {0, 0}, {24, 4}, {32, 6}};
  for (const auto& [bits, compression] : combinations) {
    layout = base;
    layout.bitCount = bits;
    layout.compression = compression;
    layout.masks =
        compression == 3 ? std::vector<uint32_t>{0xF800, 0x07E0, 0x1F} : std::vector<uint32_t>{};
    expectRefused(layout,
                  std::to_string(bits) + " bits, compression " + std::to_string(compression));
  }
  BmpLayout fieldsWithoutMasks = makeLayout(40, false, 1, 1, 16, 3);
  fieldsWithoutMasks.pixels = {1, 2};
  expectRefused(fieldsWithoutMasks, "bit fields without room for their masks");
}

TEST(BmpDecoder, RleStreamsLeavingTheImageAreRefused) {
  const Bytes streams[] = {
      {9, 1, 0, 1},                          // a run past the row's padding (8 pixels)
      {0, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0},  // an absolute run past the row's padding
      {0, 0, 0, 0, 2, 1, 0, 1},              // a run after the last row
      {0, 2, 9, 0, 0, 1},                    // a delta past the right edge
      {0, 2, 0, 3, 0, 1},                    // a delta past the top
      {0, 2, 0, 2, 1, 1, 0, 1},              // a run on the row above the top after a delta
      {0, 5, 1, 2},                          // an absolute run cut by the end of the file
      {0, 2, 1},                             // a delta cut by the end of the file
      {2, 1, 0},                             // a stream cut before its last row
  };
  for (const Bytes& stream : streams) {
    BmpLayout layout = makeLayout(40, true, 6, 2, 8, 1, 16);
    layout.palette = sixteenColours();
    layout.pixels = stream;
    expectRefused(layout, "RLE8 stream of " + std::to_string(stream.size()) + " bytes");
  }
  BmpLayout rle4 = makeLayout(40, true, 3, 1, 4, 2);
  rle4.palette = sixteenColours();
  rle4.pixels = {9, 0x12, 0, 1};
  expectRefused(rle4, "RLE4 run past the row's padding");
  rle4.pixels = {0, 9, 0x12, 0x34, 0x56, 0x78, 0x90, 0, 0, 1};
  expectRefused(rle4, "RLE4 absolute run past the row's padding");

  // Runs that reach into the padding, as ImageMagick writes them, lose the pixels there.
  rle4.pixels = {8, 0x12, 0, 1};
  const Decoded padded = decode(buildBmp(rle4));
  ASSERT_EQ(padded.status, BMP_OK);
  const Rgb one = sixteenColours()[1], two = sixteenColours()[2];
  expectSameImage(padded.image, expectedFrom(3, 1, [&](int x, int) { return x == 1 ? two : one; }),
                  "RLE4 run into the padding");
  BmpLayout topDown = makeLayout(40, true, 3, -1, 4, 2);
  topDown.palette = sixteenColours();
  topDown.pixels = {3, 0x12, 0, 1};
  expectRefused(topDown, "top-down RLE");
}

// The file front end: the pixels as decoded, and a text of its own for each failure.
TEST(TextureFile, ReadsAFileAndNamesEachFailure) {
  const std::string dir = scratchDir();
  BmpLayout layout = makeLayout(40, true, 5, 3, 24);
  layout.pixels = packRows(5, 3, 24, [](int x, int y) { return uint32_t(x * 0x10203 + y); });
  writeFile(dir + "/tex.bmp", buildBmp(layout));
  std::string failure;
  TextureImage* image = readTextureImage((dir + "/tex.bmp").c_str(), &failure);
  ASSERT_NE(image, nullptr) << failure;
  const Decoded expected = decode(buildBmp(layout));
  EXPECT_EQ(image->width, 5);
  EXPECT_EQ(image->height, 3);
  EXPECT_EQ(Bytes(image->pixels, image->pixels + 45), expected.image.rgb);
  freeTextureImage(image);
  freeTextureImage(nullptr);

  BmpLayout v5 = layout;
  v5.headerSize = 124;
  writeFile(dir + "/v5.bmp", buildBmp(v5));
  BmpLayout cut = layout;
  cut.pixels.resize(cut.pixels.size() - 16);  // one row short
  writeFile(dir + "/cut.bmp", buildBmp(cut));
  writeFile(dir + "/empty.bmp", {});
  const std::pair<std::string, std::string> failures[] = {
      {"missing.bmp", "Failed to open DIB file " + dir + "/missing.bmp.\n"},
      {"empty.bmp", "Failed to open DIB file " + dir + "/empty.bmp.\n"},
      {"", "Failed to open DIB file " + dir + "/.\n"},  // a folder
      {"v5.bmp", "Unknown DIB file format."},
      {"cut.bmp", "Image file conversion error."},
  };
  for (const auto& [name, text] : failures) {
    failure.clear();
    image = readTextureImage((dir + "/" + name).c_str(), &failure);
    EXPECT_EQ(image, nullptr) << name;
    EXPECT_EQ(failure, text);
    freeTextureImage(image);
  }
}

}  // namespace
