#include "record.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <system_error>

#include "evaluate.h"
#include "oculant/client.h"
#include "oculant/motion_truth.h"
#include "oculant/stereo_files.h"
#include "ordered_pipeline.h"
#include "platform/console.h"
#include "platform/platform.h"
#include "png_writer.h"
#include "pose_list.h"
#include "sample_check.h"
#include "shard_selection.h"
#include "tool_status.h"

namespace fs = std::filesystem;

const char* const kRecordHelp =
    "usage: oculant-client record POSES.csv OUTDIR [--shard K/N] [--layout middlebury]\n"
    "                             [--overwrite]\n"
    "       oculant-client record --evaluate DATASET [--result NAME]\n"
    "Visits every pose of POSES.csv (one 'x, y, heading' per line; '#' starts a comment)\n"
    "with the rig in all three windows and records one sample per pose in OUTDIR. A line\n"
    "may add 'height, pitch, roll' (the eyes' z; degrees, + looks up; degrees, + clockwise\n"
    "seen from behind), or the first of them: a roll or pitch left out is 0, a height the\n"
    "rig's when the recording began. The samples:\n"
    "  NNNN/im0.png, im1.png     the left and right frames\n"
    "  NNNN/disp0.pfm, disp1.pfm the true disparity of the left and right view (PFM, pixels;\n"
    "                            +inf where a view sees nothing)\n"
    "  NNNN/mask0nocc.png, mask1nocc.png\n"
    "                            occlusion masks: 255 seen by both eyes, 128 occluded (hidden\n"
    "                            from the other eye or outside its view), 0 no ground truth\n"
    "  NNNN/ids0.png, ids1.png   the scene object each pixel sees (16-bit grey: n of OBJECTn,\n"
    "                            0 for none)\n"
    "  NNNN/calib.txt, calib.yml the calibration (every field of Middlebury 2014's\n"
    "                            calib.txt; OpenCV FileStorage)\n"
    "  NNNN/flow0.flo, flow1.flo the motion of each view to the next pose of the list\n"
    "                            (Middlebury .flo; above 1e9 where unknown: the point leaves\n"
    "                            the view or is hidden at the next pose)\n"
    "  NNNN/disp0change.pfm, disp1change.pfm\n"
    "                            the next pose's disparity of each pixel's point minus this\n"
    "                            one's (+inf where unknown); the last pose has neither\n"
    "  poses.csv                 every pose of the list with its sample's name; the\n"
    "                            cameras draw each sample at exactly its pose\n"
    "Both frames of a sample come from one pose. Each pair is checked before it is written\n"
    "(the rig's size in colour, depth and ids; depth exactly where a surface shows): a pair\n"
    "that fails stops the recording with exit status 1. A sample folder gets its name only\n"
    "once it is whole. Samples are written on worker threads while the bench draws the next\n"
    "ones, a few at most in hand; a sample that cannot be written stops the recording with\n"
    "exit status 1, keeping the samples before it and none after. When done, the rig goes\n"
    "back to the pose it had.\n"
    "\n"
    "--layout middlebury names the true disparities disp0GT.pfm and disp1GT.pfm, as\n"
    "MiddEval3's tools expect them beside im0.png, im1.png, mask0nocc.png and calib.txt.\n"
    "\n"
    "--shard K/N records only every N-th pose from the K-th (K counts from 1: 1/4 takes\n"
    "the 1st, 5th, 9th, ... pose of the list). A sample is named by its pose's place in\n"
    "the whole list and poses.csv is the same in every shard, so shards merge by copying\n"
    "their folders into one, which then equals an unsharded run byte for byte.\n"
    "\n"
    "An OUTDIR that holds anything but hidden names, other shards' samples and the same\n"
    "poses.csv is refused unless --overwrite is given, so shards of one list can write into\n"
    "one folder; --overwrite records over this run's own samples (keeping files of other\n"
    "names in them) and removes samples numbered beyond the list.\n"
    "Progress shows as a bar when stderr is a terminal, else as a line every 10 samples;\n"
    "samples whose left view sees nothing (background only) are named in a warning.\n"
    "\n"
    "With --evaluate, no bench is needed: every sample's result of a stereo algorithm,\n"
    "NNNN/disp0NAME.pfm (NAME from --result, default SGBM; the left view's disparity in\n"
    "pixels, +inf or NaN where it has none), is scored against disp0.pfm (or disp0GT.pfm):\n"
    "the share of pixels\n"
    "off by more than 1 and 2 pixels (bad 1.0, bad 2.0; a pixel without a result counts as\n"
    "bad), the mean absolute error of those with a result (avgerr) and the share without\n"
    "(invalid), on all pixels with ground truth and on the non-occluded ones (255 in\n"
    "mask0nocc.png), per sample and over all samples' pixels together. Exit status 1 when a\n"
    "sample has no result. A sample that holds flow0NAME.flo has its flow scored too against\n"
    "flow0.flo: the end-point error (EPE) over the pixels with known flow, and over those\n"
    "that are also non-occluded.\n";

