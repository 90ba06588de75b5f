// Everything one instance of the bench holds while it runs, in one record: main owns it, the
// window procedure and the message handlers receive it, and what lies below them (renderer,
// scene reader, panel) gets the members it needs passed in. One thread touches it. Who writes
// and who reads each member:
//
// | member          | written by                                | read by                      |
// |-----------------|-------------------------------------------|------------------------------|
// | mainWindow      | app: main, once the window exists         | app: main loop               |
// | destroyedWindow | app: onDestroy                            | app: main                    |
// | cameraLinks     | messaging: camera links                   | messaging: camera links      |
// | cameras         | app: wiring (tests put a recorder here)   | app: input, drive, destroy   |
// | frameSource     | app: onCreate (tests put their own)       | messaging: frames, captures  |
// | latestFrame     | messaging: latest frame                   | messaging: frame, save       |
// | savesTaken      | messaging: save handler                   | messaging: save handler      |
// | quitHandler     | app: onCreate                             | messaging: quit message      |
#pragma once

#include "messaging/camera_links.h"
#include "messaging/frame_source.h"
#include "messaging/latest_frame.h"
#include "platform/windows_vocabulary.h"

// The last numbered save taken and its sender: a save sent again after its sender gave up
// waiting (while it was being handled) is not taken twice.
struct SavesTaken {
  WPARAM lastSaveSender = 0;
  uint32_t lastSaveNumber = 0;
};

struct Instance {
  // The window created for this process's role; the sender of the rig position messages.
  HWND mainWindow = 0;
  // The window whose destruction onDestroy handled last, 0 before: tells a window closed by a
  // quit while it was being created (an error box of the set-up was up) from one never made.
  HWND destroyedWindow = 0;
  CameraLinks cameraLinks;
  // Where the input rules, the drive and the end of the window send to both cameras.
  CameraMessages* cameras = &linkedCameras();
  // Until one is set, or with null, there is nothing to draw with: every capture fails and is
  // answered as such.
  FrameSource* frameSource = nullptr;
  LatestFrame latestFrame;
  SavesTaken savesTaken;
  // What a quit message does to the window: the application closes it its own way, as it
  // closes a window the user closed. Until it is set, quit messages are ignored.
  void (*quitHandler)(HWND window) = nullptr;
};
