// Texture files that are no regular files, or far larger than any texture, are refused as a
// missing file is, with one line on stderr; none of them blocks or is read.
#include "image/texture_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "bmp_builder.h"
#include "bounded_child.h"
#include "magick.h"

namespace {

TEST(TextureFile, RefusesWhatCannotBeATextureAsAMissingFile) {
  const std::string dir = scratchDir();
  ASSERT_EQ(0, mkfifo((dir + "/fifo.bmp").c_str(), 0600));
  ASSERT_EQ(0, symlink("/dev/zero", (dir + "/zero.bmp").c_str()));
  ASSERT_EQ(0, mkdir((dir + "/folder.bmp").c_str(), 0700));
  // A good texture followed by a sparse gigabyte that no texture needs.
  BmpLayout layout = makeLayout(40, true, 4, 4, 24);
  layout.pixels = packRows(4, 4, 24, [](int x, int y) { return uint32_t(x + y); });
  writeFile(dir + "/huge.bmp", buildBmp(layout));
  ASSERT_EQ(0, truncate((dir + "/huge.bmp").c_str(), off_t{1} << 30));

  const std::pair<std::string, std::string> refused[] = {
      {"fifo.bmp", "is a FIFO, not a regular file"},
      {"zero.bmp", "is a device, not a regular file"},
      {"folder.bmp", "is a folder, not a regular file"},
      {"huge.bmp", "is 1073741824 bytes, more than any texture needs"},
  };
  for (const auto& [name, reason] : refused) {
    const std::string path = dir + "/" + name;
    const ChildOutcome outcome = runBounded([&] {
      std::string failure;
      TextureImage* image = readTextureImage(path.c_str(), &failure);
      freeTextureImage(image);
      return image == nullptr && failure == "Failed to open DIB file " + path + ".\n" ? 0 : 1;
    });
    EXPECT_EQ(0, outcome.exitCode) << name << ": the open message, not another result";
    EXPECT_EQ("oculant: " + path + " " + reason + ": ignored\n", outcome.errors);
  }
}

}  // namespace