const char* const kCalibrationHelp =
    "usage: oculant-client calibration OUTDIR [--overwrite]\n"
    "Writes the camera pair's calibration at the rig's current pose as OUTDIR/calib.yml\n"
    "(OpenCV FileStorage) and OUTDIR/calib.txt (Middlebury style), and prints it. Existing\n"
    "calibration files are replaced only with --overwrite.\n";

namespace {

// The names of a sample's files: the true disparities' differ between the layouts.
struct SampleLayout {
  const char* disparity[2];
};
constexpr SampleLayout kOwnLayout = {{"disp0.pfm", "disp1.pfm"}};
constexpr SampleLayout kMiddleburyLayout = {{"disp0GT.pfm", "disp1GT.pfm"}};

// The names a sample folder holds; an overwrite removes only these from folders left over.
std::vector<std::string> sampleFiles(const SampleLayout& layout) {
  return {"im0.png",       "im1.png",   "ids0.png",        "ids1.png",          "mask0nocc.png",
          "mask1nocc.png", "calib.txt", "calib.yml",       layout.disparity[0], layout.disparity[1],
          "flow0.flo",     "flow1.flo", "disp0change.pfm", "disp1change.pfm"};
}

std::string sampleName(size_t index) {
  char name[32];
  std::snprintf(name, sizeof name, "%04zu", index + 1);
  return name;
}

std::vector<float> disparityOf(const oculant::Capture& view, const oculant::Capture& other) {
  return oculant::trueDisparity(view.depth, view.camera, other.camera);
}

std::vector<uint8_t> maskOf(const oculant::Capture& view, const oculant::Capture& other) {
  return oculant::occlusionMask(view.depth, view.camera, other.depth, other.camera);
}

// What calib.txt says of a pair whose true disparities and left occlusion mask are known.
oculant::DisparityBounds boundsOf(const oculant::StereoCapture& pair,
                                  const std::vector<float>& left, const std::vector<float>& right,
                                  const std::vector<uint8_t>& leftMask) {
  return oculant::disparityBounds(
      left, right,
      oculant::verticalDisparity(pair.left.depth, pair.left.camera, pair.right.camera, leftMask));
}

bool writeCalibration(const fs::path& folder, const oculant::StereoCapture& pair,
                      const oculant::DisparityBounds& bounds, std::string* error) {
  return oculant::writeTextFile(
             (folder / "calib.txt").string(),
             oculant::middleburyCalibration(pair.left.camera, pair.right.camera, bounds), error) &&
         oculant::writeTextFile((folder / "calib.yml").string(),
                                oculant::openCvCalibration(pair.left.camera, pair.right.camera),
                                error);
}

bool writePngFrame(const fs::path& fileName, const oculant::Frame& frame, std::string* error) {
  if (writePng(fileName.string().c_str(), frame.pixels.data(), frame.width, frame.stride,
               frame.height)) {
    return true;
  }
  *error = "cannot write " + fileName.string();
  return false;
}

bool writeGreyMaps(const fs::path& folder, const char* eye, const oculant::Capture& capture,
                   const std::vector<uint8_t>& visible, std::string* error) {
  const int width = capture.colour.width;
  const int height = capture.colour.height;
  const fs::path mask = folder / (std::string("mask") + eye + "nocc.png");
  const fs::path ids = folder / (std::string("ids") + eye + ".png");
  if (!writeGreyPng(mask.string().c_str(), visible, width, height)) {
    *error = "cannot write " + mask.string();
    return false;
  }
  if (!writeGreyPng16(ids.string().c_str(), capture.objectIds.values, width, height)) {
    *error = "cannot write " + ids.string();
    return false;
  }
  return true;
}

// Writes one sample's folder. The disparity ranges widen low and high; *seen tells whether the
// left view holds any surface, as background pixels have no disparity.
bool writeSample(const fs::path& folder, const oculant::StereoCapture& pair,
                 const SampleLayout& layout, float* low, float* high, bool* seen,
                 std::string* error) {
  std::error_code failure;
  fs::create_directories(folder, failure);
  if (failure) {
    *error = "cannot make " + folder.string() + ": " + failure.message();
    return false;
  }
  const std::vector<float> left = disparityOf(pair.left, pair.right);
  const std::vector<float> right = disparityOf(pair.right, pair.left);
  *seen = false;
  for (const float value : left) {
    // Pixels that see nothing have +inf, no disparity.
    if (!std::isfinite(value)) continue;
    *low = std::min(*low, value);
    *high = std::max(*high, value);
    *seen = true;
  }
  const int width = pair.left.colour.width;
  const int height = pair.left.colour.height;
  const std::vector<uint8_t> leftMask = maskOf(pair.left, pair.right);
  const std::vector<uint8_t> rightMask = maskOf(pair.right, pair.left);
  const oculant::DisparityBounds bounds = boundsOf(pair, left, right, leftMask);
  return writePngFrame(folder / "im0.png", pair.left.colour, error) &&
         writePngFrame(folder / "im1.png", pair.right.colour, error) &&
         oculant::writePfm((folder / layout.disparity[0]).string(), width, height, left, error) &&
         oculant::writePfm((folder / layout.disparity[1]).string(), width, height, right, error) &&
         writeGreyMaps(folder, "0", pair.left, leftMask, error) &&
         writeGreyMaps(folder, "1", pair.right, rightMask, error) &&
         writeCalibration(folder, pair, bounds, error);
}

// The motion of each view to the next pose of the list: flow<eye>.flo and disp<eye>change.pfm.
bool writeMotion(const fs::path& folder, const oculant::StereoCapture& pair,
                 const oculant::StereoCapture& next, std::string* error) {
  const oculant::Capture* now[2] = {&pair.left, &pair.right};
  const oculant::Capture* then[2] = {&next.left, &next.right};
  for (int eye = 0; eye < 2; ++eye) {
    const int other = 1 - eye;
    const oculant::MotionTruth truth =
        oculant::motionTruth(now[eye]->depth, now[eye]->camera, now[other]->camera,
                             then[eye]->depth, then[eye]->camera, then[other]->camera);
    const std::string number = std::to_string(eye);
    if (!oculant::writeFlo((folder / ("flow" + number + ".flo")).string(), truth.flow, error) ||
        !oculant::writePfm((folder / ("disp" + number + "change.pfm")).string(),
                           now[eye]->depth.width, now[eye]->depth.height, truth.disparityChange,
                           error)) {
      return false;
    }
  }
  return true;
}

// A sample is written into a hidden folder beside its own and takes its name only once whole,
// so a recording cut short leaves no folder that looks like a sample and is not one.
bool placeSample(const fs::path& partial, const fs::path& folder, const SampleLayout& layout,
                 std::string* error) {
  std::error_code failure;
  if (fs::is_directory(folder)) {
    // Recording over a sample: its files are replaced, and others (an algorithm's results)
    // stay. Motion files the new sample has not (the list's last pose) go, as they were made
    // for a next pose that the list may no longer have.
    for (const std::string& name : sampleFiles(layout)) {
      if (!fs::exists(partial / name)) {
        fs::remove(folder / name, failure);
      } else {
        fs::rename(partial / name, folder / name, failure);
      }
      if (failure) break;
    }
    if (!failure) fs::remove(partial, failure);
  } else {
    fs::rename(partial, folder, failure);
  }
  if (failure) *error = "cannot name " + folder.string() + ": " + failure.message();
  return !failure;
}

// True when a line of the list goes on past x, y and heading.
bool setsAttitude(const std::vector<oculant::Pose>& poses) {
  return std::any_of(poses.begin(), poses.end(),
                     [](const oculant::Pose& pose) { return pose.hasAttitude(); });
}

// Every pose of the list under its sample's name: the same text in every shard, so that a copy
// of one shard's folder over another's keeps every sample's line. The cameras draw at exactly
// the pose asked (a capture fails otherwise), so the asked pose is the drawn one. A list that
// sets any height, pitch or roll has their columns, empty where a line leaves one out; a list
// of three columns gets the table it always had.
std::string poseTable(const std::vector<oculant::Pose>& poses) {
  const bool attitude = setsAttitude(poses);
  const auto column = [](double value) {
    return std::isnan(value) ? std::string() : oculant::exactNumber(value);
  };
  std::string table = attitude ? "sample,x,y,heading,height,pitch,roll\n" : "sample,x,y,heading\n";
  for (size_t index = 0; index < poses.size(); ++index) {
    const oculant::Pose& pose = poses[index];
    table += sampleName(index) + "," + oculant::exactNumber(pose.x) + "," +
             oculant::exactNumber(pose.y) + "," + oculant::exactNumber(pose.heading);
    if (attitude) {
      table += "," + column(pose.height) + "," + column(pose.pitch) + "," + column(pose.roll);
    }
    table += "\n";
  }
  return table;
}

// In a list that sets any height, pitch or roll, a line is level unless it says otherwise, at
// the height the rig had when the recording began; so every shard draws a line alike.
oculant::Pose completed(oculant::Pose pose, double startHeight) {
  if (std::isnan(pose.height)) pose.height = startHeight;
  if (std::isnan(pose.pitch)) pose.pitch = 0;
  if (std::isnan(pose.roll)) pose.roll = 0;
  return pose;
}

// A bar redrawn in place on a terminal; in a log, where that would run on, a line now and then.
void showProgress(size_t done, size_t total) {
  if (!standardErrorIsTerminal()) {
    if (done > 0 && (done % 10 == 0 || done == total)) {
      std::fprintf(stderr, "recording %zu/%zu\n", done, total);
    }
    return;
  }
  constexpr size_t kBarWidth = 30;
  const size_t filled = total == 0 ? kBarWidth : done * kBarWidth / total;
  std::fprintf(stderr, "\rrecording [%s%s] %zu/%zu", std::string(filled, '#').c_str(),
               std::string(kBarWidth - filled, '-').c_str(), done, total);
  if (done == total) std::fputc('\n', stderr);
  std::fflush(stderr);
}

// Ends a bar cut short, so a message after it starts on its own line.
void endProgressLine() {
  if (standardErrorIsTerminal()) std::fputc('\n', stderr);
}

// Sample folders beyond the new count, left by an earlier and longer recording.
void removeLeftOverSamples(const fs::path& outdir, size_t count) {
  for (size_t index = count; fs::is_directory(outdir / sampleName(index)); ++index) {
    const fs::path folder = outdir / sampleName(index);
    std::error_code ignored;
    for (const SampleLayout* layout : {&kOwnLayout, &kMiddleburyLayout}) {
      for (const std::string& name : sampleFiles(*layout)) fs::remove(folder / name, ignored);
    }
    fs::remove(folder, ignored);  // only when nothing else is in it
  }
}

bool readFile(const std::string& fileName, std::string* text) {
  std::ifstream file(fileName, std::ios::binary);
  if (!file) return false;
  std::ostringstream content;
  content << file.rdbuf();
  *text = content.str();
  return !file.bad();
}

// What one recording does besides the poses: where, which shard, in which layout, at which size.
struct Recording {
  fs::path outdir;
  ShardSelection shard;
  const SampleLayout* layout;
  int width;  // the rig's eye images
  int height;
};

// What the samples named so far add up to, for the progress and the closing report.
struct Tally {
  size_t done = 0;
  size_t total = 0;
  float low = 1e30f;  // the left views' disparities
  float high = 0;
  std::vector<std::string> blind;  // samples whose left view sees nothing
  std::string error;               // why the recording stopped
};

// One sample on its way: checked and written into its hidden folder on a worker while the
// bench draws the next ones, and given its name in the order of the list, so that a recording
// that stops leaves every sample before the failed one and none after it.
class SampleJob : public OrderedJob {
 public:
  using Shared = std::shared_ptr<const oculant::StereoCapture>;

