// How the scene keeps both cameras at its rig pose although a camera may stop answering: every
// send waits a short bound, a camera that missed a change is brought to the whole current pose
// when it answers again, and a camera window that appears is given the pose it needs.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// The longest the sender waits for each camera: pose changes are superseded by the next one
// and repaired by a later synchronisation; saves and quits are not, so they get longer.
constexpr int kPoseAnswerMs = 50;
constexpr int kCommandAnswerMs = 500;
// How often a camera that did not answer is tried again, and how often the scene looks for
// camera windows that need its pose.
constexpr uint32_t kRetryMs = 200;
constexpr uint32_t kSyncCheckMs = 100;

// Sends the message to the left camera's window and then to the right one's, each looked up
// afresh; a camera that is not there is skipped. In the scene, a camera that may not hold the
// scene's pose gets the whole pose first (a pose change then needs nothing more).
void sendToCameras(uintptr_t code, uint32_t length, const void* payload, HWND sender);

// In the scene, called every pass of the main loop: brings the camera windows that need it to
// the scene's pose, at most every kSyncCheckMs.
void syncCameras(HWND sender);

// Forgets what the scene knew of the cameras, as at start-up.
void resetCameraLinks();
