#include "magick.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {
char scratchPath[] = "/tmp/oculant-image-test-XXXXXX";
}

std::string scratchDir() {
  // Made on first use and removed when the process exits; a plain array outlives every
  // static destructor, so the clean-up can still read it.
  static const bool made = [] {
    if (mkdtemp(scratchPath) == nullptr) std::abort();
    std::atexit([] { runCommand(std::string("rm -rf '") + scratchPath + "'"); });
    return true;
  }();
  (void)made;
  return scratchPath;
}

bool runCommand(const std::string& command) {
  return std::system(command.c_str()) == 0;
}

CommandRun runCapturing(const std::string& command) {
  CommandRun run;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    run.output.append(buffer, got);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

void writeFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writePpm(const std::string& path, const RgbImage& image) {
  const std::string head =
      "P6\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
  Bytes bytes(head.begin(), head.end());
  const size_t row = static_cast<size_t>(image.width) * 3;
  for (int y = image.height - 1; y >= 0; --y)
    bytes.insert(bytes.end(), image.rgb.begin() + y * row, image.rgb.begin() + (y + 1) * row);
  writeFile(path, bytes);
}

RgbImage magickRead(const std::string& path) {
  RgbImage image;
  const std::string raw = path + ".rgb";
  FILE* pipe = popen(("identify -format '%w %h' '" + path + "' 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return image;
  int width = 0, height = 0;
  const bool sized = std::fscanf(pipe, "%d %d", &width, &height) == 2;
  pclose(pipe);
  if (!sized || !runCommand("convert '" + path + "' -depth 8 'rgb:" + raw + "' 2>/dev/null"))
    return image;
  const Bytes topDown = readFile(raw);
  const size_t row = static_cast<size_t>(width) * 3;
  if (topDown.size() != row * height) return image;
  image.width = width;
  image.height = height;
  for (int y = height - 1; y >= 0; --y)
    image.rgb.insert(image.rgb.end(), topDown.begin() + y * row, topDown.begin() + (y + 1) * row);
  return image;
}
