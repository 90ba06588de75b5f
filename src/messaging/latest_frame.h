// A camera's last captured frame, kept together with the view it was drawn from. Drawing a
// frame costs far more than sending it, and equal views give equal pixels: while the view did
// not change, the frame drawn again would be byte for byte the one kept, so it is answered from
// memory.
#pragma once

#include <memory>

#include "image/bmp_writer.h"
#include "scene/camera_view.h"

struct Instance;
class FrameSource;

// The frame kept and its view; empty at start.
struct LatestFrame {
  std::shared_ptr<const CaptureImage> kept;
  CameraView keptView = {};
};

// The frame of the view, with the rig's sensor noise (messaging/eye_capture.h): the kept one
// when the view is the one it was drawn from, else a fresh one drawn into the back buffer and
// read with the instance's frame source (messaging/frame_source.h). Null when the capture
// failed or there is no source. Shared: a send still under way keeps its frame whole while a
// newer one replaces it here.
std::shared_ptr<const CaptureImage> latestFrame(Instance& instance, const CameraView& view);

// Lets go of the kept frame; the next latestFrame draws and reads again.
void forgetLatestFrame(Instance& instance);

// The source the handlers draw and capture with from now on; the frame kept goes, as another
// source may draw it differently.
void setFrameSource(Instance& instance, FrameSource* source);
