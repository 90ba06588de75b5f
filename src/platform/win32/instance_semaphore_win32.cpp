// The instance semaphore and the role-decision lock on Windows: named kernel objects of the
// session, which the system closes with the last process that has them open.
#include "platform/platform.h"

namespace {

const char kSemaphoreName[] = "Oculant_Semaphore";
const char kRoleLockName[] = "Oculant_RoleDecision";
// A start that hangs mid-decision holds the next ones no longer than this.
constexpr DWORD kRoleLockWaitMs = 2000;

HANDLE semaphore = nullptr;
int32_t heldUnits = 0;
HANDLE roleLock = nullptr;
bool roleLockOwned = false;

}  // namespace

bool openInstanceSemaphore() {
  if (semaphore) return true;
  semaphore = OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, kSemaphoreName);
  return semaphore != nullptr;
}

bool createInstanceSemaphore(int32_t initialCount, int32_t maximumCount) {
  if (semaphore) return false;
  semaphore = CreateSemaphoreA(nullptr, initialCount, maximumCount, kSemaphoreName);
  if (!semaphore) return false;
  heldUnits = initialCount;
  return true;
}

bool releaseInstanceSemaphore(int32_t count, int32_t* previousCount) {
  LONG previous = 0;
  if (!semaphore || count <= 0 || !ReleaseSemaphore(semaphore, count, &previous)) return false;
  heldUnits += count;
  if (previousCount != nullptr) *previousCount = previous;
  return true;
}

bool waitInstanceSemaphore(int timeoutMs) {
  if (!semaphore || heldUnits <= 0) return false;
  const DWORD waited =
      WaitForSingleObject(semaphore, static_cast<DWORD>(timeoutMs > 0 ? timeoutMs : 0));
  if (waited != WAIT_OBJECT_0) return false;
  --heldUnits;
  return true;
}

// The system has no call that reads a semaphore's count: one unit taken and given back tells it.
int32_t instanceSemaphoreCount() {
  if (!semaphore) return -1;
  if (WaitForSingleObject(semaphore, 0) != WAIT_OBJECT_0) return 0;
  LONG previous = 0;
  ReleaseSemaphore(semaphore, 1, &previous);
  return previous + 1;
}

// An abandoned mutex (its owner ended mid-decision) is owned by the waiter all the same.
void beginRoleDecision() {
  if (!roleLock) roleLock = CreateMutexA(nullptr, FALSE, kRoleLockName);
  if (!roleLock || roleLockOwned) return;
  const DWORD waited = WaitForSingleObject(roleLock, kRoleLockWaitMs);
  roleLockOwned = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

void endRoleDecision() {
  if (roleLockOwned) ReleaseMutex(roleLock);
  roleLockOwned = false;
}
