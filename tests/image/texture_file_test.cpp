// What is no regular file, or far larger than any texture, is never read, so that none may block
// or eat memory. (The decoder's fuzz target checks that a good file reads as its bytes decode.)
#include "image/texture_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "bmp_builder.h"
#include "bounded_child.h"
#include "magick.h"

namespace {

TEST(TextureFile, NamesEachFailure) {
  const std::string dir = scratchDir();
  BmpLayout good = makeLayout(40, true, 4, 4, 24);
  good.pixels = packRows(4, 4, 24, [](int x, int y) { return uint32_t(x + y); });
  BmpLayout v5 = good, cut = good;
  v5.headerSize = 124;
  cut.pixels.resize(cut.pixels.size() - 16);
  writeFile(dir + "/v5.bmp", buildBmp(v5));
  writeFile(dir + "/cut.bmp", buildBmp(cut));
  writeFile(dir + "/empty.bmp", {});
  ASSERT_EQ(0, mkfifo((dir + "/fifo.bmp").c_str(), 0600));
  ASSERT_EQ(0, symlink("/dev/zero", (dir + "/zero.bmp").c_str()));
  ASSERT_EQ(0, mkdir((dir + "/folder.bmp").c_str(), 0700));
  // A good texture followed by a sparse gigabyte that no texture needs.
  writeFile(dir + "/huge.bmp", buildBmp(good));
  ASSERT_EQ(0, truncate((dir + "/huge.bmp").c_str(), off_t{1} << 30));
  const struct {
    const char* name;
    const char* failure;  // null: the missing file's text
    const char* notice;   // why stderr says the file is ignored; null: stderr stays quiet
  } cases[] = {
      {"missing.bmp", nullptr, nullptr},
      {"empty.bmp", nullptr, nullptr},
      {"v5.bmp", "Unknown DIB file format.", nullptr},
      {"cut.bmp", "Image file conversion error.", nullptr},
      {"fifo.bmp", nullptr, "is a FIFO, not a regular file"},
      {"zero.bmp", nullptr, "is a device, not a regular file"},
      {"folder.bmp", nullptr, "is a folder, not a regular file"},
      {"huge.bmp", nullptr, "is 1073741824 bytes, more than any texture needs"},
  };
  for (const auto& c : cases) {
    const std::string path = dir + "/" + c.name;
    const std::string failure = c.failure ? c.failure : "Failed to open DIB file " + path + ".\n";
    const ChildOutcome outcome = runBounded([&] {
      std::string text;
      TextureImage* image = readTextureImage(path.c_str(), &text);
      freeTextureImage(image);
      return image == nullptr && text == failure ? 0 : 1;
    });
    EXPECT_EQ(outcome.exitCode, 0) << c.name << ": not refused with \"" << failure << "\"";
    EXPECT_EQ(outcome.errors, c.notice ? "oculant: " + path + " " + c.notice + ": ignored\n" : "")
        << c.name;
  }
}

}  // namespace