  // next: the capture at the list's next pose, for the motion; null for the last pose.
  SampleJob(const Recording& recording, size_t index, Shared pair, Shared next, Tally* tally)
      : recording_(recording),
        name_(sampleName(index)),
        partial_(recording.outdir / ("." + name_ + ".partial")),
        pair_(std::move(pair)),
        next_(std::move(next)),
        tally_(tally) {}

  void work() override {
    std::string fault = sampleFault(*pair_, recording_.width, recording_.height);
    if (fault.empty() && next_ != nullptr) {
      fault = sampleFault(*next_, recording_.width, recording_.height);
      if (!fault.empty()) fault = "at the next pose, " + fault;
    }
    if (!fault.empty()) {
      error_ = "sample " + name_ + ": " + fault +
               "; the bench did not draw true ground truth, so the recording stops here";
    } else {
      written_ =
          writeSample(partial_, *pair_, *recording_.layout, &low_, &high_, &seen_, &error_) &&
          (next_ == nullptr || writeMotion(partial_, *pair_, *next_, &error_));
    }
    // Their memory is not held while the job waits its turn.
    pair_.reset();
    next_.reset();
  }

  bool finish() override {
    if (!written_ ||
        !placeSample(partial_, recording_.outdir / name_, *recording_.layout, &error_)) {
      discard();
      tally_->error = error_;
      return false;
    }
    tally_->low = std::min(tally_->low, low_);
    tally_->high = std::max(tally_->high, high_);
    if (!seen_) tally_->blind.push_back(name_);
    showProgress(++tally_->done, tally_->total);
    return true;
  }

