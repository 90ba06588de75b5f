#include "tool_status.h"

#include <cstdio>
#include <cstdlib>

int fail(const std::string& message) {
  std::fprintf(stderr, "oculant-client: %s\n", message.c_str());
  return EXIT_FAILURE;
}

int usageError(const std::string& message, const char* help) {
  std::fprintf(stderr, "oculant-client: %s\n%s", message.c_str(), help);
  return EXIT_USAGE;
}

double toolTimeoutSeconds = 10;

int connect(oculant::Client& client) {
  if (!client.ready()) return fail(client.error());
  client.setTimeout(toolTimeoutSeconds);
  if (!client.benchRunning()) {
    return fail("no bench is running (looked in " + client.runtimeFolder() + ")");
  }
  return 0;
}
