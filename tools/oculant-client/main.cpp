// oculant-client: fetch frames from a running bench and steer it from the command line.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "frame_output.h"
#include "oculant/client.h"
#include "record.h"
#include "tool_status.h"

namespace {

const char* const kUsage =
    "usage: oculant-client COMMAND [ARGS]\n"
#ifdef _WIN32
    "Talks to the stereo bench running on this desktop (its windows of class oculant,\n"
    "oculant1 and oculant2).\n"
#else
    "Talks to the stereo bench running in this user's runtime folder\n"
    "($OCULANT_RUNTIME_DIR, else $XDG_RUNTIME_DIR/oculant, else /tmp/oculant-<uid>).\n"
#endif
    "\n"
    "commands:\n"
    "  grab left|right|both -o FILE  save camera frames as .bmp or .png files\n"
    "  save                          make both cameras write image1.bmp and image2.bmp\n"
    "  heading DEG [--scene]         turn the rig to DEG degrees\n"
    "  rig X Y [--scene]             move the rig to (X, Y)\n"
    "  pose X Y HEADING [--height H] [--pitch P] [--roll R] [--scene]\n"
    "                                set the rig's whole pose\n"
    "  quit [--cameras]              end the bench (or only its two camera windows)\n"
    "  record POSES.csv OUTDIR       record stereo samples with true disparity at each pose\n"
    "  record --evaluate DATASET     score a stereo algorithm's results in a recorded dataset\n"
    "  calibration OUTDIR            write the camera pair's calibration (YAML, calib.txt)\n"
    "  wait                          wait until all three windows of a bench answer\n"
    "  version                       print this tool's and the running bench's versions\n"
    "\n"
    "options:\n"
    "  --timeout SECONDS             wait at most this long for each window to answer\n"
    "                                (default 10); a window that does not is reported\n"
    "  --version                     print the version and end\n"
    "\n"
    "Each command takes --help. Exit status: 0 done, 1 failed (no bench running, or a\n"
    "window that runs did not handle the command), 2 wrong arguments.\n";

struct Command {
  const char* name;
  const char* help;
  int (*run)(const std::vector<std::string>& args);
};

// A finite number, the whole of text: "nan", "1e400" and "2x" are none.
bool parseNumber(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  *value = std::strtod(text.c_str(), &end);
  return *end == '\0' && std::isfinite(*value);
}

// Parses each of texts into values; else a usage error naming the first that is no number.
int parseNumbers(const std::vector<std::string>& texts, double* values, const char* help) {
  for (size_t i = 0; i < texts.size(); ++i) {
    if (!parseNumber(texts[i], &values[i])) {
      return usageError("'" + texts[i] + "' is not a finite number", help);
    }
  }
  return 0;
}

// "out.png" -> "out-left.png"
std::string sideName(const std::string& fileName, const char* side) {
#ifdef _WIN32
  const size_t slash = fileName.find_last_of("/\\");
#else
  const size_t slash = fileName.rfind('/');
#endif
  size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    dot = fileName.size();
  }
  return fileName.substr(0, dot) + "-" + side + fileName.substr(dot);
}

const char* const kGrabHelp =
    "usage: oculant-client grab left|right|both -o FILE\n"
    "       oculant-client grab left|right -o - --format bmp|png\n"
    "Fetches the current frame of a camera window and writes it to FILE, a 24-bit BMP or a\n"
    "PNG as FILE's extension says (.bmp or .png, in any case; others are refused). With\n"
    "both, the left and right frames go to FILE with -left and -right before its extension\n"
    "(pair.png -> pair-left.png, pair-right.png). With -o -, the frame goes to standard\n"
    "output in the format --format names, which is then required.\n";

int grab(const std::vector<std::string>& args) {
  std::string eye;
  std::string output;
  std::string formatName;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o" || args[i] == "--output" || args[i] == "--format") {
      if (i + 1 >= args.size()) return usageError(args[i] + " needs a value", kGrabHelp);
      (args[i] == "--format" ? formatName : output) = args[i + 1];
      ++i;
    } else if (eye.empty()) {
      eye = args[i];
    } else {
      return usageError("unexpected argument '" + args[i] + "'", kGrabHelp);
    }
  }
  if (eye != "left" && eye != "right" && eye != "both") {
    return usageError("grab needs left, right or both", kGrabHelp);
  }
  if (output.empty()) return usageError("grab needs -o FILE", kGrabHelp);
  const bool toStandardOutput = output == "-";
  if (toStandardOutput && eye == "both") {
    return usageError("standard output takes one frame: grab left or right", kGrabHelp);
  }
  if (toStandardOutput && formatName.empty()) {
    return usageError(std::string("-o - needs --format (") + kImageFormats + ")", kGrabHelp);
  }
  const ImageFormat format = toStandardOutput ? formatNamed(formatName) : formatOfFile(output);
  if (format == ImageFormat::UNKNOWN) {
    return usageError("'" + (toStandardOutput ? formatName : output) +
                          "' names no format this tool writes (" + kImageFormats + ")",
                      kGrabHelp);
  }
  if (!formatName.empty() && formatNamed(formatName) != format) {
    return usageError("--format " + formatName + " does not match " + output, kGrabHelp);
  }
  oculant::Client client;
  if (const int status = connect(client)) return status;
  std::vector<std::pair<oculant::Eye, std::string>> jobs;
  if (eye == "left" || eye == "right") {
    jobs.emplace_back(eye == "left" ? oculant::Eye::LEFT : oculant::Eye::RIGHT, output);
  } else {
    jobs.emplace_back(oculant::Eye::LEFT, sideName(output, "left"));
    jobs.emplace_back(oculant::Eye::RIGHT, sideName(output, "right"));
  }
  oculant::Frame frame;
  for (const auto& job : jobs) {
    if (!client.grab(job.first, &frame)) return fail(client.error());
    std::string error;
    if (!writeFrame(job.second, format, frame, &error)) return fail(error);
    // Standard output holds the image itself; the summary goes with the messages.
    std::fprintf(toStandardOutput ? stderr : stdout, "%s: %d x %d\n", job.second.c_str(),
                 frame.width, frame.height);
  }
  return EXIT_SUCCESS;
}

