// oculant-scene: shows a scene file as the bench will hold it, and warns about what the bench
// would accept without a word.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "generate_command.h"
#include "platform/platform.h"
#include "scene/scene_state.h"
#include "scene_check.h"

namespace {

const char kHelp[] =
    "usage: oculant-scene [--strict] [FILE] | --version\n"
    "       oculant-scene generate --seed S --objects N DIR [...]  (see generate --help)\n"
    "\n"
    "Reads FILE (default: config.txt) exactly as the bench reads its scene and prints it.\n"
    "\n"
    "stdout: a first line \"FILE: N objects\", then one line per object:\n"
    "  object N: kind=K (WHAT) X=.. Y=.. Z=.. WIDTH=.. HEIGHT=.. R=.. G=.. B=..\n"
    "            textured=0|1 file=\"NAME\" [ROTX=.. ROTY=.. ROTZ=..]\n"
    "  (the turn in degrees about x, then y, then z, given only for a turned object).\n"
    "  WHAT is slab or lattice, \"slab, untextured: sets the colour only\" for an object the\n"
    "  bench does not draw but whose R, G, B tint the textured objects after it, or nothing\n"
    "  for a kind other than 1 (slab) or 2 (lattice).\n"
    "  Then two lines with the stereo rig (CAMERA_WIDTH, CAMERA_HEIGHT, CAMERA_FOV,\n"
    "  RIG_BASELINE, RIG_EYE_HEIGHT, RIGHT_EYE_YAW, _PITCH, _ROLL, CAMERA_NOISE, _SEED):\n"
    "  rig: eye images W x H pixels, field of view .. degrees, baseline .., eye height ..\n"
    "  rig: right eye yaw .., pitch .., roll .. degrees; noise .. grey levels, seed ..\n"
    "  Numbers are printed with the fewest digits that give back the exact value held.\n"
    "stderr: one line \"warning: ...\" for each thing the bench accepts silently: keys nothing\n"
    "  reads (spaces around '=', OBJECT01_X, misspelt or lower-case keys, objects beyond ALL),\n"
    "  repeated keys, numbers that read as something else (\"1,5\" reads as 1), \"on\" for "
    "\"ON\",\n"
    "  ALL missing or above 30, objects that draw nothing, texture files that cannot be opened\n"
    "  or decoded (relative names are looked up next to FILE, where the bench runs), lattices\n"
    "  whose texture (object 2's) does not exist, cut keys and values, lines past the 1000th,\n"
    "  rig values that are no number or out of range (the bench uses the default instead).\n"
    "  Then one line \"note: ...\" for each texture whose sides are not powers of two: the\n"
    "  bench draws it with its image, a renderer limited to OpenGL 1.1 would not.\n"
    "\n"
    "Exit status: 0; with --strict, 1 when there were warnings (notes do not count); 2 when\n"
    "FILE cannot be read or the arguments are wrong.\n";

std::string folderOf(const std::string& path) {
#ifdef _WIN32
  const size_t slash = path.find_last_of("/\\");
  // A drive's root keeps its separator: "C:\\" and "C:" name different folders.
  if (slash == 2 && path[1] == ':') return path.substr(0, 3);
#else
  const size_t slash = path.rfind('/');
#endif
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "generate") == 0)
    return runGenerateCommand(argc - 1, argv + 1);
  bool strict = false;
  std::string fileName = "config.txt";
  bool fileGiven = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("oculant-scene %s\n", OCULANT_VERSION);
      return 0;
    }
    if (std::strcmp(argv[i], "--strict") == 0) {
      strict = true;
    } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
      std::fprintf(stderr, "oculant-scene: unknown option %s (see --help)\n", argv[i]);
      return 2;
    } else if (fileGiven) {
      std::fprintf(stderr, "oculant-scene: only one FILE may be given (see --help)\n");
      return 2;
    } else {
      fileName = argv[i];
      fileGiven = true;
    }
  }

  // Opened as the bench opens it, so a FIFO or device named as the scene never hangs the check.
  std::vector<uint8_t> bytes;
  const FileReadStatus status =
      readSceneFile(fileName.c_str(), 0, &bytes, nullptr, "oculant-scene");
  if (status == FileReadStatus::ABSENT) {
    std::fprintf(stderr, "oculant-scene: cannot open %s: %s\n", fileName.c_str(),
                 std::strerror(ENOENT));
  }
  if (status != FileReadStatus::OK) return 2;
  SceneReport report = checkSceneFile(fileName, folderOf(fileName));
  // One line per object the bench uses.
  std::printf("%s: %zu objects\n", fileName.c_str(), report.objectLines.size());
  for (const std::string& line : report.objectLines) std::printf("%s\n", line.c_str());
  for (const std::string& line : report.rigLines) std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  for (const std::string& warning : report.warnings)
    std::fprintf(stderr, "warning: %s\n", warning.c_str());
  for (const std::string& note : report.notes) std::fprintf(stderr, "note: %s\n", note.c_str());
  return strict && !report.warnings.empty() ? 1 : 0;
}
