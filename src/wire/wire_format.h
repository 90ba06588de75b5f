// The wire format that the bench's windows and outside programs speak, as docs/protocol.md fixes
// it: the windows' class names, the message codes and payload records, and the stride rule of a
// frame. The envelope that opens every message on the sockets is in wire/envelope.h. Plain
// constants only, so the bench, the client library, the tools and the benchmarks all take these
// and none spells them out again.
#pragma once

#include <cstdint>

#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "payload records are sent as they lie in memory, which must be little-endian"
#endif

// The windows are addressed by class name; indexed by role (0 scene, 1 left, 2 right camera).
constexpr const char* kWindowClass[3] = {"oculant", "oculant1", "oculant2"};
constexpr const char* kSceneClass = kWindowClass[0];
constexpr const char* kLeftCameraClass = kWindowClass[1];
constexpr const char* kRightCameraClass = kWindowClass[2];

// Message codes (COPYDATASTRUCT::dwData).
constexpr uintptr_t MSG_QUIT = 1000;
constexpr uintptr_t MSG_SAVE_FRAME = 1001;
constexpr uintptr_t MSG_HEADING = 1002;  // payload: the heading, one double (degrees)
constexpr uintptr_t MSG_RIG_XY = 1003;   // payload: rigX, rigY, two doubles
constexpr uintptr_t MSG_FRAME_REQUEST = 2001;
// The replies to a frame request carry the answering camera's role: 2101/2201 from the left
// camera, 2102/2202 from the right one.
constexpr uintptr_t MSG_FRAME_HEADER = 2100;  // + role; payload: FrameHeader
constexpr uintptr_t MSG_FRAME_PIXELS = 2200;  // + role; payload: stride * height bytes

constexpr uint32_t kHeadingPayloadSize = 8;
constexpr uint32_t kRigXyPayloadSize = 16;
constexpr uint32_t kSaveFramePayloadSize = 32;  // SaveFrameRequest; none saves the current frame

#pragma pack(push, 1)
// The frame's shape, sent before its pixels. The first word once held the sender's buffer
// address, which means nothing in another process; it always carries 0 here.
struct FrameHeader {
  uint32_t address;
  int32_t width;
  int32_t stride;  // strideForWidth(width)
  int32_t height;
  uint32_t reserved;
};
#pragma pack(pop)
static_assert(sizeof(FrameHeader) == 20, "FrameHeader is 20 bytes on the wire");

#pragma pack(push, 1)
// The optional payload of MSG_SAVE_FRAME, as the scene sends it: a save taken late still writes
// the frame of the pose it was asked at, and one sent again (the sender gave up waiting while
// it was being handled) is not taken twice. Numbers count up per sender window from 1.
struct SaveFrameRequest {
  double rigX;
  double rigY;
  double heading;  // degrees
  uint32_t number;
  uint32_t reserved;
};
#pragma pack(pop)
static_assert(sizeof(SaveFrameRequest) == kSaveFramePayloadSize, "SaveFrameRequest is 32 bytes");

#pragma pack(push, 1)
// The same from a scene whose rig is raised, lowered, pitched or rolled from its start: the
// request followed by the eyes' height and the rig's pitch and roll (degrees). A scene whose
// rig keeps its start attitude sends the 32 bytes alone, as it always did.
struct FullSaveFrameRequest {
  SaveFrameRequest save;
  double height;
  double pitch;
  double roll;
};
#pragma pack(pop)
constexpr uint32_t kFullSaveFramePayloadSize = 56;
static_assert(sizeof(FullSaveFrameRequest) == kFullSaveFramePayloadSize, "56 bytes on the wire");

// Bytes per row of a 24-bit frame (and BMP): width * 3 rounded up to a multiple of 4; 0 for a
// width of 0 or less.
constexpr int32_t strideForWidth(int32_t width) {
  return width <= 0 ? 0 : static_cast<int32_t>((int64_t{width} * 3 + 3) / 4 * 4);
}
