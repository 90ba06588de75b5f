#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/console.h"

bool standardErrorIsTerminal() {
  return _isatty(_fileno(stderr)) != 0;
}

void makeStandardOutputBinary() {
  _setmode(_fileno(stdout), _O_BINARY);
}
