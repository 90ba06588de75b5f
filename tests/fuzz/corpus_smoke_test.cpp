// Runs every input of one fuzz target's corpus once through the target, so the inputs the
// fuzzer found (crashes it once found among them) keep passing in every build. The target's
// own checks abort on a wrong result; the sanitizer build catches memory faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

TEST(FuzzCorpus, EveryInputRunsThroughTheTarget) {
  const std::string folder = OCULANT_SOURCE_DIR "/fuzz/corpus/" FUZZ_TARGET;
  std::vector<std::string> files;
  std::error_code missing;
  for (const auto& entry : std::filesystem::directory_iterator(folder, missing))
    files.push_back(entry.path());
  std::sort(files.begin(), files.end());
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