const char* const kSaveHelp =
    "usage: oculant-client save\n"
    "Makes the left and right camera write their frames as image1.bmp and image2.bmp in\n"
    "the folder the bench runs in.\n";

int save(const std::vector<std::string>& args) {
  if (!args.empty()) return usageError("save takes no arguments", kSaveHelp);
  oculant::Client client;
  if (const int status = connect(client)) return status;
  return client.saveFrames() ? EXIT_SUCCESS : fail(client.error());
}

const char* const kHeadingHelp =
    "usage: oculant-client heading DEG [--scene]\n"
    "Turns the rig to DEG degrees in both camera windows; with --scene, the scene window's\n"
    "rig turns too.\n";

// Splits off a trailing flag; true when it was there.
bool takeFlag(std::vector<std::string>* args, const char* flag) {
  for (auto it = args->begin(); it != args->end(); ++it) {
    if (*it == flag) {
      args->erase(it);
      return true;
    }
  }
  return false;
}

int heading(const std::vector<std::string>& original) {
  std::vector<std::string> args = original;
  const bool scene = takeFlag(&args, "--scene");
  double degrees = 0;
  if (args.size() != 1) return usageError("heading needs one number", kHeadingHelp);
  if (const int status = parseNumbers(args, &degrees, kHeadingHelp)) return status;
  oculant::Client client;
  if (const int status = connect(client)) return status;
  return client.setHeading(degrees, scene) ? EXIT_SUCCESS : fail(client.error());
}

const char* const kRigHelp =
    "usage: oculant-client rig X Y [--scene]\n"
    "Moves the rig to (X, Y) in both camera windows; with --scene, the scene window's rig\n"
    "moves too.\n";

int rig(const std::vector<std::string>& original) {
  std::vector<std::string> args = original;
  const bool scene = takeFlag(&args, "--scene");
  double xy[2] = {0, 0};
  if (args.size() != 2) return usageError("rig needs two numbers", kRigHelp);
  if (const int status = parseNumbers(args, xy, kRigHelp)) return status;
  oculant::Client client;
  if (const int status = connect(client)) return status;
  return client.setPosition(xy[0], xy[1], scene) ? EXIT_SUCCESS : fail(client.error());
}

const char* const kPoseHelp =
    "usage: oculant-client pose X Y HEADING [--height H] [--pitch P] [--roll R] [--scene]\n"
    "Sets the rig's whole pose in both camera windows: it stands at (X, Y) looking along\n"
    "HEADING degrees, its eyes at height H, pitched by P degrees (+ looks up) about its own\n"
    "right axis, then rolled by R degrees (+ clockwise seen from behind) about its viewing\n"
    "axis. What is left out stays as the rig holds it. With --scene, the scene window's rig\n"
    "takes it too.\n";

// Takes "--name VALUE" out of the arguments into *value; a usage error when VALUE is no number.
int takeOption(std::vector<std::string>* args, const char* name, double* value) {
  for (size_t i = 0; i < args->size(); ++i) {
    if ((*args)[i] != name) continue;
    if (i + 1 >= args->size()) {
      return usageError(std::string(name) + " needs a number", kPoseHelp);
    }
    if (const int status = parseNumbers({(*args)[i + 1]}, value, kPoseHelp)) return status;
    args->erase(args->begin() + i, args->begin() + i + 2);
    return 0;
  }
  return 0;
}

