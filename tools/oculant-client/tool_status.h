// How the tool's commands end: messages on stderr and the exit status that goes with them.
#pragma once

#include <string>

#include "oculant/client.h"

constexpr int EXIT_USAGE = 2;

// Prints the message and gives the failure status (1).
int fail(const std::string& message);

// Prints the message and the command's help and gives the usage status (2).
int usageError(const std::string& message, const char* help);

// The longest any one message may wait (--timeout), in seconds.
extern double toolTimeoutSeconds;

// Connects and checks that a bench runs; a non-zero result is the exit status of a failure.
int connect(oculant::Client& client);
