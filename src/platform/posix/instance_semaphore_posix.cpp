// The instance semaphore on POSIX. Every unit is a lock held on one of a row of slot files in
// the runtime folder, and every process that has the semaphore open holds a shared lock on its
// handle file. The kernel drops the locks of a process that ends in any way, so the units of a
// crashed or killed instance come back by themselves, a folder left behind by a crash never
// blocks the next start, and nothing outlives the processes but a few empty files.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/runtime_dir.h"

namespace {

// Holds the maximum count; its shared lock marks the processes that have the semaphore open.
const char kHandleFileName[] = "Oculant_Semaphore";
const char kUnitFilePrefix[] = "Oculant_Semaphore.unit.";
const char kLockFileName[] = "role.lock";
constexpr int32_t kSlotLimit = 64;
constexpr int kRoleLockWaitMs = 2000;

int handleFd = -1;
int32_t maximumCount = 0;
std::vector<int> heldUnits;  // one locked slot file per unit this process holds
int roleLockFd = -1;

std::string pathInRuntimeFolder(const std::string& name) {
  std::string error;
  std::string folder = runtimeDirectory(&error);
  if (folder.empty()) {
    static bool reported = false;
    if (!reported) std::fprintf(stderr, "oculant: %s\n", error.c_str());
    reported = true;
    return std::string();
  }
  return folder + "/" + name;
}

// A link planted at one of these names is never followed: the file it leads to is not ours to
// lock or write. Where the file would be created, the link makes way for it.
int openFile(const std::string& name, int flags) {
  std::string path = pathInRuntimeFolder(name);
  if (path.empty()) return -1;
  int fd = open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0 && errno == ELOOP && (flags & O_CREAT) != 0 && unlink(path.c_str()) == 0) {
    fd = open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW, 0600);
  }
  return fd;
}

bool lockFile(int fd, int operation) {
  while (flock(fd, operation) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

std::string unitFileName(int32_t slot) {
  return kUnitFilePrefix + std::to_string(slot);
}

// True when some process holds the slot. The probe holds the lock for a moment, so counts are
// taken only inside the role decision's lock, where no other probe runs.
bool slotHeld(int32_t slot) {
  int fd = openFile(unitFileName(slot), O_RDWR | O_CREAT);
  if (fd < 0) return false;
  bool held = !lockFile(fd, LOCK_EX | LOCK_NB);
  close(fd);
  return held;
}

bool takeUnit() {
  for (int32_t slot = 0; slot < maximumCount; ++slot) {
    int fd = openFile(unitFileName(slot), O_RDWR | O_CREAT);
    if (fd < 0) return false;
    if (lockFile(fd, LOCK_EX | LOCK_NB)) {
      heldUnits.push_back(fd);
      return true;
    }
    close(fd);
  }
  return false;
}

void dropUnits(size_t keep) {
  while (heldUnits.size() > keep) {
    close(heldUnits.back());
    heldUnits.pop_back();
  }
}

bool readMaximum(int fd, int32_t* maximum) {
  char text[32] = {};
  ssize_t length = pread(fd, text, sizeof text - 1, 0);
  if (length <= 0) return false;
  long value = std::strtol(text, nullptr, 10);
  if (value < 1 || value > kSlotLimit) return false;
  *maximum = static_cast<int32_t>(value);
  return true;
}

}  // namespace

bool openInstanceSemaphore() {
  if (handleFd >= 0) return true;
  int fd = openFile(kHandleFileName, O_RDWR);
  if (fd < 0) return false;
  int32_t maximum = 0;
  // Nobody holds it open: its processes are gone, so it no longer exists.
  if (lockFile(fd, LOCK_EX | LOCK_NB) || !readMaximum(fd, &maximum) || !lockFile(fd, LOCK_SH)) {
    close(fd);
    return false;
  }
  handleFd = fd;
  maximumCount = maximum;
  return true;
}

bool createInstanceSemaphore(int32_t initialCount, int32_t maximum) {
  if (handleFd >= 0 || maximum < 1 || maximum > kSlotLimit || initialCount < 0 ||
      initialCount > maximum) {
    return false;
  }
  int fd = openFile(kHandleFileName, O_RDWR | O_CREAT);
  if (fd < 0) return false;
  std::string text = std::to_string(maximum) + "\n";
  if (!lockFile(fd, LOCK_SH) || ftruncate(fd, 0) != 0 ||
      pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
    close(fd);
    return false;
  }
  handleFd = fd;
  maximumCount = maximum;
  for (int32_t unit = 0; unit < initialCount; ++unit) takeUnit();
  return true;
}

bool releaseInstanceSemaphore(int32_t count, int32_t* previousCount) {
  if (handleFd < 0 || count <= 0) return false;
  int32_t previous = instanceSemaphoreCount();
  if (previous + count > maximumCount) return false;
  size_t heldBefore = heldUnits.size();
  for (int32_t unit = 0; unit < count; ++unit) {
    if (!takeUnit()) {
      dropUnits(heldBefore);
      return false;
    }
  }
  if (previousCount) *previousCount = previous;
  return true;
}

bool waitInstanceSemaphore(int) {
  if (handleFd < 0 || heldUnits.empty()) return false;
  dropUnits(heldUnits.size() - 1);
  return true;
}

int32_t instanceSemaphoreCount() {
  if (handleFd < 0) return -1;
  int32_t count = 0;
  for (int32_t slot = 0; slot < maximumCount; ++slot) {
    if (slotHeld(slot)) ++count;
  }
  return count;
}

void beginRoleDecision() {
  if (roleLockFd >= 0) return;
  roleLockFd = openFile(kLockFileName, O_RDWR | O_CREAT);
  // A start that was stopped mid-decision (SIGSTOP, a debugger) must not hold every later start
  // for ever: after a bounded wait this one decides without the lock.
  for (int waited = 0; roleLockFd >= 0; ++waited) {
    if (flock(roleLockFd, LOCK_EX | LOCK_NB) == 0) return;
    if ((errno != EWOULDBLOCK && errno != EINTR) || waited >= kRoleLockWaitMs) {
      std::fprintf(stderr, "oculant: another start holds the role lock; deciding without it\n");
      return;
    }
    usleep(1000);
  }
}

void endRoleDecision() {
  if (roleLockFd < 0) return;
  close(roleLockFd);
  roleLockFd = -1;
}
