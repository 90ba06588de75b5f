// The standard streams as a command-line tool sees them.
#pragma once

// True when standard error is a terminal (not a file or a pipe), where a line may be redrawn.
bool standardErrorIsTerminal();

// Makes standard output pass bytes as they are (Windows would turn "\n" into "\r\n").
void makeStandardOutputBinary();
