#include "oculant/client.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>

#include "exchange.h"
#include "pose_record.h"
#include "window_names.h"
#include "wire/envelope.h"
#include "wire/wire_format.h"

namespace oculant {
namespace {

// A grab under way, which its replies fill.
struct PendingGrab {
  int role = 0;
  Frame* frame = nullptr;
  bool haveHeader = false;
  bool havePixels = false;
};

// True when the window of the class has gone. A process killed while it answered may still
// listen for a moment after its connection closed (the system closes its files one by one), so
// it is given a short while to go before it is said to run on.
bool windowEnded(Exchange& exchange, const char* className) {
  for (int look = 0; look < 20; ++look) {
    if (!exchange.windowExists(className)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

void receiveFrameReply(void* request, const Reply& data) {
  PendingGrab& pending = *static_cast<PendingGrab*>(request);
  if (data.code == MSG_FRAME_HEADER + pending.role && data.length == sizeof(FrameHeader)) {
    FrameHeader header;
    std::memcpy(&header, data.data, sizeof header);
    // Only a shape that the pixel message can match is taken.
    const bool sane = header.width >= 0 && header.height >= 0 && header.width <= 65536 &&
                      header.height <= 65536 && header.stride == strideForWidth(header.width) &&
                      static_cast<uint64_t>(header.stride) * header.height <= kMaxPayload;
    if (sane) {
      pending.frame->width = header.width;
      pending.frame->stride = header.stride;
      pending.frame->height = header.height;
      pending.haveHeader = true;
    }
  } else if (data.code == MSG_FRAME_PIXELS + pending.role && pending.haveHeader &&
             data.length == static_cast<uint64_t>(pending.frame->stride) * pending.frame->height) {
    pending.frame->pixels.resize(data.length);
    if (data.length > 0) std::memcpy(pending.frame->pixels.data(), data.data, data.length);
    pending.havePixels = true;
  }
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
  std::string error;
  exchange_ = Exchange::open(&error);
  if (exchange_ == nullptr) {
    fail(Failure::OTHER, error);
    return;
  }
  folder_ = exchange_->location();
}

Client::~Client() = default;

std::string Client::lookedIn() const {
  return folder_.empty() ? std::string() : " (looked in " + folder_ + ")";
}

bool Client::fail(Failure failure, const std::string& error) {
  failure_ = failure;
  error_ = error;
  return false;
}

void Client::setTimeout(double seconds) {
  timeoutSeconds_ = seconds > 0 ? seconds : 0;
}

bool Client::benchRunning() {
  return ready() &&
         (exchange_->windowExists(kSceneClass) || exchange_->windowExists(kWindowClass[1]) ||
          exchange_->windowExists(kWindowClass[2]));
}

Client::Failure Client::sendToClass(const char* className, const char* who, uintptr_t code,
                                    uint32_t length, const void* payload,
                                    void (*onReply)(void*, const Reply&), void* request) {
  // The mailbox is gone only after a time-out whose error stands; nothing more is sent.
  if (!ready()) return Failure::OTHER;
  const double milliseconds = std::min(timeoutSeconds_ * 1000.0, 2147483647.0);
  const Delivery delivery = exchange_->send(className, code, length, payload, onReply, request,
                                            static_cast<int>(milliseconds));
  if (delivery == Delivery::HANDLED) return Failure::NONE;
  if (delivery == Delivery::NO_WINDOW) {
    fail(Failure::NOT_RUNNING, std::string("no ") + who + " is running" + lookedIn());
    return failure_;
  }
  if (delivery == Delivery::HUNG_UP) {
    // Said as it happened: a window that is gone now ended while it was asked.
    fail(Failure::NOT_ANSWERING,
         std::string("the ") + who +
             (windowEnded(*exchange_, className) ? " ended before it answered"
                                                 : " hung up without answering"));
  } else {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", timeoutSeconds_);
    fail(Failure::NOT_ANSWERING, std::string("the ") + who +
                                     " is running but did not answer within " + seconds +
                                     " s (stopped or busy)");
  }
  // Its answers may still come: a fresh mailbox keeps them out of the next call.
  if (!exchange_->renew()) exchange_.reset();
  return failure_;
}

bool Client::grab(Eye eye, Frame* frame) {
  const int role = static_cast<int>(eye);
  if (!ready()) return false;
  if (frame == nullptr || (role != 1 && role != 2)) return fail(Failure::OTHER, "no frame to fill");
  PendingGrab pending{role, frame, false, false};
  const Failure sent = sendToClass(kWindowClass[role], kWindowName[role], MSG_FRAME_REQUEST, 0,
                                   nullptr, receiveFrameReply, &pending);
  const bool complete = pending.haveHeader && pending.havePixels;
  if (sent != Failure::NONE) return false;
  if (complete) return true;
  return fail(Failure::BAD_ANSWER,
              std::string("the ") + kWindowName[role] + " sent no complete frame");
}

bool Client::grabPair(Frame* left, Frame* right) {
  return grab(Eye::LEFT, left) && grab(Eye::RIGHT, right);
}

bool Client::sendToCameras(uintptr_t code, uint32_t length, const void* payload, bool alsoScene) {
  if (!ready()) return false;
  // Every window that runs is tried, left first as the scene does it; the first that did not
  // answer is the one reported.
  const Failure left = sendToClass(kWindowClass[1], kWindowName[1], code, length, payload);
  const std::string leftError = error_;
  const Failure right = sendToClass(kWindowClass[2], kWindowName[2], code, length, payload);
  const std::string rightError = error_;
  const Failure scene = alsoScene ? sendToClass(kSceneClass, kWindowName[0], code, length, payload)
                                  : Failure::NOT_RUNNING;
  if (left == Failure::NOT_ANSWERING) return fail(left, leftError);
  if (right == Failure::NOT_ANSWERING) return fail(right, rightError);
  if (scene == Failure::NOT_ANSWERING) return false;
  if (left == Failure::NONE || right == Failure::NONE || scene == Failure::NONE) {
    failure_ = Failure::NONE;
    return true;
  }
  return fail(Failure::NOT_RUNNING, "no camera is running" + lookedIn());
}

bool Client::allFinite(std::initializer_list<double> values, const char* what) {
  for (const double value : values) {
    // NaN or infinity would reach the cameras as a pose that draws nothing.
    if (!std::isfinite(value)) {
      return fail(Failure::OTHER,
                  std::string(what) + " must be finite, not " + std::to_string(value));
    }
  }
  return true;
}

bool Client::validPose(const Pose& pose) {
  if (!allFinite({pose.x, pose.y, pose.heading}, "the pose")) return false;
  for (const double value : {pose.height, pose.pitch, pose.roll}) {
    // NaN leaves the value out; infinity would draw nothing.
    if (std::isinf(value)) return allFinite({value}, "the pose");
  }
  return true;
}

bool Client::setPose(const Pose& pose, bool alsoScene) {
  if (!validPose(pose)) return false;
  const FullPoseRecord record = fullPoseRecord(pose);
  return sendToCameras(MSG_EXT_SET_POSE, sizeof record, &record, alsoScene);
}

bool Client::setHeading(double degrees, bool alsoScene) {
  if (!allFinite({degrees}, "the heading")) return false;
  return sendToCameras(MSG_HEADING, sizeof degrees, &degrees, alsoScene);
}

bool Client::setPosition(double x, double y, bool alsoScene) {
  if (!allFinite({x, y}, "the rig position")) return false;
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
    const Failure scene = sendToClass(kSceneClass, kWindowName[0], MSG_QUIT, 0, nullptr);
    if (scene == Failure::NONE) return true;
    if (scene == Failure::NOT_ANSWERING) return false;
  }
  if (sendToCameras(MSG_QUIT, 0, nullptr, false)) return true;
  if (failure_ == Failure::NOT_RUNNING) {
    fail(Failure::NOT_RUNNING, "no bench is running" + lookedIn());
  }
  return false;
}

}  // namespace oculant
