// The stand-in for the named counting semaphore that numbers the instances of one bench
// (OpenSemaphoreA, CreateSemaphoreA, ReleaseSemaphore, WaitForSingleObject).
//
// A System V semaphore found through a key file in the runtime folder. Every change a process
// makes is made with SEM_UNDO, so the units of a process that dies in any way come back by
// themselves. A second counter in the same set counts the processes that hold the semaphore
// open: when it is 0 the semaphore is treated as gone, as a Windows semaphore is once its last
// handle closes, so a folder left behind by a crash never blocks the next start.
#pragma once

#include <cstdint>

// Opens the existing semaphore of this bench. False when there is none (or nobody holds it).
bool openInstanceSemaphore();

// Creates the semaphore with the initial count, this process's unit included. False when it
// cannot be made; later releases and waits then do nothing.
bool createInstanceSemaphore(int32_t initialCount, int32_t maximumCount);

// Adds count units. False (and nothing changed) when that would pass the maximum or no
// semaphore is open. *previousCount receives the count before the release.
bool releaseInstanceSemaphore(int32_t count, int32_t* previousCount);

// Takes one unit, waiting at most timeoutMs for one. False when none could be taken.
bool waitInstanceSemaphore(int timeoutMs);

// The current count; -1 when no semaphore is open.
int32_t instanceSemaphoreCount();

// Serialises the role decision between processes that start at the same moment. The lock
// goes with the process if it ends before endRoleDecision.
void beginRoleDecision();
void endRoleDecision();
