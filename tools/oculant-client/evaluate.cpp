#include "evaluate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "oculant/ground_truth.h"
#include "oculant/stereo_files.h"
#include "png_reader.h"
#include "tool_status.h"

namespace fs = std::filesystem;

namespace {

// The counts behind one set of figures.
struct Score {
  long pixels = 0;      // with ground truth
  long bad1 = 0;        // off by more than 1 pixel, or without a result
  long bad2 = 0;        // off by more than 2
  long invalid = 0;     // without a result (+inf, NaN)
  double errorSum = 0;  // of the pixels with a result

  void add(float result, float truth) {
    ++pixels;
    if (!std::isfinite(result)) {
      ++invalid;
      ++bad1;
      ++bad2;
      return;
    }
    const double error = std::abs(static_cast<double>(result) - truth);
    errorSum += error;
    if (error > 1.0) ++bad1;
    if (error > 2.0) ++bad2;
  }
  void add(const Score& other) {
    pixels += other.pixels;
    bad1 += other.bad1;
    bad2 += other.bad2;
    invalid += other.invalid;
    errorSum += other.errorSum;
  }
};

struct SampleScore {
  Score all;          // every pixel with ground truth
  Score nonOccluded;  // those the other eye sees too
};

// One figure right-aligned in a column of the table.
std::string cell(const char* text) {
  char padded[16];
  std::snprintf(padded, sizeof padded, "%9s", text);
  return padded;
}

std::string percent(long count, long total) {
  char text[16];
  std::snprintf(text, sizeof text, "%.2f%%", 100.0 * count / total);
  return cell(text);
}

// bad 1.0, bad 2.0, avgerr and invalid, or dashes where nothing was scored.
std::string columns(const Score& score) {
  if (score.pixels == 0) return cell("-") + cell("-") + cell("-") + cell("-");
  const long valid = score.pixels - score.invalid;
  char error[16] = "-";
  if (valid > 0) std::snprintf(error, sizeof error, "%.3f", score.errorSum / valid);
  return percent(score.bad1, score.pixels) + percent(score.bad2, score.pixels) + cell(error) +
         percent(score.invalid, score.pixels);
}

void printRow(const std::string& name, const SampleScore& score) {
  std::printf("%-8s%s  %s\n", name.c_str(), columns(score.all).c_str(),
              columns(score.nonOccluded).c_str());
}

// A sample's true disparity of the left view, under either layout's name; empty for none.
fs::path truthFile(const fs::path& folder) {
  for (const char* name : {"disp0.pfm", "disp0GT.pfm"}) {
    if (fs::exists(folder / name)) return folder / name;
  }
  return {};
}

// The sample folders of a dataset: those that hold a true disparity, in name order; or the
// dataset itself when it is one sample. Hidden folders are samples a recording has not finished
// (it renames them into place once whole), so they are not scored.
std::vector<fs::path> sampleFolders(const fs::path& dataset) {
  if (!truthFile(dataset).empty()) return {dataset};
  std::vector<fs::path> folders;
  std::error_code failure;
  for (const fs::directory_entry& entry : fs::directory_iterator(dataset, failure)) {
    const bool hidden = entry.path().filename().string().rfind('.', 0) == 0;
    if (!hidden && !truthFile(entry.path()).empty()) folders.push_back(entry.path());
  }
  std::sort(folders.begin(), folders.end());
  return folders;
}

// Scores one sample; false with error set when a file is missing or does not fit.
bool scoreSample(const fs::path& folder, const std::string& resultName, SampleScore* score,
                 std::string* error) {
  int width = 0;
  int height = 0;
  std::vector<float> truth;
  const fs::path truthPath = truthFile(folder);
  if (!oculant::readPfm(truthPath.string(), &width, &height, &truth, error)) {
    return false;
  }
  int resultWidth = 0;
  int resultHeight = 0;
  std::vector<float> result;
  const fs::path resultFile = folder / ("disp0" + resultName + ".pfm");
  if (!oculant::readPfm(resultFile.string(), &resultWidth, &resultHeight, &result, error)) {
    return false;
  }
  if (resultWidth != width || resultHeight != height) {
    *error = resultFile.string() + " is " + std::to_string(resultWidth) + " x " +
             std::to_string(resultHeight) + ", the ground truth " + std::to_string(width) + " x " +
             std::to_string(height);
    return false;
  }
  int32_t maskWidth = 0;
  int32_t maskHeight = 0;
  std::vector<uint8_t> mask;
  const fs::path maskFile = folder / "mask0nocc.png";
  if (!fs::exists(maskFile)) {
    *error = "no " + maskFile.string() + " (recorded before masks were; record it again)";
    return false;
  }
  if (!readGreyPng(maskFile.string(), &maskWidth, &maskHeight, &mask, error)) return false;
  if (maskWidth != width || maskHeight != height) {
    *error = maskFile.string() + " does not match the size of " + truthPath.string();
    return false;
  }
  for (size_t i = 0; i < truth.size(); ++i) {
    // +inf marks a pixel without ground truth.
    if (!std::isfinite(truth[i])) continue;
    score->all.add(result[i], truth[i]);
    if (mask[i] == oculant::kMaskVisible) score->nonOccluded.add(result[i], truth[i]);
  }
  return true;
}

}  // namespace

