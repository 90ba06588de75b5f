#include "oculant/stereo_files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "eye_projection.h"
#include "oculant/motion_truth.h"

namespace oculant {

std::string exactNumber(double value) {
  char text[32];
  for (int digits = 15; digits <= 17; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    if (std::strtod(text, nullptr) == value) break;
  }
  return text;
}

namespace {

constexpr float kFloTag = 202021.25f;

std::string number(double value) {
  return exactNumber(value);
}

std::string cameraMatrix(const CameraModel& camera, const char* rowSeparator) {
  return number(camera.focalLength) + " 0 " + number(camera.centreX) + rowSeparator + "0 " +
         number(camera.focalLength) + " " + number(camera.centreY) + rowSeparator + "0 0 1";
}

std::string openCvMatrix(int rows, int cols, const std::string& values) {
  return std::string("!!opencv-matrix\n   rows: ") + std::to_string(rows) +
         "\n   cols: " + std::to_string(cols) + "\n   dt: d\n   data: [ " + values + " ]\n";
}

std::string openCvCameraMatrix(const CameraModel& camera) {
  const std::string f = number(camera.focalLength);
  return openCvMatrix(3, 3,
                      f + ", 0., " + number(camera.centreX) + ", 0., " + f + ", " +
                          number(camera.centreY) + ", 0., 0., 1.");
}

// A computed number, whose zeros may come out negative: never "-0".
std::string signedNumber(double value) {
  return number(value + 0.0);
}

// A number as OpenCV writes a double: "1." and "0." rather than "1" and "0"; never "-0".
std::string openCvNumber(double value) {
  std::string text = signedNumber(value);
  if (text.find_first_of(".einIN") == std::string::npos) text += ".";
  return text;
}

// As stereo calibration states it: a point p in the left camera's frame lies at R p + T in the
// right camera's. Each eye stands at (eyeOffset, 0, 0) in the rig, turned by its rotation.
struct Extrinsics {
  double R[9];
  double T[3];
};

Extrinsics extrinsicsOf(const CameraModel& left, const CameraModel& right) {
  Extrinsics result = {};
  const double* a = left.rotation;
  const double* b = right.rotation;
  const double between[3] = {left.eyeOffset - right.eyeOffset, right.eyeHeight - left.eyeHeight, 0};
  for (int row = 0; row < 3; ++row) {
    // Row `row` of the right rotation's transpose is its column `row`.
    for (int column = 0; column < 3; ++column) {
      result.R[row * 3 + column] =
          b[row] * a[column] + b[3 + row] * a[3 + column] + b[6 + row] * a[6 + column];
    }
    result.T[row] = b[row] * between[0] + b[3 + row] * between[1] + b[6 + row] * between[2];
  }
  return result;
}

std::string joined(const double* values, int count, const char* separator,
                   std::string (*format)(double)) {
  std::string text;
  for (int i = 0; i < count; ++i) text += (i > 0 ? separator : "") + format(values[i]);
  return text;
}

bool failWith(const std::string& fileName, std::FILE* file, std::string* error) {
  const int code = errno;
  if (file != nullptr) std::fclose(file);
  std::remove(fileName.c_str());
  if (error != nullptr) *error = "cannot write " + fileName + ": " + std::strerror(code);
  return false;
}

// The count a reader passes when the header was not of its format.
constexpr size_t kNotTheFormat = SIZE_MAX;

// Reads count floats after a header and closes the file; false, with error naming the file and
// what is wrong, when the header was not the format's or the values end early.
bool readValuesAndClose(std::FILE* file, const std::string& fileName, size_t count,
                        const char* format, std::vector<float>* values, std::string* error) {
  const bool fits = count != kNotTheFormat;
  if (fits) values->resize(count);
  const bool complete = fits && std::fread(values->data(), sizeof(float), count, file) == count;
  std::fclose(file);
  if (!complete && error != nullptr) {
    *error = fileName + (fits ? ": the values end early" : std::string(": not ") + format);
  }
  return complete;
}

}  // namespace

bool writePfm(const std::string& fileName, int width, int height, const std::vector<float>& values,
              std::string* error) {
  if (width <= 0 || height <= 0 || values.size() < static_cast<size_t>(width) * height) {
    if (error != nullptr) *error = "no disparity to write to " + fileName;
    return false;
  }
  std::FILE* file = std::fopen(fileName.c_str(), "wb");
  if (file == nullptr) return failWith(fileName, nullptr, error);
  // The values lie in memory little-endian, which scale -1.0 declares.
  const size_t count = static_cast<size_t>(width) * height;
  const bool written = std::fprintf(file, "Pf\n%d %d\n-1.0\n", width, height) > 0 &&
                       std::fwrite(values.data(), sizeof(float), count, file) == count;
  if (!written) return failWith(fileName, file, error);
  if (std::fclose(file) != 0) return failWith(fileName, nullptr, error);
  return true;
}

bool readPfm(const std::string& fileName, int* width, int* height, std::vector<float>* values,
             std::string* error) {
  std::FILE* file = std::fopen(fileName.c_str(), "rb");
  if (file == nullptr) {
    if (error != nullptr) *error = "cannot read " + fileName + ": " + std::strerror(errno);
    return false;
  }
  // "Pf", the width, the height and the scale, each ended by white space; one byte of it
  // after the scale, then the values.
  char magic[3] = {};
  int w = 0;
  int h = 0;
  double scale = 0;
  const bool header = std::fscanf(file, "%2s %d %d %lf", magic, &w, &h, &scale) == 4 &&
                      std::isspace(std::fgetc(file));
  const bool fits = header && std::string(magic) == "Pf" && w > 0 && h > 0 && w <= 65536 &&
                    h <= 65536 && scale != 0 && std::isfinite(scale);
  std::vector<float> read;
  const size_t count = fits ? static_cast<size_t>(w) * h : kNotTheFormat;
  if (!readValuesAndClose(file, fileName, count, "a greyscale PFM file", &read, error)) {
    return false;
  }
  // A negative scale declares little-endian values, a positive one big-endian.
  const uint16_t probe = 1;
  const bool littleEndianHost = *reinterpret_cast<const uint8_t*>(&probe) == 1;
  if ((scale < 0) != littleEndianHost) {
    for (float& value : read) {
      uint8_t bytes[4];
      std::memcpy(bytes, &value, 4);
      std::swap(bytes[0], bytes[3]);
      std::swap(bytes[1], bytes[2]);
      std::memcpy(&value, bytes, 4);
    }
  }
  *width = w;
  *height = h;
  *values = std::move(read);
  return true;
}

bool writeFlo(const std::string& fileName, const FlowField& flow, std::string* error) {
  const size_t count = 2 * static_cast<size_t>(flow.width > 0 ? flow.width : 0) *
                       static_cast<size_t>(flow.height > 0 ? flow.height : 0);
  if (count == 0 || flow.values.size() < count) {
    if (error != nullptr) *error = "no flow to write to " + fileName;
    return false;
  }
  std::FILE* file = std::fopen(fileName.c_str(), "wb");
  if (file == nullptr) return failWith(fileName, nullptr, error);
  // The tag is "PIEH" read as a little-endian float; the sizes and values follow as they lie
  // in memory, little-endian as the format wants them.
  const int32_t size[2] = {flow.width, flow.height};
  const bool written = std::fwrite(&kFloTag, sizeof kFloTag, 1, file) == 1 &&
                       std::fwrite(size, sizeof size[0], 2, file) == 2 &&
                       std::fwrite(flow.values.data(), sizeof(float), count, file) == count;
  if (!written) return failWith(fileName, file, error);
  if (std::fclose(file) != 0) return failWith(fileName, nullptr, error);
  return true;
}

bool readFlo(const std::string& fileName, FlowField* flow, std::string* error) {
  std::FILE* file = std::fopen(fileName.c_str(), "rb");
  if (file == nullptr) {
    if (error != nullptr) *error = "cannot read " + fileName + ": " + std::strerror(errno);
    return false;
  }
  float tag = 0;
  int32_t size[2] = {};
  const bool header =
      std::fread(&tag, sizeof tag, 1, file) == 1 && std::fread(size, sizeof size[0], 2, file) == 2;
  const bool fits = header && tag == kFloTag && size[0] > 0 && size[1] > 0 && size[0] <= 65536 &&
                    size[1] <= 65536;
  std::vector<float> read;
  const size_t count = fits ? 2 * static_cast<size_t>(size[0]) * size[1] : kNotTheFormat;
  if (!readValuesAndClose(file, fileName, count, "a .flo file", &read, error)) return false;
  flow->width = size[0];
  flow->height = size[1];
  flow->values = std::move(read);
  return true;
}

int disparityLevels(const std::vector<float>& disparity) {
  float largest = 0;
  for (const float value : disparity) {
    if (std::isfinite(value) && value > largest) largest = value;
  }
  const int levels = static_cast<int>(std::floor(largest)) + 1;
  return (levels + 15) / 16 * 16;
}

VerticalDisparity verticalDisparity(const DepthMap& depth, const CameraModel& camera,
                                    const CameraModel& other, const std::vector<uint8_t>& mask) {
  VerticalDisparity result;
  const size_t count = static_cast<size_t>(depth.width) * static_cast<size_t>(depth.height);
  if (rectifiedPair(camera, other) || depth.width <= 0 || depth.height <= 0 ||
      mask.size() != count || depth.values.size() != count) {
    return result;
  }
  double sum = 0;
  size_t seen = 0;
  const EyeToEye toOther(camera, other);
  for (int y = 0; y < depth.height; ++y) {
    // The mask is laid out as the depth, bottom row first; y counts from the top.
    const size_t rowStart = static_cast<size_t>(depth.height - 1 - y) * depth.width;
    for (int x = 0; x < depth.width; ++x) {
      if (mask[rowStart + x] != kMaskVisible) continue;
      EyePoint point;
      if (!toOther.project(x, y, depth.values[rowStart + x], &point)) continue;
      const double offset = std::abs(point.y - y);
      sum += offset;
      result.largest = std::max(result.largest, offset);
      ++seen;
    }
  }
  if (seen > 0) result.average = sum / static_cast<double>(seen);
  return result;
}

DisparityBounds disparityBounds(const std::vector<float>& left, const std::vector<float>& right,
                                const VerticalDisparity& vertical) {
  DisparityBounds bounds;
  bounds.ndisp = std::max(disparityLevels(left), disparityLevels(right));
  bounds.vertical = vertical;
  float low = std::numeric_limits<float>::infinity();
  float high = -std::numeric_limits<float>::infinity();
  for (const std::vector<float>* view : {&left, &right}) {
    for (const float value : *view) {
      if (!std::isfinite(value)) continue;
      low = std::min(low, value);
      high = std::max(high, value);
    }
  }
  if (low <= high) {
    bounds.vmin = static_cast<int>(std::floor(low));
    bounds.vmax = static_cast<int>(std::ceil(high));
  }
  return bounds;
}

namespace {

// A pitched or rolled rig's attitude; a level rig's file is as it always was.
std::string rigAttitudeLines(const Pose& pose) {
  if (pose.pitch == 0 && pose.roll == 0) return "";
  return "rig_pitch_degrees: " + number(pose.pitch) + "\n" +
         "rig_roll_degrees: " + number(pose.roll) + "\n";
}

}  // namespace

std::string openCvCalibration(const CameraModel& left, const CameraModel& right) {
  const double baseline = baselineOf(left, right);
  const Extrinsics extrinsics = extrinsicsOf(left, right);
  return "%YAML:1.0\n---\n"
         "image_width: " +
         std::to_string(left.width) + "\n" + "image_height: " + std::to_string(left.height) + "\n" +
         "camera_matrix_left: " + openCvCameraMatrix(left) +
         "distortion_left: " + openCvMatrix(1, 5, "0., 0., 0., 0., 0.") +
         "camera_matrix_right: " + openCvCameraMatrix(right) +
         "distortion_right: " + openCvMatrix(1, 5, "0., 0., 0., 0., 0.") +
         "R: " + openCvMatrix(3, 3, joined(extrinsics.R, 9, ", ", openCvNumber)) +
         "T: " + openCvMatrix(3, 1, joined(extrinsics.T, 3, ", ", openCvNumber)) +
         "baseline: " + number(baseline) + "\n" + "rig_x: " + number(left.pose.x) + "\n" +
         "rig_y: " + number(left.pose.y) + "\n" +
         "rig_heading_degrees: " + number(left.pose.heading) + "\n" +
         "eye_height: " + number(left.eyeHeight) + "\n" +
         "right_eye_yaw_degrees: " + number(right.yaw) + "\n" +
         "right_eye_pitch_degrees: " + number(right.pitch) + "\n" +
         "right_eye_roll_degrees: " + number(right.roll) + "\n" + rigAttitudeLines(left.pose);
}

std::string middleburyCalibration(const CameraModel& left, const CameraModel& right,
                                  const DisparityBounds& bounds) {
  std::string text =
      "cam0=[" + cameraMatrix(left, "; ") + "]\n" + "cam1=[" + cameraMatrix(right, "; ") + "]\n" +
      "doffs=" + number(right.centreX - left.centreX) + "\n" +
      "baseline=" + number(baselineOf(left, right)) + "\n" + "width=" + std::to_string(left.width) +
      "\n" + "height=" + std::to_string(left.height) + "\n" +
      "ndisp=" + std::to_string(bounds.ndisp) + "\n" + "isint=0\n" +
      "vmin=" + std::to_string(bounds.vmin) + "\n" + "vmax=" + std::to_string(bounds.vmax) + "\n" +
      "dyavg=" + number(bounds.vertical.average) + "\n" +
      "dymax=" + number(bounds.vertical.largest) + "\n";
  // The format knows rectified pairs only; a pair that is not gets its extrinsics beside.
  if (!rectifiedPair(left, right)) {
    const Extrinsics extrinsics = extrinsicsOf(left, right);
    const double* r = extrinsics.R;
    text += "R=[" + joined(r, 3, " ", signedNumber) + "; " + joined(r + 3, 3, " ", signedNumber) +
            "; " + joined(r + 6, 3, " ", signedNumber) + "]\n" + "T=[" +
            joined(extrinsics.T, 3, " ", signedNumber) + "]\n";
  }
  return text;
}

bool writeTextFile(const std::string& fileName, const std::string& text, std::string* error) {
  std::FILE* file = std::fopen(fileName.c_str(), "wb");
  if (file == nullptr) return failWith(fileName, nullptr, error);
  if (std::fwrite(text.data(), 1, text.size(), file) != text.size()) {
    return failWith(fileName, file, error);
  }
  if (std::fclose(file) != 0) return failWith(fileName, nullptr, error);
  return true;
}

}  // namespace oculant
