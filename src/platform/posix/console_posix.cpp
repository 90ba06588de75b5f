#include <unistd.h>

#include "platform/console.h"

bool standardErrorIsTerminal() {
  return isatty(STDERR_FILENO) == 1;
}

void makeStandardOutputBinary() {}
