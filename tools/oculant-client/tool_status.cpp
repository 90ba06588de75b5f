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
    // Windows has no runtime folder: the bench is looked for by its windows' classes.
    const std::string& folder = client.runtimeFolder();
    return fail(folder.empty() ? "no bench is running"
                               : "no bench is running (looked in " + folder + ")");
  }
  return 0;
}
