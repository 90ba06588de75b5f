#include "app/command_line.h"

#include <cstdio>
#include <cstring>

namespace {

const char kHelp[] =
    "usage: oculant [--version | --help]\n"
    "\n"
    "The stereo bench. Start it without arguments in a folder that holds config.txt and the\n"
    "textures it names: the first start opens the scene overview and starts the left and\n"
    "right camera processes itself. Other arguments are ignored.\n"
    "\n"
    "Without DISPLAY and WAYLAND_DISPLAY it runs headless on SDL's offscreen driver and still\n"
    "serves frames to oculant-client and the client libraries.\n"
    "\n"
    "Exit status: 0 when the bench was closed, 1 when the start was refused or no window could\n"
    "be made.\n";

}  // namespace

bool answerCommandLine(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("oculant %s\n", OCULANT_VERSION);
      return true;
    }
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kHelp, stdout);
      return true;
    }
  }
  return false;
}