int evaluateDataset(const std::string& dataset, const std::string& resultName) {
  if (!fs::is_directory(dataset)) return fail(dataset + " is not a folder");
  const std::vector<fs::path> folders = sampleFolders(dataset);
  if (folders.empty()) {
    return fail("no samples (folders with disp0.pfm or disp0GT.pfm) in " + dataset);
  }
  const std::string resultFile = "disp0" + resultName + ".pfm";
  std::vector<fs::path> scored;
  std::vector<std::string> missing;
  for (const fs::path& folder : folders) {
    if (fs::exists(folder / resultFile)) {
      scored.push_back(folder);
    } else {
      missing.push_back(folder.filename().empty() ? folder.string() : folder.filename().string());
    }
  }
  if (!scored.empty()) {
    std::printf("%s against the ground truth in %s\n", resultFile.c_str(), dataset.c_str());
    std::printf("%-8s%-36s  %s\n", "", "   all pixels with ground truth", "   non-occluded pixels");
    const std::string heads = cell("bad 1.0") + cell("bad 2.0") + cell("avgerr") + cell("invalid");
    std::printf("%-8s%s  %s\n", "sample", heads.c_str(), heads.c_str());
  }
  SampleScore total;
  std::vector<std::string> stale;
  for (const fs::path& folder : scored) {
    // A result older than the truth was made from frames recorded over since.
    std::error_code failure;
    if (fs::last_write_time(folder / resultFile, failure) <
        fs::last_write_time(truthFile(folder), failure)) {
      stale.push_back(folder.filename().string());
    }
    SampleScore score;
    std::string error;
    if (!scoreSample(folder, resultName, &score, &error)) return fail(error);
    printRow(folder.filename().string(), score);
    total.all.add(score.all);
    total.nonOccluded.add(score.nonOccluded);
  }
  if (!scored.empty()) printRow("overall", total);
  if (!stale.empty()) {
    std::string names;
    for (const std::string& name : stale) names += (names.empty() ? "" : ", ") + name;
    std::fprintf(stderr,
                 "oculant-client: warning: %s is older than the ground truth in %s: made from "
                 "frames that were recorded over since?\n",
                 resultFile.c_str(), names.c_str());
  }
  if (!missing.empty()) {
    std::string names;
    for (const std::string& name : missing) names += (names.empty() ? "" : ", ") + name;
    return fail("no " + resultFile + " in sample" + (missing.size() == 1 ? " " : "s ") + names);
  }
  return EXIT_SUCCESS;
}
