// The geometry of the stereo rig's eye views, shared by the renderer that draws them and by
// the ground truth that describes them: perspective, eye height and the eyes' spacing.
#pragma once

constexpr double kFieldOfViewY = 45.0;  // degrees, the full vertical angle
constexpr double kNearPlane = 0.1;
constexpr double kFarPlane = 2000.0;
constexpr double kEyeHeight = 0.2;
// Each eye's distance from the rig's centre. A float since the first renderer: as a double the
// eyes would move by a few billionths and frames would no longer match pictures kept from it.
constexpr float kHalfBaseline = 0.05f;
// The eyes' spacing as a camera model states it; 2 * kHalfBaseline differs by 1.5e-8 relative.
constexpr double kBaseline = 0.1;
