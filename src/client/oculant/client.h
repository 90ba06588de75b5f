// Talks to a running stereo bench from an outside program: fetch the frames of the left and
// right camera windows, move the rig, make the cameras save their frames.
//
//   oculant::Client bench;
//   oculant::Frame left;
//   if (bench.grab(oculant::Eye::LEFT, &left)) { /* left.pixels: bottom-up BGR rows */ }
//
// On Linux the bench is found through its runtime folder ($OCULANT_RUNTIME_DIR, else
// $XDG_RUNTIME_DIR/oculant, else /tmp/oculant-<uid>); on Windows through its windows' classes,
// the replies coming to a message-only window of this program.
//
// Threads: one Client is used by one thread at a time; different Clients may be used on
// different threads at once (one Client per thread), sharing nothing. On Windows a Client is
// used on the thread that made it, whose message window takes its replies.
//
// Build with `pkg-config --cflags --libs oculant-client`.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "oculant/ground_truth.h"

namespace oculant {

class Exchange;
struct Reply;

enum class Eye { LEFT = 1, RIGHT = 2 };

// One camera frame exactly as the camera sent it: height rows of stride bytes, the bottom row
// first; each row holds width pixels of blue, green, red, then stride - 3 * width padding bytes.
struct Frame {
  int32_t width = 0;
  int32_t stride = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;

  // The pixel at column x of row y counted from the top, as {red, green, blue}. False (and
  // rgb untouched) for a position outside the frame.
  bool rgbAt(int x, int y, uint8_t rgb[3]) const;
};

// One camera's frame with its ground truth, all from one drawing. The object ids are there
// (as large as the frame) only when they were asked for; else empty.
struct Capture {
  Frame colour;
  DepthMap depth;
  CameraModel camera;
  ObjectIdMap objectIds;
};

// Both eyes at one rig pose.
struct StereoCapture {
  Capture left;
  Capture right;
};

// What a window of a running bench says of it.
struct BenchVersion {
  std::string version;    // the bench's version, "0.1.0"
  uint32_t protocol = 0;  // the protocol its messages follow
};

// The protocol this library speaks; a bench of another one is refused with a clear error.
uint32_t protocolVersion();

class Client {
 public:
  // Opens this program's own mailbox, through which the cameras answer.
  Client();
  ~Client();
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  // False when the mailbox could not be opened; error() says why.
  bool ready() const { return exchange_ != nullptr; }
  // Why the last call failed, in words fit for a user.
  const std::string& error() const { return error_; }

  // What kind of failure the last failed call met.
  enum class Failure {
    NONE,
    NOT_RUNNING,    // no bench, or not the window the call needs
    NOT_ANSWERING,  // the window runs but did not answer in time: stopped or busy
    BAD_ANSWER,     // it answered with something incomplete or unusable
    OTHER,          // the call could not be made (no mailbox, nothing to fill)
  };
  Failure failure() const { return failure_; }

  // The longest any one call waits in all, connecting included; 10 s unless set.
  void setTimeout(double seconds);
  double timeout() const { return timeoutSeconds_; }
  // The runtime folder where the bench is looked for; empty on Windows, where there is none.
  const std::string& runtimeFolder() const { return folder_; }

  // True when the scene window or a camera window of a bench is running.
  bool benchRunning();

  // Fetches the current frame of one camera. False when that camera is not running or its
  // answer was incomplete. The frame's buffer is reused from call to call.
  bool grab(Eye eye, Frame* frame);
  // Both frames, the left one first.
  bool grabPair(Frame* left, Frame* right);

  // Turns the rig (degrees) or moves it, in both cameras as the scene window does it; with
  // alsoScene, the scene window's own rig is changed too. False when none of those windows
  // runs, or when one that runs did not handle it; NaN or infinity is refused before anything
  // is sent (as is a pose of capture's).
  bool setHeading(double degrees, bool alsoScene = false);
  bool setPosition(double x, double y, bool alsoScene = false);
  // The whole pose at once: position, heading and, where given (not NaN), the eyes' height and
  // the rig's pitch and roll; what is left NaN stays as the rig holds it. The one way to raise,
  // pitch or roll the rig. False as for setHeading.
  bool setPose(const Pose& pose, bool alsoScene = false);
  // Their names before 0.2, kept for one version (Python's are set_heading, set_position).
  [[deprecated("use setHeading")]] bool sendHeading(double degrees, bool alsoScene = false) {
    return setHeading(degrees, alsoScene);
  }
  [[deprecated("use setPosition")]] bool sendRigPosition(double x, double y,
                                                         bool alsoScene = false) {
    return setPosition(x, y, alsoScene);
  }

  // Ground truth (oculant/ground_truth.h). With a pose, the camera takes that pose before it
  // draws; without, it draws at its current pose. withObjectIds adds which object each pixel
  // sees, drawn by the camera right after the frame (a second drawing, so it costs time).
  // False when the camera is not running or its answer was incomplete.
  bool capture(Eye eye, Capture* capture, const Pose* pose = nullptr, bool withObjectIds = false);
  // Both eyes at one pose: the given one, or else the pose the left camera holds, which the
  // right camera is then given too. So the pair never straddles a move of the rig.
  bool captureStereo(StereoCapture* pair, const Pose* pose = nullptr, bool withObjectIds = false);
  // The camera model and rig pose of one camera, without a frame.
  bool describe(Eye eye, CameraModel* camera);

  // Makes both cameras write their frames ("image1.bmp", "image2.bmp" in the bench's folder).
  // False as for setHeading.
  bool saveFrames();

  // Closes the scene window, which ends the whole bench; with camerasOnly, closes just the
  // two camera windows. False when there was nothing to close or it did not answer.
  bool quit(bool camerasOnly = false);

  // Asks the bench which version it is (its scene window, else a camera). False when none
  // runs, when it does not say (a bench older than the question) or speaks another protocol
  // than this library: error() says which.
  bool benchVersion(BenchVersion* version);
  // Waits until all three windows of a bench answer, at most seconds in all (for a bench just
  // started). False at the time-out, error() naming the windows that did not answer, or at
  // once for a bench of another protocol.
  bool waitForBench(double seconds);

 private:
  // 0 handled, else the failure, with error() set for the window named by who. The replies
  // that come meanwhile go to onReply with the request's record as context.
  Failure sendToClass(const char* className, const char* who, uintptr_t code, uint32_t length,
                      const void* payload, void (*onReply)(void*, const Reply&) = nullptr,
                      void* request = nullptr);
  bool sendToCameras(uintptr_t code, uint32_t length, const void* payload, bool alsoScene);
  bool fail(Failure failure, const std::string& error);
  // Asks the window of the role (0 scene, 1 left, 2 right) for its version.
  Failure askVersion(int role, BenchVersion* version);
  // True when every value is a finite number; else fails naming `what` (nothing is sent).
  bool allFinite(std::initializer_list<double> values, const char* what);
  // True when x, y and heading are finite and height, pitch and roll finite or NaN (left out).
  bool validPose(const Pose& pose);
  // " (looked in FOLDER)", or nothing where there is no folder.
  std::string lookedIn() const;

  std::unique_ptr<Exchange> exchange_;
  std::string folder_;
  std::string error_;
  Failure failure_ = Failure::NONE;
  double timeoutSeconds_ = 10;
};

}  // namespace oculant
