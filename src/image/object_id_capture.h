// Object ids: which scene object each pixel sees, drawn as flat colours and read back. The
// colour holds the id's bits exactly, in as many bits per channel as the colour buffer keeps
// (a 16-bit 5-6-5 buffer still holds ids up to 1023 in red and green).
#pragma once

#include <cstdint>
#include <vector>

// Makes the colour that encodes id (0 and up) the current colour of the GL context.
void setObjectIdColour(uint16_t id);

// Reads the lower-left width x height pixels of the current context's colour buffer, drawn with
// setObjectIdColour, back as ids, bottom row first. False (ids emptied) for a negative or
// oversized side.
bool captureObjectIds(std::vector<uint16_t>* ids, int width, int height);
