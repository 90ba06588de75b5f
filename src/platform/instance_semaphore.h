// The stand-in for the named counting semaphore that numbers the instances of one bench
// (OpenSemaphoreA, CreateSemaphoreA, ReleaseSemaphore, WaitForSingleObject).
//
// Every unit is a lock held on one of a row of slot files in the runtime folder, and every
// process that has the semaphore open holds a shared lock on its handle file. The kernel drops
// the locks of a process that ends in any way, so the units of a crashed or killed instance
// come back by themselves, a folder left behind by a crash never blocks the next start, and
// nothing outlives the processes but a few empty files.
#pragma once

#include <cstdint>

// Opens the existing semaphore of this bench. False when there is none: never created, or
// every process that had it open has ended.
bool openInstanceSemaphore();

// Creates the semaphore with its maximum count and takes the initial units for this process.
// False when it cannot be made; later releases and waits then do nothing.
bool createInstanceSemaphore(int32_t initialCount, int32_t maximumCount);

// Adds count units, held by this process. False (and nothing changed) when that would pass
// the maximum or no semaphore is open. *previousCount receives the count before the release.
bool releaseInstanceSemaphore(int32_t count, int32_t* previousCount);

// Gives back one unit that this process holds. False when it holds none (the time-out is
// kept for the call sites' sake: there is nothing to wait for).
bool waitInstanceSemaphore(int timeoutMs);

// The current count; -1 when no semaphore is open here.
int32_t instanceSemaphoreCount();

// Serialises the role decision between processes that start at the same moment. The lock
// goes with the process if it ends before endRoleDecision.
void beginRoleDecision();
void endRoleDecision();