  void discard() override {
    std::error_code ignored;
    fs::remove_all(partial_, ignored);
  }

 private:
  const Recording& recording_;
  const std::string name_;
  const fs::path partial_;
  Shared pair_;
  Shared next_;
  Tally* tally_;
  bool written_ = false;
  std::string error_;
  float low_ = 1e30f;
  float high_ = 0;
  bool seen_ = false;
};

// Sets the rig to the pose of the list in all three windows and captures both eyes at it; null,
// with error set, when that fails.
std::shared_ptr<const oculant::StereoCapture> captureAt(oculant::Client& client,
                                                        const std::vector<oculant::Pose>& poses,
                                                        size_t index, std::string* error) {
  const oculant::Pose& pose = poses[index];
  auto pair = std::make_shared<oculant::StereoCapture>();
  // The overview follows through the original messages (a whole pose where the line sets
  // more); the capture itself carries the pose to the cameras, so both frames are drawn at it
  // whatever else moves the rig.
  const bool moved = pose.hasAttitude() ? client.setPose(pose, true)
                                        : client.setPosition(pose.x, pose.y, true) &&
                                              client.setHeading(pose.heading, true);
  if (!moved || !client.captureStereo(pair.get(), &pose, true)) {
    *error = "sample " + sampleName(index) + ": " + client.error();
    return nullptr;
  }
  if (pair->left.colour.width == 0 || pair->left.colour.height == 0) {
    *error = "the cameras sent empty frames (are their windows minimised?)";
    return nullptr;
  }
  return pair;
}

// Visits every pose of the shard and writes its sample; the exit status. The bench draws a
// sample while the ones before it are written; *last gets the cameras of the last one drawn.
int recordPoses(oculant::Client& client, const std::vector<oculant::Pose>& poses,
                const Recording& recording, oculant::StereoCapture* last, Tally* tally) {
  const ShardSelection& shard = recording.shard;
  tally->total = shard.sizeOf(poses.size());
  showProgress(0, tally->total);
  std::string captureError;
  {
    // A few samples in hand at most: one a worker, one waiting for a worker, one being named.
    OrderedPipeline pipeline(workerCount(), workerCount() + 2);
    // The capture of the pose after the last sample's, for the motion: the next sample's own
    // when the shard holds it.
    size_t aheadIndex = poses.size();
    SampleJob::Shared ahead;
    for (size_t index = 0; index < poses.size(); ++index) {
      if (!shard.holds(index)) continue;
      SampleJob::Shared pair = index == aheadIndex ? ahead : nullptr;
      if (pair == nullptr) {
        pair = captureAt(client, poses, index, &captureError);
        if (pair == nullptr) break;
      }
      SampleJob::Shared next;
      if (index + 1 < poses.size()) {
        next = captureAt(client, poses, index + 1, &captureError);
        if (next == nullptr) break;
      }
      aheadIndex = index + 1;
      ahead = next;
      last->left.camera = pair->left.camera;
      last->right.camera = pair->right.camera;
      if (!pipeline.submit(std::make_unique<SampleJob>(recording, index, std::move(pair),
                                                       std::move(next), tally)) ||
          !pipeline.finishDone()) {
        break;
      }
    }
    // The samples before a failed capture are whole and keep their names, as they would have
    // had the recording stopped right there; a failed sample among them stops it first.
    if (!pipeline.finishAll()) captureError = tally->error;
  }
  if (!captureError.empty()) {
    endProgressLine();
    return fail(captureError);
  }
  return EXIT_SUCCESS;
}

}  // namespace

