// The client's side of the ground-truth messages (docs/protocol.md, "Extensions").
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "exchange.h"
#include "oculant/client.h"
#include "pose_record.h"
#include "window_names.h"
#include "wire/envelope.h"
#include "wire/extension_messages.h"

namespace oculant {
namespace {

constexpr double kKeep = std::numeric_limits<double>::quiet_NaN();

// A capture or description under way, which its replies fill.
struct PendingCapture {
  int role = 0;
  Capture* capture = nullptr;  // null while only a camera model is asked for
  CameraModel* camera = nullptr;
  bool wantIds = false;
  bool haveInfo = false;
  bool haveColour = false;
  bool haveDepth = false;
  bool haveIds = false;
};

bool saneInfo(const CameraInfo& info) {
  const uint64_t width = static_cast<uint32_t>(info.width);
  const uint64_t height = static_cast<uint32_t>(info.height);
  return info.version >= 1 && info.width >= 0 && info.height >= 0 && info.width <= 65536 &&
         info.height <= 65536 && info.stride == strideForWidth(info.width) &&
         static_cast<uint64_t>(info.stride) * height <= kMaxPayload &&
         width * height * sizeof(float) <= kMaxPayload;
}

CameraModel modelOf(const CameraInfo& info) {
  CameraModel model;
  model.width = info.width;
  model.height = info.height;
  model.focalLength = info.focalLength;
  model.centreX = info.centreX;
  model.centreY = info.centreY;
  model.eyeOffset = info.eyeOffset;
  model.nearPlane = info.nearPlane;
  model.farPlane = info.farPlane;
  model.depthBits = info.depthBits;
  model.pose = {info.pose.rigX, info.pose.rigY, info.pose.heading, model.eyeHeight, 0, 0};
  // Version 1 says the rest by leaving it out: eyes at 0.2, parallel, no noise; version 2 a
  // level rig.
  if (info.version >= 3) {
    model.pose.pitch = info.rigPitch;
    model.pose.roll = info.rigRoll;
  }
  if (info.version >= 2) {
    model.pose.height = info.eyeHeight;
    model.eyeHeight = info.eyeHeight;
    model.yaw = info.eyeYaw;
    model.pitch = info.eyePitch;
    model.roll = info.eyeRoll;
    std::memcpy(model.rotation, info.rotation, sizeof model.rotation);
    model.noise = info.noise;
    model.noiseSeed = info.noiseSeed;
  }
  return model;
}

// Version 1 is the first 96 bytes of the record, and a later version only appends; fields a
// version does not have read as 0 here and are not used.
void takeInfo(PendingCapture& pending, const Reply& data) {
  if (data.length < kCameraInfoV1Size) return;
  CameraInfo info = {};
  std::memcpy(&info, data.data, std::min<uint64_t>(data.length, sizeof info));
  const uint64_t needed = info.version == 1   ? kCameraInfoV1Size
                          : info.version == 2 ? kCameraInfoV2Size
                                              : sizeof info;
  if (!saneInfo(info) || data.length < needed) return;
  *pending.camera = modelOf(info);
  if (pending.capture != nullptr) {
    Frame& colour = pending.capture->colour;
    colour.width = info.width;
    colour.stride = info.stride;
    colour.height = info.height;
    pending.capture->depth.width = info.width;
    pending.capture->depth.height = info.height;
    if (pending.wantIds) {
      pending.capture->objectIds.width = info.width;
      pending.capture->objectIds.height = info.height;
    }
  }
  pending.haveInfo = true;
}

// True when the drawn pose is the asked one in every field the asked one gives.
bool samePose(const Pose& drawn, const Pose& asked) {
  const auto same = [](double a, double b) { return std::isnan(b) || a == b; };
  return drawn.x == asked.x && drawn.y == asked.y && drawn.heading == asked.heading &&
         same(drawn.height, asked.height) && same(drawn.pitch, asked.pitch) &&
         same(drawn.roll, asked.roll);
}

void receiveGroundTruthReply(void* request, const Reply& data) {
  PendingCapture& pending = *static_cast<PendingCapture*>(request);
  if (data.code == MSG_EXT_CAMERA_INFO + pending.role) {
    takeInfo(pending, data);
  }
  Capture* capture = pending.capture;
  if (capture == nullptr || !pending.haveInfo) return;
  if (data.code == MSG_EXT_COLOUR + pending.role &&
      data.length == static_cast<uint64_t>(capture->colour.stride) * capture->colour.height) {
    capture->colour.pixels.resize(data.length);
    if (data.length > 0) std::memcpy(capture->colour.pixels.data(), data.data, data.length);
    pending.haveColour = true;
  } else if (data.code == MSG_EXT_DEPTH + pending.role &&
             data.length == static_cast<uint64_t>(capture->depth.width) * capture->depth.height *
                                sizeof(float)) {
    capture->depth.values.resize(data.length / sizeof(float));
    if (data.length > 0) std::memcpy(capture->depth.values.data(), data.data, data.length);
    pending.haveDepth = true;
  } else if (pending.wantIds && data.code == MSG_EXT_OBJECT_IDS + pending.role &&
             data.length == static_cast<uint64_t>(capture->objectIds.width) *
                                capture->objectIds.height * sizeof(uint16_t)) {
    capture->objectIds.values.resize(data.length / sizeof(uint16_t));
    if (data.length > 0) std::memcpy(capture->objectIds.values.data(), data.data, data.length);
    pending.haveIds = true;
  }
}

}  // namespace

float DepthMap::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height ||
      values.size() < static_cast<size_t>(width) * height) {
    return std::numeric_limits<float>::quiet_NaN();
  }
  return values[static_cast<size_t>(height - 1 - y) * width + x];
}

