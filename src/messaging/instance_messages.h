// The messages between the bench's instances and with outside programs: codes, payload
// records, the sender to both cameras and the receiving side's handler. The bytes on the wire
// are fixed in docs/protocol.md.
#pragma once

#include <cstdint>

#include "messaging/camera_links.h"  // sendToCameras, where the senders find it
#include "platform/win32.h"

#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "payload records are sent as they lie in memory, which must be little-endian"
#endif

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

#pragma pack(push, 1)
// The frame's shape, sent before its pixels. The first word once held the sender's buffer
// address, which means nothing in another process; it always carries 0 here.
struct FrameHeader {
  uint32_t address;
  int32_t width;
  int32_t stride;  // bytes per row: width * 3 rounded up to a multiple of 4
  int32_t height;
  uint32_t reserved;
};
#pragma pack(pop)
static_assert(sizeof(FrameHeader) == 20, "FrameHeader is 20 bytes on the wire");

// Acts on one WM_COPYDATA message received by window, according to this instance's role.
// sender is the message's wParam: the window that replies go to. Always returns 0.
LRESULT handleInstanceMessage(HWND window, WPARAM sender, const COPYDATASTRUCT* data);