int pose(const std::vector<std::string>& original) {
  std::vector<std::string> args = original;
  const bool scene = takeFlag(&args, "--scene");
  oculant::Pose pose;
  for (const auto& option :
       {std::make_pair("--height", &pose.height), std::make_pair("--pitch", &pose.pitch),
        std::make_pair("--roll", &pose.roll)}) {
    if (const int status = takeOption(&args, option.first, option.second)) return status;
  }
  double xyHeading[3] = {0, 0, 0};
  if (args.size() != 3) return usageError("pose needs X, Y and HEADING", kPoseHelp);
  if (const int status = parseNumbers(args, xyHeading, kPoseHelp)) return status;
  pose.x = xyHeading[0];
  pose.y = xyHeading[1];
  pose.heading = xyHeading[2];
  oculant::Client client;
  if (const int status = connect(client)) return status;
  return client.setPose(pose, scene) ? EXIT_SUCCESS : fail(client.error());
}

const char* const kQuitHelp =
    "usage: oculant-client quit [--cameras]\n"
    "Closes the scene window, which ends the whole bench; with --cameras, closes only the\n"
    "two camera windows and leaves the scene window running.\n";

int quit(const std::vector<std::string>& original) {
  std::vector<std::string> args = original;
  const bool camerasOnly = takeFlag(&args, "--cameras");
  if (!args.empty()) return usageError("unexpected argument '" + args[0] + "'", kQuitHelp);
  oculant::Client client;
  if (const int status = connect(client)) return status;
  return client.quit(camerasOnly) ? EXIT_SUCCESS : fail(client.error());
}

const char* const kWaitHelp =
    "usage: oculant-client wait [--timeout SECONDS]\n"
    "Waits until the scene window and both camera windows of a bench answer (a bench just\n"
    "started), at most --timeout seconds in all (default 10). Exit status 0 as soon as all\n"
    "three answer, 1 at the time-out with a line naming the windows that did not.\n";

int waitForBench(const std::vector<std::string>& args) {
  if (!args.empty()) return usageError("unexpected argument '" + args[0] + "'", kWaitHelp);
  oculant::Client client;
  if (!client.ready()) return fail(client.error());
  return client.waitForBench(toolTimeoutSeconds) ? EXIT_SUCCESS : fail(client.error());
}

const char* const kVersionHelp =
    "usage: oculant-client version\n"
    "Prints this tool's version and protocol, then the running bench's, as the bench says\n"
    "them. Exit status 1 when no bench runs, or when it speaks another protocol.\n";

int version(const std::vector<std::string>& args) {
  if (!args.empty()) return usageError("unexpected argument '" + args[0] + "'", kVersionHelp);
  std::printf("oculant-client %s (protocol %u)\n", OCULANT_VERSION, oculant::protocolVersion());
  oculant::Client client;
  if (const int status = connect(client)) return status;
  oculant::BenchVersion bench;
  if (!client.benchVersion(&bench)) return fail(client.error());
  std::printf("bench %s (protocol %u)\n", bench.version.c_str(), bench.protocol);
  return EXIT_SUCCESS;
}

const Command kCommands[] = {
    {"grab", kGrabHelp, grab},          {"save", kSaveHelp, save},
    {"heading", kHeadingHelp, heading}, {"rig", kRigHelp, rig},
    {"pose", kPoseHelp, pose},          {"quit", kQuitHelp, quit},
    {"record", kRecordHelp, record},    {"calibration", kCalibrationHelp, calibration},
    {"wait", kWaitHelp, waitForBench},  {"version", kVersionHelp, version},
};

// Takes --timeout SECONDS out of the arguments; false when its value is no positive number.
bool takeTimeout(std::vector<std::string>* args) {
  for (size_t i = 0; i < args->size(); ++i) {
    if ((*args)[i] != "--timeout") continue;
    double seconds = 0;
    if (i + 1 >= args->size() || !parseNumber((*args)[i + 1], &seconds) || !(seconds > 0)) {
      return false;
    }
    toolTimeoutSeconds = seconds;
    args->erase(args->begin() + i, args->begin() + i + 2);
    return true;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> all(argv + 1, argv + argc);
  if (!takeTimeout(&all)) {
    std::fprintf(stderr, "oculant-client: --timeout needs a number of seconds above 0\n%s", kUsage);
    return EXIT_USAGE;
  }
  if (all.empty()) {
    std::fputs(kUsage, stderr);
    return EXIT_USAGE;
  }
  const std::string name = all[0];
  if (name == "--help" || name == "-h" || name == "help") {
    std::fputs(kUsage, stdout);
    return EXIT_SUCCESS;
  }
  if (name == "--version") {
    std::printf("oculant-client %s\n", OCULANT_VERSION);
    return EXIT_SUCCESS;
  }
  for (const Command& command : kCommands) {
    if (name != command.name) continue;
    std::vector<std::string> args(all.begin() + 1, all.end());
    for (const std::string& arg : args) {
      if (arg == "--help" || arg == "-h") {
        std::fputs(command.help, stdout);
        return EXIT_SUCCESS;
      }
    }
    return command.run(args);
  }
  std::fprintf(stderr, "oculant-client: unknown command '%s'\n%s", name.c_str(), kUsage);
  return EXIT_USAGE;
}
