// Fetches one stereo pair from the running bench and prints both frames' sizes.
#include <oculant/client.h>

#include <cstdio>

int main() {
  oculant::Client bench;
  oculant::Frame left, right;
  if (!bench.grabPair(&left, &right)) {
    std::fprintf(stderr, "%s\n", bench.error().c_str());
    return 1;
  }
  std::printf("%d x %d, %d x %d\n", left.width, left.height, right.width, right.height);
  return 0;
}
