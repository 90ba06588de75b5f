// The shell's steps that need no display: a drive step of the rig, the start of the missing
// cameras and the end of an instance. Apart from the GL life cycle (app/lifecycle.h), so that
// unit tests run them on the null platform.
#pragma once

#include "messaging/instance.h"
#include "platform/windows_vocabulary.h"

// One drive step: 0.05 along the heading, the new position to both cameras from sender, then
// the log.
void advanceRig(Instance& instance, HWND sender);

// Starts the executable once for each camera window that is missing: twice for a fresh bench,
// where the order in which they decide their roles makes one the left camera and the other the
// right one.
void startCameraInstances();

// Gives back this instance's unit of the semaphore, tells both cameras to quit, ends the loop;
// notes the window as the instance's destroyedWindow.
void onDestroy(Instance& instance, HWND window);
