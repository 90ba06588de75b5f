// "oculant-scene generate": writes a random scene (and poses) from a seed into a folder.
#pragma once

// args[0] is "generate"; the result is the process's exit status.
int runGenerateCommand(int count, char** args);
