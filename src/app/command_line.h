// The bench's command line. The bench is started without arguments; --version and --help
// answer and end, and anything else is ignored, as it always was.
#pragma once

// Prints the answer to --version or --help and returns true when one was asked for.
bool answerCommandLine(int argc, char** argv);
