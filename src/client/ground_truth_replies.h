// The ground-truth replies (camera info, colour, depth) for the capture under way; the frame
// replies' handler in client.cpp hands them over. Internal to the client library.
#pragma once

#include "exchange.h"

namespace oculant {

void receiveGroundTruthReply(const Reply& data);

}  // namespace oculant