int record(const std::vector<std::string>& args) {
  std::vector<std::string> positional;
  bool overwrite = false;
  bool evaluate = false;
  std::string resultName;
  ShardSelection shard;
  const SampleLayout* layout = &kOwnLayout;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--overwrite") {
      overwrite = true;
    } else if (args[i] == "--evaluate") {
      evaluate = true;
    } else if (args[i] == "--result") {
      if (i + 1 >= args.size()) return usageError("--result needs a NAME", kRecordHelp);
      resultName = args[++i];
    } else if (args[i] == "--layout") {
      if (i + 1 >= args.size()) return usageError("--layout needs a NAME", kRecordHelp);
      if (args[++i] != "middlebury") {
        return usageError("unknown --layout " + args[i] + " (the one there is: middlebury)",
                          kRecordHelp);
      }
      layout = &kMiddleburyLayout;
    } else if (args[i] == "--shard") {
      std::string error;
      if (i + 1 >= args.size()) return usageError("--shard needs K/N", kRecordHelp);
      if (!parseShard(args[++i], &shard, &error)) return usageError(error, kRecordHelp);
    } else {
      positional.push_back(args[i]);
    }
  }
  if (evaluate) {
    if (overwrite || shard.count != 1 || layout != &kOwnLayout) {
      return usageError("--evaluate records nothing: no --overwrite, --shard or --layout",
                        kRecordHelp);
    }
    if (positional.size() != 1) return usageError("--evaluate needs one DATASET", kRecordHelp);
    // A name that reaches out of the sample folder would score some other file.
    if (resultName.find_first_of("/\\") != std::string::npos) {
      return usageError("--result takes a NAME, not a path", kRecordHelp);
    }
#ifndef OCULANT_HAVE_ZLIB
    return fail("this build has no PNG support, which --evaluate needs for the masks");
#else
    return evaluateDataset(positional[0], resultName.empty() ? "SGBM" : resultName);
#endif
  }
  if (!resultName.empty()) return usageError("--result goes with --evaluate", kRecordHelp);
  if (positional.size() != 2) return usageError("record needs POSES.csv and OUTDIR", kRecordHelp);
