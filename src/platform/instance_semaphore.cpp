#include "platform/instance_semaphore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ipc.h>
#include <sys/random.h>
#include <sys/sem.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/runtime_dir.h"

namespace {

// Semaphore numbers inside the set.
constexpr unsigned short kCount = 0;
constexpr unsigned short kHolders = 1;

const char kKeyFileName[] = "Oculant_Semaphore";
const char kLockFileName[] = "role.lock";

int semaphoreId = -1;
int32_t maximumCount = 0;
int roleLockFd = -1;
bool cleanupRegistered = false;

union SemaphoreArgument {
  int val;
  semid_ds* buf;
  unsigned short* array;
};

std::string pathInRuntimeFolder(const char* name) {
  std::string error;
  std::string folder = runtimeDirectory(&error);
  if (folder.empty()) {
    std::fprintf(stderr, "oculant: %s\n", error.c_str());
    return std::string();
  }
  return folder + "/" + name;
}

// The key file holds the System V key and the maximum count the creator asked for.
bool readKeyFile(key_t* key, int32_t* maximum) {
  std::string path = pathInRuntimeFolder(kKeyFileName);
  if (path.empty()) return false;
  FILE* file = std::fopen(path.c_str(), "re");
  if (!file) return false;
  long long keyValue = 0;
  long long maximumValue = 0;
  bool ok = std::fscanf(file, "%lld %lld", &keyValue, &maximumValue) == 2;
  std::fclose(file);
  *key = static_cast<key_t>(keyValue);
  *maximum = static_cast<int32_t>(maximumValue);
  return ok && keyValue != IPC_PRIVATE;
}

bool writeKeyFile(key_t key, int32_t maximum) {
  std::string path = pathInRuntimeFolder(kKeyFileName);
  if (path.empty()) return false;
  // Written beside and renamed, so a reader never sees half a file.
  std::string temporary = path + ".new";
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  FILE* file = fd >= 0 ? fdopen(fd, "w") : nullptr;
  if (!file) {
    if (fd >= 0) close(fd);
    return false;
  }
  bool ok = std::fprintf(file, "%lld %lld\n", static_cast<long long>(key),
                         static_cast<long long>(maximum)) > 0;
  ok = (std::fclose(file) == 0) && ok;
  if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

int valueOf(unsigned short number) {
  if (semaphoreId < 0) return -1;
  return semctl(semaphoreId, number, GETVAL);
}

bool change(unsigned short number, short delta, const timespec* timeout) {
  sembuf operation = {number, delta, SEM_UNDO};
  if (timeout) {
    while (semtimedop(semaphoreId, &operation, 1, timeout) != 0) {
      if (errno != EINTR) return false;
    }
    return true;
  }
  while (semop(semaphoreId, &operation, 1) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// The last process to let go removes the semaphore, so benches do not leave kernel objects
// behind. A process that is killed skips this; the next start then reuses the set.
void removeWhenLastHolder() {
  if (semaphoreId < 0) return;
  beginRoleDecision();
  if (valueOf(kHolders) == 1) {
    semctl(semaphoreId, 0, IPC_RMID);
    std::string path = pathInRuntimeFolder(kKeyFileName);
    if (!path.empty()) std::remove(path.c_str());
  }
  semaphoreId = -1;
  endRoleDecision();
}

void holdOpen() {
  change(kHolders, 1, nullptr);
  if (!cleanupRegistered) {
    cleanupRegistered = true;
    std::atexit(removeWhenLastHolder);
  }
}

key_t randomKey() {
  key_t key = IPC_PRIVATE;
  while (key == IPC_PRIVATE) {
    if (getrandom(&key, sizeof key, 0) != static_cast<ssize_t>(sizeof key)) {
      key = static_cast<key_t>(getpid() ^ time(nullptr));
    }
  }
  return key;
}

}  // namespace

bool openInstanceSemaphore() {
  if (semaphoreId >= 0) return true;
  key_t key;
  int32_t maximum;
  if (!readKeyFile(&key, &maximum)) return false;
  int id = semget(key, 2, 0);
  if (id < 0) return false;
  semaphoreId = id;
  // Nobody holds it: its processes are gone, so it no longer exists for us.
  if (valueOf(kHolders) <= 0) {
    semaphoreId = -1;
    return false;
  }
  maximumCount = maximum;
  holdOpen();
  return true;
}

bool createInstanceSemaphore(int32_t initialCount, int32_t maximum) {
  if (semaphoreId >= 0 || initialCount < 0 || initialCount > maximum) return false;
  key_t key;
  int32_t oldMaximum;
  int id = -1;
  if (readKeyFile(&key, &oldMaximum)) {
    // A set left by processes that were killed: start it again from zero.
    id = semget(key, 2, 0);
    if (id >= 0) {
      unsigned short zeros[2] = {0, 0};
      SemaphoreArgument argument;
      argument.array = zeros;
      if (semctl(id, 0, SETALL, argument) != 0) id = -1;
    }
  }
  if (id < 0) {
    for (int attempt = 0; attempt < 100 && id < 0; ++attempt) {
      key = randomKey();
      id = semget(key, 2, IPC_CREAT | IPC_EXCL | 0600);
      if (id < 0 && errno != EEXIST) break;
    }
    if (id < 0) return false;
  }
  if (!writeKeyFile(key, maximum)) {
    semctl(id, 0, IPC_RMID);
    return false;
  }
  semaphoreId = id;
  maximumCount = maximum;
  if (initialCount > 0) change(kCount, static_cast<short>(initialCount), nullptr);
  holdOpen();
  return true;
}

bool releaseInstanceSemaphore(int32_t count, int32_t* previousCount) {
  if (semaphoreId < 0 || count <= 0) return false;
  int value = valueOf(kCount);
  if (value < 0 || value + count > maximumCount) return false;
  if (!change(kCount, static_cast<short>(count), nullptr)) return false;
  if (previousCount) *previousCount = value;
  return true;
}

bool waitInstanceSemaphore(int timeoutMs) {
  if (semaphoreId < 0) return false;
  timespec timeout = {timeoutMs / 1000, static_cast<long>(timeoutMs % 1000) * 1000000L};
  return change(kCount, -1, &timeout);
}

int32_t instanceSemaphoreCount() {
  return valueOf(kCount);
}

void beginRoleDecision() {
  if (roleLockFd >= 0) return;
  std::string path = pathInRuntimeFolder(kLockFileName);
  if (path.empty()) return;
  roleLockFd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (roleLockFd < 0) return;
  while (flock(roleLockFd, LOCK_EX) != 0 && errno == EINTR) {
  }
}

void endRoleDecision() {
  if (roleLockFd < 0) return;
  flock(roleLockFd, LOCK_UN);
  close(roleLockFd);
  roleLockFd = -1;
}
