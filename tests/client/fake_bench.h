// A stand-in bench made with the transport alone: a process whose windows take the classes of
// the scene and camera windows, answer frame requests with a known pattern and report every
// other message they get through a pipe.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "raw_peer.h"
#include "test_bench.h"
#include "wire/wire_format.h"

// What the fake camera of a role answers with; the right camera's frame has another shape.
struct FakeShape {
  int32_t width, height;
};
inline FakeShape fakeShape(int role) {
  return role == 1 ? FakeShape{301, 5} : FakeShape{64, 3};
}
inline int32_t fakeStride(int32_t width) {
  return (width * 3 + 3) / 4 * 4;
}

// The pattern of the fake frame: bottom-up rows, padding bytes zero.
inline std::vector<uint8_t> fakePixels(int role) {
  const FakeShape shape = fakeShape(role);
  const int32_t stride = fakeStride(shape.width);
  std::vector<uint8_t> pixels(size_t(stride) * shape.height, 0);
  for (int32_t y = 0; y < shape.height; ++y)
    for (int32_t x = 0; x < shape.width * 3; ++x)
      pixels[y * stride + x] = uint8_t(x * 7 + y * 29 + role * 13);
  return pixels;
}

// What the fake bench reports for: heading 90.5; rig 1 -2 with the scene; save; quit the
// cameras; quit. 90.5 = 0x4056A00000000000, 1.0 = 0x3FF0..., -2.0 = 0xC000...
inline const std::vector<std::string> kSteeringReports = {
    "1 1002 0000000000a05640",
    "2 1002 0000000000a05640",
    "1 1003 000000000000f03f00000000000000c0",
    "2 1003 000000000000f03f00000000000000c0",
    "0 1003 000000000000f03f00000000000000c0",
    "1 1001 ",
    "2 1001 ",
    "1 1000 ",
    "2 1000 ",
    "0 1000 ",
};

// How a fake camera misbehaves when asked for a frame.
// FORGER: another process of the same user sends the requester other pixels before the camera
// answers. DIES: the camera's process ends after the header.
enum class FakeFault { NONE, WRONG_STRIDE, SHORT_PIXELS, NO_PIXELS, WRONG_ROLE, FORGER, DIES };

namespace fake_bench_detail {

inline int reportTo = -1;
inline FakeFault fault = FakeFault::NONE;
inline HWND windows[3] = {0, 0, 0};
inline volatile bool stop = false;

// From a process of its own, sends the requester's mailbox a pixel message of the right length
// but other bytes, and waits (a bounded time) for it to be answered or refused.
inline void forgePixels(HWND requester, uint32_t code, size_t length) {
  const pid_t forger = fork();
  if (forger == 0) {
    const std::string mailbox =
        std::string(getenv("OCULANT_RUNTIME_DIR")) + "/window." + std::to_string(requester);
    std::string message(16 + length, '\xEE');
    writeEnvelope(reinterpret_cast<unsigned char*>(&message[0]), code, 1, uint32_t(length));
    const int fd = connectRaw(mailbox);
    send(fd, message.data(), message.size(), MSG_NOSIGNAL);
    char reply[8];
    _exit(readUpTo(fd, reply, sizeof reply) == sizeof reply ? 0 : 1);
  }
  waitpid(forger, nullptr, 0);
}

inline LRESULT deliver(void*, HWND target, HWND sender, const COPYDATASTRUCT& data) {
  int role = 0;
  while (role < 3 && windows[role] != target) ++role;
  if (data.dwData == MSG_FRAME_REQUEST && role > 0) {
    const FakeShape shape = fakeShape(role);
    const std::vector<uint8_t> pixels = fakePixels(role);
    FrameHeader header = {0, shape.width, fakeStride(shape.width), shape.height, 0};
    const int replyRole = fault == FakeFault::WRONG_ROLE ? 3 - role : role;
    if (fault == FakeFault::WRONG_STRIDE) header.stride += 4;
    const COPYDATASTRUCT headerMessage = {MSG_FRAME_HEADER + replyRole, sizeof header, &header};
    transportSend(sender, target, headerMessage, deliver, nullptr, 10000);
    const uint32_t length = uint32_t(pixels.size()) - (fault == FakeFault::SHORT_PIXELS);
    const COPYDATASTRUCT pixelMessage = {MSG_FRAME_PIXELS + replyRole, length, pixels.data()};
    if (fault == FakeFault::DIES) _exit(9);
    if (fault != FakeFault::NO_PIXELS)
      transportSend(sender, target, pixelMessage, deliver, nullptr, 10000);
    if (fault == FakeFault::FORGER)
      forgePixels(sender, MSG_FRAME_PIXELS + replyRole, pixels.size());
    return 0;
  }
  std::string line = std::to_string(role) + " " + std::to_string(data.dwData) + " ";
  for (uint32_t i = 0; i < data.cbData; ++i) {
    const uint8_t byte = static_cast<const uint8_t*>(data.lpData)[i];
    line += "0123456789abcdef"[byte >> 4];
    line += "0123456789abcdef"[byte & 15];
  }
  line += '\n';
  return write(reportTo, line.data(), line.size()) < 0 ? -1 : 0;
}

}  // namespace fake_bench_detail

struct FakeBench {
  pid_t pid = -1;
  int reportFd = -1;  // read end: one line "<role> <code> <payload bytes as hex>" per message

  // Starts the bench with the scene window when withScene, and both cameras.
  FakeBench(bool withScene, FakeFault fault = FakeFault::NONE) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid = spawnPeer([&] {
      namespace d = fake_bench_detail;
      close(fds[0]);
      d::reportTo = fds[1];
      d::fault = fault;
      const char* classes[3] = {"oculant", "oculant1", "oculant2"};
      for (int role = withScene ? 0 : 1; role < 3; ++role) {
        d::windows[role] = allocateWindowHandle();
        if (!transportListen(d::windows[role], classes[role])) return 3;
      }
      serveUntil(d::stop, d::deliver);
      return 0;
    });
    close(fds[1]);
    reportFd = fds[0];
    fcntl(reportFd, F_SETFL, O_NONBLOCK);
    waitForClass("oculant2");
  }
  ~FakeBench() {
    if (pid > 0) reapPeer(pid);
    if (reportFd >= 0) close(reportFd);
  }

  // Every line reported so far.
  std::vector<std::string> reports() {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(reportFd, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1)
      lines.push_back(text.substr(start, end - start));
    return lines;
  }
};
