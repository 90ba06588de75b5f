// Which bench a window belongs to, and waiting for a bench to be up: both ask windows for their
// VersionInfo (docs/protocol.md, "Extensions").
#include <chrono>
#include <cstring>
#include <thread>

#include "exchange.h"
#include "oculant/client.h"
#include "window_names.h"
#include "wire/extension_messages.h"
#include "wire/wire_format.h"

namespace oculant {
namespace {

// A version request under way, which its reply fills.
struct PendingVersion {
  int role = -1;
  BenchVersion* version = nullptr;
  bool answered = false;
};

void receiveVersionReply(void* request, const Reply& data) {
  PendingVersion& pending = *static_cast<PendingVersion*>(request);
  if (data.code != MSG_EXT_VERSION_INFO + pending.role || data.length < sizeof(VersionInfo)) {
    return;
  }
  VersionInfo info;
  std::memcpy(&info, data.data, sizeof info);
  pending.version->protocol = info.protocol;
  pending.version->version.assign(info.benchVersion,
                                  strnlen(info.benchVersion, sizeof info.benchVersion));
  pending.answered = true;
}

}  // namespace

uint32_t protocolVersion() {
  return kProtocolVersion;
}

Client::Failure Client::askVersion(int role, BenchVersion* version) {
  PendingVersion pending{role, version, false};
  const Failure sent = sendToClass(kWindowClass[role], kWindowName[role], MSG_EXT_VERSION, 0,
                                   nullptr, receiveVersionReply, &pending);
  const bool answered = pending.answered;
  if (sent != Failure::NONE) return sent;
  if (!answered) {
    // Benches from before this message handle it without a word.
    fail(Failure::BAD_ANSWER, std::string("the ") + kWindowName[role] +
                                  " did not say its version: a bench older than this client, "
                                  "which speaks protocol " +
                                  std::to_string(kProtocolVersion));
    return failure_;
  }
  if (version->protocol != kProtocolVersion) {
    fail(Failure::BAD_ANSWER, "the bench (" + version->version + ") speaks protocol " +
                                  std::to_string(version->protocol) + ", this client protocol " +
                                  std::to_string(kProtocolVersion) +
                                  ": use the client of the bench's version");
    return failure_;
  }
  return Failure::NONE;
}

bool Client::benchVersion(BenchVersion* version) {
  if (version == nullptr) return fail(Failure::OTHER, "no version to fill");
  // The scene answers for the bench; a bench whose scene was closed still has its cameras.
  for (int role = 0; role < 3; ++role) {
    const Failure asked = askVersion(role, version);
    if (asked != Failure::NOT_RUNNING) return asked == Failure::NONE;
  }
  return fail(Failure::NOT_RUNNING, "no bench is running" + lookedIn());
}

bool Client::waitForBench(double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  const double ownTimeout = timeout();
  bool up[3] = {false, false, false};
  for (;;) {
    const double left =
        std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
    setTimeout(left > 0.001 ? left : 0.001);
    for (int role = 0; role < 3; ++role) {
      BenchVersion version;
      if (!up[role]) up[role] = askVersion(role, &version) == Failure::NONE;
      // Another protocol will not change by waiting.
      if (!up[role] && failure_ == Failure::BAD_ANSWER && version.protocol != 0) {
        setTimeout(ownTimeout);
        return false;
      }
    }
    setTimeout(ownTimeout);
    if (up[0] && up[1] && up[2]) {
      failure_ = Failure::NONE;
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline || !ready()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::string missing;
  for (int role = 0; role < 3; ++role) {
    if (!up[role]) missing += std::string(missing.empty() ? "" : ", ") + kWindowName[role];
  }
  char waited[32];
  std::snprintf(waited, sizeof waited, "%g", seconds);
  return fail(Failure::NOT_RUNNING,
              "no answer within " + std::string(waited) + " s from the " + missing + lookedIn());
}

}  // namespace oculant
