// The folder that makes one bench: sockets, semaphore and locks live there, so benches with
// different folders never meet. $OCULANT_RUNTIME_DIR, else $XDG_RUNTIME_DIR/oculant, else
// /tmp/oculant-<uid>; created with mode 0700 and refused when another user owns it, others
// can enter it or its path leaves no room for a socket name.
#pragma once

#include <string>

// The checked folder, created when missing. Empty, with a reason in *error, when it is unsafe
// or cannot be made.
std::string runtimeDirectory(std::string* error = nullptr);
