#include "frame_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "image/bmp_writer.h"
#include "platform/console.h"
#include "png_writer.h"

#ifdef OCULANT_HAVE_ZLIB
const char* const kImageFormats = "bmp, png";
#else
const char* const kImageFormats = "bmp";
#endif

namespace {

std::string lowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

CaptureImage imageOf(const oculant::Frame& frame) {
  return {const_cast<uint8_t*>(frame.pixels.data()), frame.width, frame.stride, frame.height, 0};
}

bool writeToStandardOutput(const std::string& bytes, std::string* error) {
  makeStandardOutputBinary();
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
      std::fflush(stdout) == 0) {
    return true;
  }
  *error = std::string("cannot write to standard output: ") + std::strerror(errno);
  return false;
}

bool writeBmpFrame(const std::string& fileName, const oculant::Frame& frame, std::string* error) {
  const CaptureImage image = imageOf(frame);
  if (fileName != "-") {
    std::string reason;
    if (writeBmp(fileName.c_str(), image, &reason) == 0) return true;
    *error = "cannot write " + fileName + ": " + reason;
    return false;
  }
  uint8_t header[54];
  if (!bmpHeaders(image, header)) {
    *error = "the frame cannot be written as BMP";
    return false;
  }
  std::string bytes(reinterpret_cast<const char*>(header), sizeof header);
  bytes.append(reinterpret_cast<const char*>(frame.pixels.data()),
               static_cast<size_t>(frame.stride) * frame.height);
  return writeToStandardOutput(bytes, error);
}

#ifdef OCULANT_HAVE_ZLIB
bool writePngFrame(const std::string& fileName, const oculant::Frame& frame, std::string* error) {
  if (frame.width == 0 || frame.height == 0) {
    *error = "the frame is empty (is the camera window minimised?); PNG cannot hold it";
    return false;
  }
  if (fileName == "-") {
    const std::string bytes =
        encodePng(frame.pixels.data(), frame.width, frame.stride, frame.height);
    if (!bytes.empty()) return writeToStandardOutput(bytes, error);
  } else if (writePng(fileName.c_str(), frame.pixels.data(), frame.width, frame.stride,
                      frame.height)) {
    return true;
  }
  *error = "cannot write " + fileName;
  return false;
}
#endif

}  // namespace

ImageFormat formatNamed(const std::string& name) {
  const std::string lower = lowerCase(name);
  if (lower == "bmp") return ImageFormat::BMP;
  if (lower == "png") return ImageFormat::PNG;
  return ImageFormat::UNKNOWN;
}

ImageFormat formatOfFile(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || fileName.find_first_of("/\\", dot) != std::string::npos) {
    return ImageFormat::UNKNOWN;
  }
  return formatNamed(fileName.substr(dot + 1));
}

bool writeFrame(const std::string& fileName, ImageFormat format, const oculant::Frame& frame,
                std::string* error) {
  if (format == ImageFormat::BMP) return writeBmpFrame(fileName, frame, error);
#ifdef OCULANT_HAVE_ZLIB
  if (format == ImageFormat::PNG) return writePngFrame(fileName, frame, error);
#endif
  *error = std::string("this build writes only ") + kImageFormats;
  return false;
}
