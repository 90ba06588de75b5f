#include "evaluate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "oculant/ground_truth.h"
#include "oculant/motion_truth.h"
#include "oculant/stereo_files.h"
#include "png_reader.h"
#include "tool_status.h"

namespace fs = std::filesystem;

namespace {

constexpr double kNoResult = 1e9;  // flow beyond this is the .flo format's "unknown"

// The counts behind one set of figures.
struct Score {
  long pixels = 0;      // with ground truth
  long bad1 = 0;        // off by more than 1 pixel, or without a result
  long bad2 = 0;        // off by more than 2
  long invalid = 0;     // without a result (+inf, NaN)
  double errorSum = 0;  // of the pixels with a result

  void add(float result, float truth) {
    addError(std::isfinite(result) ? std::abs(static_cast<double>(result) - truth) : kNoResult);
  }
  // An error of kNoResult (or any that is not a number) counts the pixel as without a result.
  void addError(double error) {
    ++pixels;
    if (!(error < kNoResult)) {
      ++invalid;
      ++bad1;
      ++bad2;
      return;
    }
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

// The sample's left occlusion mask, of the size of its truth (named `of` in the error); false
// with error set when it is missing or does not fit.
bool readMask(const fs::path& folder, int width, int height, const std::string& of,
              std::vector<uint8_t>* mask, std::string* error) {
  const fs::path maskFile = folder / "mask0nocc.png";
  if (!fs::exists(maskFile)) {
    *error = "no " + maskFile.string() + " (recorded before masks were; record it again)";
    return false;
  }
  int32_t maskWidth = 0;
  int32_t maskHeight = 0;
  if (!readGreyPng(maskFile.string(), &maskWidth, &maskHeight, mask, error)) return false;
  if (maskWidth != width || maskHeight != height) {
    *error = maskFile.string() + " does not match the size of " + (folder / of).string();
    return false;
  }
  return true;
}

// Scores one sample's disparity; false with error set when a file is missing or does not fit.
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
  std::vector<uint8_t> mask;
  if (!readMask(folder, width, height, truthPath.filename().string(), &mask, error)) return false;
  for (size_t i = 0; i < truth.size(); ++i) {
    // +inf marks a pixel without ground truth.
    if (!std::isfinite(truth[i])) continue;
    score->all.add(result[i], truth[i]);
    if (mask[i] == oculant::kMaskVisible) score->nonOccluded.add(result[i], truth[i]);
  }
  return true;
}

// The end-point error of a sample's flow result against its true flow0.flo: over every pixel
// whose flow is known, and over those the other eye sees too (mask0nocc.png). False with error
// set when a file is missing or does not fit.
bool scoreFlow(const fs::path& folder, const std::string& resultName, SampleScore* score,
               std::string* error) {
  oculant::FlowField truth;
  oculant::FlowField result;
  const fs::path resultFile = folder / ("flow0" + resultName + ".flo");
  if (!oculant::readFlo((folder / "flow0.flo").string(), &truth, error) ||
      !oculant::readFlo(resultFile.string(), &result, error)) {
    return false;
  }
  if (result.width != truth.width || result.height != truth.height) {
    *error = resultFile.string() + " does not match the size of the true flow0.flo";
    return false;
  }
  std::vector<uint8_t> mask;
  if (!readMask(folder, truth.width, truth.height, "flow0.flo", &mask, error)) return false;
  for (int y = 0; y < truth.height; ++y) {
    for (int x = 0; x < truth.width; ++x) {
      if (!truth.known(x, y)) continue;
      const size_t at = 2 * (static_cast<size_t>(y) * truth.width + x);
      const double du = static_cast<double>(result.values[at]) - truth.values[at];
      const double dv = static_cast<double>(result.values[at + 1]) - truth.values[at + 1];
      const double endPoint = result.known(x, y) ? std::sqrt(du * du + dv * dv) : kNoResult;
      score->all.addError(endPoint);
      // The mask is read bottom row first, as the PFM files lie.
      const size_t maskAt = static_cast<size_t>(truth.height - 1 - y) * truth.width + x;
      if (mask[maskAt] == oculant::kMaskVisible) score->nonOccluded.addError(endPoint);
    }
  }
  return true;
}

using Scorer = bool (*)(const fs::path&, const std::string&, SampleScore*, std::string*);

// One table: each of the folders scored by scorer, a row each and the overall row. The exit
// status of the first sample that cannot be scored, or success.
int printTable(const std::string& resultFile, const std::string& against,
               const std::vector<fs::path>& folders, const std::string& resultName, Scorer scorer,
               const char* errorHead) {
  std::printf("%s against %s\n", resultFile.c_str(), against.c_str());
  std::printf("%-8s%-36s  %s\n", "", "   all pixels with ground truth", "   non-occluded pixels");
  const std::string heads = cell("bad 1.0") + cell("bad 2.0") + cell(errorHead) + cell("invalid");
  std::printf("%-8s%s  %s\n", "sample", heads.c_str(), heads.c_str());
  SampleScore total;
  for (const fs::path& folder : folders) {
    SampleScore score;
    std::string error;
    if (!scorer(folder, resultName, &score, &error)) return fail(error);
    printRow(folder.filename().string(), score);
    total.all.add(score.all);
    total.nonOccluded.add(score.nonOccluded);
  }
  printRow("overall", total);
  return EXIT_SUCCESS;
}

std::string nameList(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
  return list;
}

}  // namespace

int evaluateDataset(const std::string& dataset, const std::string& resultName) {
  if (!fs::is_directory(dataset)) return fail(dataset + " is not a folder");
  const std::vector<fs::path> folders = sampleFolders(dataset);
  if (folders.empty()) {
    return fail("no samples (folders with disp0.pfm or disp0GT.pfm) in " + dataset);
  }
  const std::string resultFile = "disp0" + resultName + ".pfm";
  const std::string flowFile = "flow0" + resultName + ".flo";
  std::vector<fs::path> scored;
  std::vector<fs::path> flowScored;
  std::vector<std::string> missing;
  std::vector<std::string> stale;
  for (const fs::path& folder : folders) {
    const std::string name =
        folder.filename().empty() ? folder.string() : folder.filename().string();
    if (fs::exists(folder / flowFile) && fs::exists(folder / "flow0.flo")) {
      flowScored.push_back(folder);
    }
    if (!fs::exists(folder / resultFile)) {
      missing.push_back(name);
      continue;
    }
    scored.push_back(folder);
    // A result older than the truth was made from frames recorded over since.
    std::error_code failure;
    if (fs::last_write_time(folder / resultFile, failure) <
        fs::last_write_time(truthFile(folder), failure)) {
      stale.push_back(name);
    }
  }
  if (!scored.empty()) {
    const int status = printTable(resultFile, "the ground truth in " + dataset, scored, resultName,
                                  scoreSample, "avgerr");
    if (status != EXIT_SUCCESS) return status;
  }
  if (!flowScored.empty()) {
    if (!scored.empty()) std::printf("\n");
    const int status = printTable(flowFile, "the true flow in " + dataset, flowScored, resultName,
                                  scoreFlow, "EPE");
    if (status != EXIT_SUCCESS) return status;
  }
  if (!stale.empty()) {
    std::fprintf(stderr,
                 "oculant-client: warning: %s is older than the ground truth in %s: made from "
                 "frames that were recorded over since?\n",
                 resultFile.c_str(), nameList(stale).c_str());
  }
  // Flow results alone are a complete evaluation of their own; otherwise every sample needs
  // its disparity result.
  if (!missing.empty() && !(scored.empty() && !flowScored.empty())) {
    return fail("no " + resultFile + " in sample" + (missing.size() == 1 ? " " : "s ") +
                nameList(missing));
  }
  return EXIT_SUCCESS;
}
