// Everything one instance of the bench holds while it runs, in one record: main owns it, the
// window procedure and the message handlers receive it, and what lies below them (renderer,
// scene reader, panel) gets the members it needs passed in; the renderer draws from a
// CameraView made of them. One thread touches it. Who writes and who reads each member:
//
// | member          | written by                                  | read by                     |
// |-----------------|---------------------------------------------|-----------------------------|
// | role            | app: role decision, once, before the window | nearly every folder         |
// | sceneModel      | scene: config file; render: texture upload  | render: frame (by the view) |
// |                 | (each object's textureSlot)                 |                             |
// | imageSlots      | render: texture upload, emptied as it goes  | render: texture upload      |
// | rigPose         | five writers: app (start pose at window     | render: frame (by the       |
// |                 | creation, drive steps, mouse turns);        | view); messaging: camera    |
// |                 | messaging (heading and position messages,   | links, latest frame; panel: |
// |                 | ground-truth capture requests)              | info log; app: main loop    |
// | overviewView    | render: GL set-up (start values), overview  | render: frame, text overlay |
// |                 | navigation (on the app's mouse input)       | (by the view); messaging:   |
// |                 |                                             | latest frame; app: loop     |
// | inputState      | app: input handling                         | render: frame (by the       |
// |                 |                                             | view); app: main loop       |
// | rigSettings     | scene: config file                          | render: GL set-up, frame;   |
// |                 |                                             | messaging: camera model,    |
// |                 |                                             | noise; app: window size     |
// | mainWindow      | app: main, once the window exists           | app: main loop              |
// | destroyedWindow | app: onDestroy                              | app: main                   |
// | cameraLinks     | messaging: camera links                     | messaging: camera links     |
// | cameras         | app: wiring (tests put a recorder here)     | app: input, drive, destroy  |
// | frameSource     | app: onCreate (tests put their own)         | messaging: frames, captures |
// | latestFrame     | messaging: latest frame                     | messaging: frame, save      |
// | savesTaken      | messaging: save handler                     | messaging: save handler     |
// | quitHandler     | app: onCreate                               | messaging: quit message     |
#pragma once

#include "messaging/camera_links.h"
#include "messaging/frame_source.h"
#include "messaging/latest_frame.h"
#include "platform/windows_vocabulary.h"
#include "scene/camera_view.h"
#include "scene/input_state.h"
#include "scene/rig_settings.h"
#include "scene/scene_state.h"

struct TextureImage;

// The last numbered save taken and its sender: a save sent again after its sender gave up
// waiting (while it was being handled) is not taken twice.
struct SavesTaken {
  WPARAM lastSaveSender = 0;
  uint32_t lastSaveNumber = 0;
};

// A fresh record is the state at process start: all zero, the input at its start values and
// the rig settings at their defaults.
struct Instance {
  InstanceRole role = ROLE_SCENE;
  SceneModel sceneModel = {};
  TextureImage* imageSlots[kImageSlotCapacity] = {};
  RigPose rigPose = {};
  OverviewView overviewView = {};
  InputState inputState = kStartInput;
  RigSettings rigSettings = kDefaultRig;
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

// The view of the instance as it stands, for a width x height client area. Cleared before it
// is filled, so that two views of the same inputs are equal byte for byte.
CameraView currentCameraView(const Instance& instance, int width, int height);

// The same view seen from another pose (a save asked at the pose the scene had then).
CameraView cameraViewAt(const Instance& instance, const RigPose& pose, int width, int height);