#ifndef OCULANT_HAVE_ZLIB
  (void)overwrite;
  return fail("this build has no PNG support, which record needs");
#else
  std::string text;
  if (!readFile(positional[0], &text)) return fail("cannot read " + positional[0]);
  std::vector<oculant::Pose> poses;
  std::string error;
  if (!parsePoseList(text, &poses, &error)) return fail(positional[0] + ": " + error);

  const fs::path outdir = positional[1];
  std::error_code failure;
  if (fs::exists(outdir) && !fs::is_directory(outdir)) {
    return fail(outdir.string() + " is not a folder");
  }
  const std::string table = poseTable(poses);
  std::vector<std::string> names;
  for (size_t index = 0; index < poses.size(); ++index) names.push_back(sampleName(index));
  if (fs::is_directory(outdir) && !overwrite &&
      !mayWriteWithoutOverwrite(outdir, shard, names, "poses.csv", table, &error)) {
    return fail(error);
  }
  // More shards than poses leave some with nothing to do, which is no failure of theirs.
  const size_t count = shard.sizeOf(poses.size());
  if (count == 0) {
    std::fprintf(stderr, "oculant-client: shard %zu/%zu takes none of the %zu poses\n",
                 shard.number, shard.count, poses.size());
    return EXIT_SUCCESS;
  }
  fs::create_directories(outdir, failure);
  if (failure) return fail("cannot make " + outdir.string() + ": " + failure.message());

  oculant::Client client;
  if (const int status = connect(client)) return status;
  oculant::CameraModel before;
  if (!client.describe(oculant::Eye::LEFT, &before)) return fail(client.error());
  // Whole or not at all: other shards may be reading it to compare with their own.
  const fs::path tableFile = outdir / "poses.csv";
  const FilePart part = {table.data(), table.size()};
  if (!replaceFile(tableFile.string().c_str(), &part, 1, &error)) {
    return fail("cannot write " + tableFile.string() + ": " + error);
  }
  oculant::StereoCapture pair;
  Tally tally;
  const Recording recording = {outdir, shard, layout, before.width, before.height};
  const bool whole = setsAttitude(poses);
  if (whole) {
    for (oculant::Pose& pose : poses) pose = completed(pose, before.pose.height);
  }
  const int status = recordPoses(client, poses, recording, &pair, &tally);
  // The user's view of the bench is as it was, whether the recording ended or failed.
  const oculant::Pose& pose = before.pose;
  if (client.ready()) {
    const bool back =
        whole || pose.pitch != 0 || pose.roll != 0
            ? client.setPose(pose, true)
            : client.setPosition(pose.x, pose.y, true) && client.setHeading(pose.heading, true);
    if (!back) {
      const int putBack = fail("cannot put the rig back: " + client.error());
      if (status == EXIT_SUCCESS) return putBack;
    }
  }
  if (status != EXIT_SUCCESS) return status;
  const std::vector<std::string>& blind = tally.blind;
  if (!blind.empty()) {
    std::string names;
    for (const std::string& name : blind) names += (names.empty() ? "" : ", ") + name;
    std::fprintf(stderr, "oculant-client: warning: the left camera sees nothing at sample%s %s\n",
                 blind.size() == 1 ? "" : "s", names.c_str());
  }
  if (overwrite) removeLeftOverSamples(outdir, poses.size());
  const oculant::CameraModel& camera = pair.left.camera;
  const std::string ofShard = shard.count == 1 ? "" : " of " + std::to_string(poses.size());
  std::printf("recorded %zu%s samples of %d x %d in %s\n", count, ofShard.c_str(), camera.width,
              camera.height, outdir.string().c_str());
  std::printf("focal length %.3f px, baseline %g, depth buffer %d bits\n", camera.focalLength,
              oculant::baselineOf(pair.left.camera, pair.right.camera), camera.depthBits);
  if (tally.high > 0) {
    std::printf("left-view disparity from %.3f to %.3f px\n", tally.low, tally.high);
  }
  return EXIT_SUCCESS;
