// The stand-in for CreateProcessA("oculant.exe"): starts another instance of the running
// executable.
#pragma once

// Starts the running executable again in the current folder with this process's environment
// and no arguments. No handle of this process is passed on. The new process is not a child
// of this one (nobody waits for it here); it goes to the nearest subreaper. A failure is
// silent.
void startInstanceProcess();
