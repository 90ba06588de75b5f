#include "shard_selection.h"

#include <fstream>
#include <iterator>
#include <system_error>
#include <unordered_map>

namespace fs = std::filesystem;

namespace {

// Digits only, no sign or blank, and few enough of them to fit.
bool parseCount(const std::string& text, size_t* value) {
  if (text.empty() || text.size() > 9) return false;
  if (text.find_first_not_of("0123456789") != std::string::npos) return false;
  *value = std::stoul(text);
  return true;
}

bool holdsExactly(const fs::path& file, const std::string& text) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()) == text;
}

}  // namespace

bool parseShard(const std::string& text, ShardSelection* shard, std::string* error) {
  const size_t slash = text.find('/');
  ShardSelection parsed;
  if (slash == std::string::npos || !parseCount(text.substr(0, slash), &parsed.number) ||
      !parseCount(text.substr(slash + 1), &parsed.count)) {
    *error = "--shard takes K/N, two whole numbers such as 2/8, not '" + text + "'";
    return false;
  }
  if (parsed.count == 0 || parsed.number == 0 || parsed.number > parsed.count) {
    *error = "--shard " + text + ": K counts from 1 to N";
    return false;
  }
  *shard = parsed;
  return true;
}

bool mayWriteWithoutOverwrite(const fs::path& outdir, const ShardSelection& shard,
                              const std::vector<std::string>& sampleNames,
                              const std::string& tableName, const std::string& tableText,
                              std::string* reason) {
  // Looked up by name: a large recording has as many entries as samples.
  std::unordered_map<std::string, size_t> poseIndex;
  for (size_t index = 0; index < sampleNames.size(); ++index) poseIndex[sampleNames[index]] = index;
  std::error_code failure;
  for (const fs::directory_entry& entry : fs::directory_iterator(outdir, failure)) {
    const std::string name = entry.path().filename().string();
    if (name[0] == '.') continue;
    if (name == tableName && holdsExactly(entry.path(), tableText)) continue;
    const auto sample = poseIndex.find(name);
    const bool othersSample = sample != poseIndex.end() && !shard.holds(sample->second);
    if (!othersSample) {
      *reason = outdir.string() + " already holds " + name + "; --overwrite records over it";
      return false;
    }
  }
  if (failure) *reason = "cannot read " + outdir.string() + ": " + failure.message();
  return !failure;
}