#endif
}

int calibration(const std::vector<std::string>& original) {
  std::vector<std::string> args = original;
  const auto flag = std::find(args.begin(), args.end(), "--overwrite");
  const bool overwrite = flag != args.end();
  if (overwrite) args.erase(flag);
  if (args.size() != 1) return usageError("calibration needs OUTDIR", kCalibrationHelp);
  const fs::path outdir = args[0];
  for (const char* name : {"calib.yml", "calib.txt"}) {
    if (fs::exists(outdir / name) && !overwrite) {
      return fail((outdir / name).string() + " exists; --overwrite replaces it");
    }
  }
  oculant::Client client;
  if (const int status = connect(client)) return status;
  oculant::StereoCapture pair;
  if (!client.captureStereo(&pair)) return fail(client.error());
  std::error_code failure;
  fs::create_directories(outdir, failure);
  if (failure) return fail("cannot make " + outdir.string() + ": " + failure.message());
  const double baseline = oculant::baselineOf(pair.left.camera, pair.right.camera);
  const double focal = pair.left.camera.focalLength;
  std::string error;
  const oculant::DisparityBounds bounds =
      boundsOf(pair, disparityOf(pair.left, pair.right), disparityOf(pair.right, pair.left),
               maskOf(pair.left, pair.right));
  if (!writeCalibration(outdir, pair, bounds, &error)) return fail(error);
  const oculant::CameraModel& camera = pair.left.camera;
  std::printf("%d x %d, focal length %.6f px, principal point (%g, %g), baseline %g\n",
              camera.width, camera.height, focal, camera.centreX, camera.centreY, baseline);
  std::printf("rig at (%g, %g), heading %g degrees\n", camera.pose.x, camera.pose.y,
              camera.pose.heading);
  return EXIT_SUCCESS;
}
