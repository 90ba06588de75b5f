#include "oculant/client.h"

#include <cstring>

#include "messaging/instance_messages.h"
#include "platform/runtime_dir.h"
#include "platform/transport.h"

namespace oculant {
namespace {

const char* const kSceneClass = "oculant";
const char* const kCameraClass[3] = {nullptr, "oculant1", "oculant2"};
const char* const kEyeName[3] = {nullptr, "left", "right"};

// The grab under way. The transport hands replies to a plain function, so it finds the frame
// being filled here; one grab at a time per process.
struct PendingGrab {
  int role = 0;
  Frame* frame = nullptr;
  bool haveHeader = false;
  bool havePixels = false;
};
PendingGrab pending;

int32_t strideFor(int32_t width) {
  return (width * 3 + 3) / 4 * 4;
}

LRESULT receiveReply(HWND, HWND, const COPYDATASTRUCT& data) {
  if (pending.frame == nullptr) return 0;
  if (data.dwData == MSG_FRAME_HEADER + pending.role && data.cbData == sizeof(FrameHeader)) {
    FrameHeader header;
    std::memcpy(&header, data.lpData, sizeof header);
    // Only a shape that the pixel message can match is taken.
    const bool sane = header.width >= 0 && header.height >= 0 && header.width <= 65536 &&
                      header.height <= 65536 && header.stride == strideFor(header.width) &&
                      static_cast<uint64_t>(header.stride) * header.height <= kMaxPayload;
    if (sane) {
      pending.frame->width = header.width;
      pending.frame->stride = header.stride;
      pending.frame->height = header.height;
      pending.haveHeader = true;
    }
  } else if (data.dwData == MSG_FRAME_PIXELS + pending.role && pending.haveHeader &&
             data.cbData == static_cast<uint64_t>(pending.frame->stride) * pending.frame->height) {
    pending.frame->pixels.resize(data.cbData);
    if (data.cbData > 0) std::memcpy(pending.frame->pixels.data(), data.lpData, data.cbData);
    pending.havePixels = true;
  }
  return 0;
}

}  // namespace

bool Frame::rgbAt(int x, int y, uint8_t rgb[3]) const {
  if (x < 0 || y < 0 || x >= width || y >= height ||
      pixels.size() < static_cast<size_t>(stride) * height) {
    return false;
  }
  const uint8_t* pixel =
      pixels.data() + static_cast<size_t>(height - 1 - y) * stride + static_cast<size_t>(x) * 3;
  rgb[0] = pixel[2];
  rgb[1] = pixel[1];
  rgb[2] = pixel[0];
  return true;
}

Client::Client() {
  std::string reason;
  folder_ = runtimeDirectory(&reason);
  if (folder_.empty()) {
    error_ = "cannot use the bench's runtime folder: " + reason;
    return;
  }
  const HWND window = allocateWindowHandle();
  if (window != 0 && transportListen(window, nullptr)) {
    window_ = window;
  } else {
    error_ = "cannot open a socket in the bench's runtime folder";
  }
}

Client::~Client() {
  if (window_ != 0) transportClose(window_);
}

bool Client::benchRunning() {
  return transportFindClass(kSceneClass) != 0 || transportFindClass(kCameraClass[1]) != 0 ||
         transportFindClass(kCameraClass[2]) != 0;
}

bool Client::sendToClass(const char* className, uintptr_t code, uint32_t length,
                         const void* payload) {
  const COPYDATASTRUCT data = {code, length, payload};
  bool delivered = false;
  transportSendToClass(className, window_, data, receiveReply, &delivered);
  return delivered;
}

bool Client::grab(Eye eye, Frame* frame) {
  const int role = static_cast<int>(eye);
  if (!ready() || frame == nullptr || (role != 1 && role != 2)) {
    if (ready()) error_ = "no frame to fill";
    return false;
  }
  pending = PendingGrab{role, frame, false, false};
  const bool delivered = sendToClass(kCameraClass[role], MSG_FRAME_REQUEST, 0, nullptr);
  const bool complete = pending.haveHeader && pending.havePixels;
  pending = PendingGrab();
  if (complete) return true;
  error_ = delivered ? std::string("the ") + kEyeName[role] + " camera sent no complete frame"
                     : std::string("no ") + kEyeName[role] + " camera is running";
  return false;
}

bool Client::grabPair(Frame* left, Frame* right) {
  return grab(Eye::LEFT, left) && grab(Eye::RIGHT, right);
}

bool Client::sendToCameras(uintptr_t code, uint32_t length, const void* payload, bool alsoScene) {
  if (!ready()) return false;
  const bool left = sendToClass(kCameraClass[1], code, length, payload);
  const bool right = sendToClass(kCameraClass[2], code, length, payload);
  const bool scene = alsoScene && sendToClass(kSceneClass, code, length, payload);
  if (left || right || scene) return true;
  error_ = "no camera is running";
  return false;
}

bool Client::sendHeading(double degrees, bool alsoScene) {
  return sendToCameras(MSG_HEADING, sizeof degrees, &degrees, alsoScene);
}

bool Client::sendRigPosition(double x, double y, bool alsoScene) {
  const double xy[2] = {x, y};
  return sendToCameras(MSG_RIG_XY, sizeof xy, xy, alsoScene);
}

bool Client::saveFrames() {
  return sendToCameras(MSG_SAVE_FRAME, 0, nullptr, false);
}

bool Client::quit(bool camerasOnly) {
  if (!ready()) return false;
  if (!camerasOnly) {
    // The scene window's close ends both cameras as well.
    if (sendToClass(kSceneClass, MSG_QUIT, 0, nullptr)) return true;
  }
  if (sendToCameras(MSG_QUIT, 0, nullptr, false)) return true;
  error_ = "no bench is running";
  return false;
}

}  // namespace oculant
