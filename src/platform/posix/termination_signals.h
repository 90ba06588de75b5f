// SIGINT (Ctrl+C in a terminal) and SIGTERM close the process's window, as the user closing it
// would: the quit cascade then ends the other instances and every window's sockets are removed.
#pragma once

// Installs the handlers, once. A second signal of either kind ends the process at once, for a
// process that cannot close (a message box waiting for its user).
void catchTerminationSignals();

// Readable once a signal has come; -1 before the handlers are installed.
int terminationWakeFd();

// True once for every signal that came since the last call.
bool takeTerminationRequest();
