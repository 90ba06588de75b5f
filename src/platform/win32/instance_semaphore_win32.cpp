// The instance semaphore and the role-decision lock on Windows: named kernel objects of the
// session, which the system closes with the last process that has them open.
//
// A semaphore keeps the units of a process that was killed. So every unit taken is also marked
// by owning one of a row of named mutexes: the system abandons the mutexes of a process that
// ends, and the next start, deciding its role, gives back one unit per abandoned mark. Every
// process keeps the whole row open, so a mark outlives its owner for the others to see.
#include <string>

#include "platform/platform.h"

namespace {

const char kSemaphoreName[] = "Oculant_Semaphore";
const char kRoleLockName[] = "Oculant_RoleDecision";
// A start that hangs mid-decision holds the next ones no longer than this.
constexpr DWORD kRoleLockWaitMs = 2000;

HANDLE semaphore = nullptr;
int32_t heldUnits = 0;

constexpr int kUnitMarks = 10;  // the semaphore's maximum count
HANDLE unitMarks[kUnitMarks] = {};
int ownedMarks[kUnitMarks];  // indexes of the marks this process owns, one per unit held
int ownedMarkCount = 0;

void openUnitMarks() {
  for (int i = 0; i < kUnitMarks; ++i) {
    if (unitMarks[i]) continue;
    const std::string name = "Oculant_Unit_" + std::to_string(i);
    unitMarks[i] = CreateMutexA(nullptr, FALSE, name.c_str());
  }
}

bool ownsMark(int index) {
  for (int i = 0; i < ownedMarkCount; ++i)
    if (ownedMarks[i] == index) return true;
  return false;
}

// Tries to own mark index. A mark whose owner ended is handed over abandoned: that owner's
// unit is given back first.
bool tryToOwnMark(int index) {
  const DWORD waited = WaitForSingleObject(unitMarks[index], 0);
  if (waited == WAIT_ABANDONED) WaitForSingleObject(semaphore, 0);
  return waited == WAIT_ABANDONED || waited == WAIT_OBJECT_0;
}

// Takes back the units of processes that ended holding them: one per abandoned mark.
void reclaimUnitsOfEndedProcesses() {
  for (int i = 0; i < kUnitMarks; ++i) {
    if (unitMarks[i] && !ownsMark(i) && tryToOwnMark(i)) ReleaseMutex(unitMarks[i]);
  }
}

void markUnitTaken() {
  for (int i = 0; i < kUnitMarks && ownedMarkCount < kUnitMarks; ++i) {
    if (unitMarks[i] && !ownsMark(i) && tryToOwnMark(i)) {
      ownedMarks[ownedMarkCount++] = i;
      return;
    }
  }
}

void markUnitGivenBack() {
  if (ownedMarkCount > 0) ReleaseMutex(unitMarks[ownedMarks[--ownedMarkCount]]);
}
HANDLE roleLock = nullptr;
bool roleLockOwned = false;

}  // namespace

bool openInstanceSemaphore() {
  if (semaphore) return true;
  semaphore = OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, kSemaphoreName);
  if (!semaphore) return false;
  openUnitMarks();
  reclaimUnitsOfEndedProcesses();
  return true;
}

bool createInstanceSemaphore(int32_t initialCount, int32_t maximumCount) {
  if (semaphore) return false;
  semaphore = CreateSemaphoreA(nullptr, initialCount, maximumCount, kSemaphoreName);
  if (!semaphore) return false;
  openUnitMarks();
  heldUnits = initialCount;
  for (int32_t i = 0; i < initialCount; ++i) markUnitTaken();
  return true;
}

bool releaseInstanceSemaphore(int32_t count, int32_t* previousCount) {
  LONG previous = 0;
  if (!semaphore || count <= 0 || !ReleaseSemaphore(semaphore, count, &previous)) return false;
  heldUnits += count;
  for (int32_t i = 0; i < count; ++i) markUnitTaken();
  if (previousCount != nullptr) *previousCount = previous;
  return true;
}

bool waitInstanceSemaphore(int timeoutMs) {
  if (!semaphore || heldUnits <= 0) return false;
  const DWORD waited =
      WaitForSingleObject(semaphore, static_cast<DWORD>(timeoutMs > 0 ? timeoutMs : 0));
  if (waited != WAIT_OBJECT_0) return false;
  --heldUnits;
  markUnitGivenBack();
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
