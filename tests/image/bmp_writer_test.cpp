// Saved frames: the file's bytes, and the guarantees of a save.
#include "image/bmp_writer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bmp_builder.h"
#include "magick.h"

namespace {

namespace fs = std::filesystem;

// A frame as the capture lays it out: BGR pixels in rows of `stride` bytes, padding zero.
class BmpWriter : public ::testing::Test {
 protected:
  CaptureImage frame(int width, int height) {
    CaptureImage image{nullptr, width, strideForWidth(width), height, 0};
    pixels_.assign(size_t(image.stride) * height + 1, 0);
    for (int y = 0; y < height; ++y)
      for (int i = 0; i < width * 3; ++i)
        pixels_[size_t(y) * image.stride + i] = uint8_t(y * 13 + i);
    image.pixels = pixels_.data();
    return image;
  }
  std::string folder(const char* name) {
    fs::create_directory(scratchDir() + "/" + name);
    return scratchDir() + "/" + name;
  }
  Bytes pixels_;
};

// The names in a folder, sorted; a temporary file left behind shows up here.
std::vector<std::string> entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(BmpWriter, WritesPaddedRowsThatReadBackUnsheared) {
  const std::string path = scratchDir() + "/frame301.bmp";
  const CaptureImage image = frame(301, 7);  // 903 bytes of pixels in 904-byte rows
  ASSERT_EQ(writeBmp(path.c_str(), image), 0);
  BmpLayout layout = makeLayout(40, true, 301, 7, 24);
  layout.pixels.assign(pixels_.begin(), pixels_.end() - 1);
  EXPECT_EQ(readFile(path), buildBmp(layout));
  Bytes rgb;
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 301; ++x)
      for (int c = 2; c >= 0; --c) rgb.push_back(pixels_[y * 904 + x * 3 + c]);
  EXPECT_EQ(magickRead(path).rgb, rgb);
  // Saving again replaces the file; 0 x 0 is a bare header.
  ASSERT_EQ(writeBmp(path.c_str(), CaptureImage{nullptr, 0, 0, 0, 0}), 0);
  EXPECT_EQ(readFile(path), buildBmp(makeLayout(40, true, 0, 0, 24)));
}

TEST_F(BmpWriter, ReplacesLinksAndFifosAtTheNameWithoutOpeningThem) {
  const std::string dir = folder("replace");
  const CaptureImage image = frame(8, 4);
  ASSERT_EQ(writeBmp((scratchDir() + "/reference.bmp").c_str(), image), 0);
  const Bytes saved = readFile(scratchDir() + "/reference.bmp");
  // Files outside the folder that a link at the name leads to.
  const std::string linked = scratchDir() + "/linked.txt";
  const std::string hardLinked = scratchDir() + "/hard-linked.txt";
  const Bytes notes = {'n', 'o', 't', 'e', 's'};
  writeFile(linked, notes);
  writeFile(hardLinked, notes);
  ASSERT_EQ(symlink(linked.c_str(), (dir + "/symlink.bmp").c_str()), 0);
  ASSERT_EQ(link(hardLinked.c_str(), (dir + "/hardlink.bmp").c_str()), 0);
  ASSERT_EQ(mkfifo((dir + "/fifo.bmp").c_str(), 0600), 0);
  // Opening a FIFO waits for a reader for ever; the alarm breaks such a wait.
  struct sigaction wake = {}, previous = {};
  wake.sa_handler = [](int) {};
  sigaction(SIGALRM, &wake, &previous);
  alarm(5);
  for (const char* name : {"symlink.bmp", "hardlink.bmp", "fifo.bmp"}) {
    const std::string path = dir + "/" + name;
    EXPECT_EQ(writeBmp(path.c_str(), image), 0) << name;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path))) << name;
    EXPECT_EQ(readFile(path), saved) << name;
  }
  alarm(0);
  sigaction(SIGALRM, &previous, nullptr);
  EXPECT_EQ(readFile(linked), notes);
  EXPECT_EQ(readFile(hardLinked), notes);
  // A plain create's mode, not a private one.
  const mode_t mask = umask(022);
  ASSERT_EQ(writeBmp((dir + "/fresh.bmp").c_str(), image), 0);
  umask(mask);
  EXPECT_EQ(fs::status(dir + "/fresh.bmp").permissions(), fs::perms(0644));
  EXPECT_EQ(entries(dir),
            (std::vector<std::string>{"fifo.bmp", "fresh.bmp", "hardlink.bmp", "symlink.bmp"}));
}

TEST_F(BmpWriter, AFailedSaveKeepsThePreviousFileAndLeavesNoTemporaryFile) {
  const std::string dir = folder("failing");
  const CaptureImage image = frame(64, 64);
  writeFile(dir + "/plain", {1});  // a file where a folder should be stops root too
  EXPECT_EQ(writeBmp((dir + "/plain/image1.bmp").c_str(), image), 1);
  EXPECT_EQ(writeBmp((dir + "/no/such/folder.bmp").c_str(), image), 1);
  CaptureImage narrow = image;
  narrow.stride = 20;
  EXPECT_EQ(writeBmp((dir + "/narrow.bmp").c_str(), narrow), 1) << "an unusable record";
  const std::string image1 = dir + "/image1.bmp";
  const Bytes previous(100, 7);
  writeFile(image1, previous);
  // A file size limit stands in for a full disk.
  rlimit limit;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
  const rlim_t softLimit = limit.rlim_cur;
  limit.rlim_cur = 4096;
  const sighandler_t xfsz = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  std::string reason;
  const int result = writeBmp(image1.c_str(), image, &reason);
  limit.rlim_cur = softLimit;
  setrlimit(RLIMIT_FSIZE, &limit);
  signal(SIGXFSZ, xfsz);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(reason, std::strerror(EFBIG));
  EXPECT_EQ(readFile(image1), previous);
  const std::string folderAtName = dir + "/folder.bmp";
  ASSERT_TRUE(fs::create_directory(folderAtName));
  writeFile(folderAtName + "/inside", {1});
  EXPECT_EQ(writeBmp(folderAtName.c_str(), image, &reason), 1);
  EXPECT_EQ(reason, std::strerror(EISDIR));
  EXPECT_EQ(readFile(folderAtName + "/inside"), Bytes{1});
  EXPECT_EQ(entries(dir), (std::vector<std::string>{"folder.bmp", "image1.bmp", "plain"}));
}

}  // namespace
