// How the client library names the bench's windows in its messages, by role (0 the scene window,
// 1 the left camera, 2 the right camera), beside their classes (wire/wire_format.h's
// kWindowClass). Internal to the client library.
#pragma once

namespace oculant {

constexpr const char* kWindowName[3] = {"scene window", "left camera", "right camera"};

}  // namespace oculant
