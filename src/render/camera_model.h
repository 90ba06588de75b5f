// The geometry of the stereo rig's eye views, shared by the renderer that draws them and by
// the ground truth that describes them: perspective, the eyes' places and their orientation,
// all from the rig settings (scene/rig_settings.h).
#pragma once

#include "scene/rig_settings.h"
#include "scene/scene_state.h"

constexpr double kNearPlane = 0.1;
constexpr double kFarPlane = 2000.0;
// The overview is no eye: it keeps the field of view it always had.
constexpr double kOverviewFieldOfViewY = 45.0;
// Each eye's distance from the rig's centre at the default baseline. A float since the first
// renderer: as a double the eyes would move by a few billionths and frames would no longer
// match pictures kept from it. A camera model states the baseline as set (0.1); the two differ
// by 1.5e-8 relative.
constexpr float kHalfBaseline = 0.05f;

// The vertical field of view the role draws with, in degrees.
double fieldOfViewFor(InstanceRole instanceRole, const RigSettings& rig);

// Focal length in pixels of an eye image height rows high: the projection spans the vertical
// field of view over the rows, with square pixels.
double focalLengthFor(const RigSettings& rig, int height);

// The eye's orientation in the rig: a row-major 3 x 3 matrix whose columns are the eye's x
// (right), y (down) and z (viewing direction) axes in the rig's frame (x to the rig's right, y
// down, z along the heading). The identity for the left eye and for a right eye set true.
void eyeRotation(const RigSettings& rig, bool rightEye, double rotation[9]);

// The rig's own axes in scene coordinates (z up): to its right, down and ahead along its
// viewing direction, after heading, then pitch about the right axis, then roll about the
// viewing axis (scene/scene_state.h). A level rig's down is the scene's -z.
struct RigAxes {
  double right[3];
  double down[3];
  double ahead[3];
};
RigAxes rigAxesAt(const RigPose& pose);

// Where an eye stands, the point one unit ahead that it looks at, and its up direction, in
// scene coordinates (z up), as gluLookAt takes them. The eyes sit on the rig's right axis
// through its centre (rigX, rigY, height), so pitch and roll turn them about that centre.
struct EyeView {
  double eye[3];
  double centre[3];
  double up[3];
};
EyeView eyeViewAt(const RigPose& pose, const RigSettings& rig, bool rightEye);
