// Runs every input of one fuzz target's corpus once through the target, so the inputs the
// fuzzer found (crashes it once found among them) keep passing in every build. The target's
// own checks abort on a wrong result; the sanitizer build catches memory faults.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::string> corpusFiles(const std::string& folder) {
  std::vector<std::string> files;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return files;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.') files.push_back(folder + "/" + entry->d_name);
  }
  closedir(dir);
  std::sort(files.begin(), files.end());
  return files;
}

TEST(FuzzCorpus, EveryInputRunsThroughTheTarget) {
  const std::string folder = OCULANT_SOURCE_DIR "/fuzz/corpus/" FUZZ_TARGET;
  const std::vector<std::string> files = corpusFiles(folder);
  ASSERT_GE(files.size(), 5u) << "corpus missing or nearly empty: " << folder;
  for (const std::string& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    // libFuzzer never passes a null pointer, even for empty input.
    const uint8_t none = 0;
    const uint8_t* data = bytes.empty() ? &none : reinterpret_cast<const uint8_t*>(bytes.data());
    EXPECT_EQ(LLVMFuzzerTestOneInput(data, bytes.size()), 0) << file;
  }
}

}  // namespace
