// How an instance gets its messages to both cameras although a camera may stop answering for a
// while (a debugger, a loaded machine, a heavy scene). Two kinds of message, two rules:
// - the rig pose is state: every send waits a short bound, and a camera that missed a change is
//   brought to the whole current pose when it answers again (the newest pose wins);
// - saves and quits are commands: one a camera did not take is kept and sent again, in order,
//   when the camera answers again; a save carries the pose it was asked at and a number, so it
//   writes that pose's frame however late and is taken at most once. A command that can no
//   longer be delivered is reported on standard error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

#include "platform/windows_vocabulary.h"
#include "wire/wire_format.h"

struct Instance;

// The longest the sender waits for each camera while it runs: pose changes are superseded by
// the next one, commands are kept and sent again, so neither holds the overview up for long.
constexpr int kPoseAnswerMs = 50;
constexpr int kCommandAnswerMs = 500;
// How often a camera that did not answer is tried again, and how often the scene looks for
// camera windows that need its pose or have commands waiting.
constexpr uint32_t kRetryMs = 200;
constexpr uint32_t kSyncCheckMs = 100;
// Once the instance's window is closed nothing is drawn any more: each try waits longer, and
// the commands still waiting (the quit above all) are tried for this long in all.
constexpr int kClosingAnswerMs = 2000;
constexpr uint32_t kClosingBoundMs = 5000;
// Saves kept for one camera that does not answer; one more is reported and not kept.
constexpr size_t kMaxWaitingSaves = 64;

// A save or a quit, kept until the camera has taken it.
struct CameraCommand {
  uintptr_t code;
  FullSaveFrameRequest save;  // for MSG_SAVE_FRAME
  uint32_t saveSize;          // its bytes on the wire: the attitude only past the start's
};

// What the instance knows of one camera.
struct CameraLink {
  HWND window = 0;      // the camera window last seen
  bool seen = false;    // looked for at least once
  bool stale = false;   // the window may not hold the scene's pose
  bool failed = false;  // the last send to it was not answered
  uint32_t failedAt = 0;
  std::deque<CameraCommand> waiting;  // commands not taken yet, oldest first
};

// What the instance knows of both cameras; a fresh one is the state at start-up.
struct CameraLinks {
  CameraLink links[2];
  uint32_t lastCheck = 0;
  bool checkedOnce = false;
  uint32_t lastSaveNumber = 0;
  // Set while finishCameraCommands runs: when it gives up.
  bool closingPhase = false;
  uint32_t closingEnd = 0;
};

// The way the application's rules reach both cameras, so that a test can record what they send
// instead of sending it.
class CameraMessages {
 public:
  virtual ~CameraMessages() = default;
  virtual void send(Instance& instance, uintptr_t code, uint32_t length, const void* payload,
                    HWND sender) = 0;
};

// The cameras as the running bench reaches them: sendToCameras below.
CameraMessages& linkedCameras();

// Sends the message to the left camera's window and then to the right one's, each looked up
// afresh; a camera that is not there is skipped. In the scene, a camera that may not hold the
// scene's pose gets the whole pose first (a pose change then needs nothing more), and a save
// goes out as a command at the scene's current pose. A quit is a command in every role.
void sendToCameras(Instance& instance, uintptr_t code, uint32_t length, const void* payload,
                   HWND sender);

// Called every pass of the main loop: in the scene, brings the camera windows that need it to
// the scene's pose and sends the commands they have not taken yet, at most every kSyncCheckMs.
void syncCameras(Instance& instance, HWND sender);

// Called once the window is gone and the loop has ended: sends the commands the cameras have not
// taken yet until they are taken, the cameras have ended or kClosingBoundMs has passed, serving
// this process's messages meanwhile; what is left is reported on standard error.
void finishCameraCommands(Instance& instance, HWND sender);