uint16_t ObjectIdMap::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height ||
      values.size() < static_cast<size_t>(width) * height) {
    return 0;
  }
  return values[static_cast<size_t>(height - 1 - y) * width + x];
}

std::vector<float> disparityFromDepth(const DepthMap& depth, double focalLength, double baseline) {
  std::vector<float> disparity(depth.values.size());
  for (size_t i = 0; i < disparity.size(); ++i) {
    const double z = depth.values[i];
    disparity[i] = z > 0 && std::isfinite(z) ? static_cast<float>(focalLength * baseline / z)
                                             : std::numeric_limits<float>::infinity();
  }
  return disparity;
}

bool Client::capture(Eye eye, Capture* capture, const Pose* pose, bool withObjectIds) {
  const int role = static_cast<int>(eye);
  if (!ready()) return false;
  if (capture == nullptr || (role != 1 && role != 2)) {
    return fail(Failure::OTHER, "no capture to fill");
  }
  if (pose != nullptr && !validPose(*pose)) return false;
  // A pose without attitude goes as the old record, which every bench reads.
  FullPoseRecord record = {};
  uint32_t length = 0;
  if (pose != nullptr) {
    record = fullPoseRecord(*pose);
    length = pose->hasAttitude() ? sizeof record : sizeof record.pose;
  }
  capture->objectIds = ObjectIdMap();
  PendingCapture pending{role, capture, &capture->camera, withObjectIds};
  const Failure sent =
      sendToClass(kWindowClass[role], kWindowName[role],
                  withObjectIds ? MSG_EXT_CAPTURE_WITH_IDS : MSG_EXT_CAPTURE, length,
                  length > 0 ? &record : nullptr, receiveGroundTruthReply, &pending);
  const bool complete = pending.haveInfo && pending.haveColour && pending.haveDepth &&
                        (pending.haveIds || !withObjectIds);
  if (sent != Failure::NONE) return false;
  if (!complete) {
    return fail(Failure::BAD_ANSWER,
                std::string("the ") + kWindowName[role] + " sent no complete capture");
  }
  if (pose != nullptr && !samePose(capture->camera.pose, *pose)) {
    return fail(Failure::BAD_ANSWER,
                std::string("the ") + kWindowName[role] + " drew at another pose than asked");
  }
  return true;
}

bool Client::captureStereo(StereoCapture* pair, const Pose* pose, bool withObjectIds) {
  if (pair == nullptr) return fail(Failure::OTHER, "no capture to fill");
  if (!capture(Eye::LEFT, &pair->left, pose, withObjectIds)) return false;
  const Pose held = pair->left.camera.pose;
  // A level pose goes as the old record; when the right camera then holds another height, it
  // is given the whole pose.
  Pose asked = held;
  if (held.pitch == 0 && held.roll == 0) asked.height = asked.pitch = asked.roll = kKeep;
  if (!capture(Eye::RIGHT, &pair->right, &asked, withObjectIds)) return false;
  if (!samePose(pair->right.camera.pose, held) &&
      !capture(Eye::RIGHT, &pair->right, &held, withObjectIds)) {
    return false;
  }
  if (pair->left.colour.width != pair->right.colour.width ||
      pair->left.colour.height != pair->right.colour.height) {
    return fail(Failure::BAD_ANSWER, "the left and right cameras differ in size");
  }
  return true;
}

bool Client::describe(Eye eye, CameraModel* camera) {
  const int role = static_cast<int>(eye);
  if (!ready()) return false;
  if (camera == nullptr || (role != 1 && role != 2)) {
    return fail(Failure::OTHER, "no camera model to fill");
  }
  PendingCapture pending{role, nullptr, camera};
  const Failure sent = sendToClass(kWindowClass[role], kWindowName[role], MSG_EXT_DESCRIBE, 0,
                                   nullptr, receiveGroundTruthReply, &pending);
  const bool complete = pending.haveInfo;
  if (sent != Failure::NONE) return false;
  if (complete) return true;
  return fail(Failure::BAD_ANSWER,
              std::string("the ") + kWindowName[role] + " sent no camera model");
}

}  // namespace oculant
