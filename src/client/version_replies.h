// The version replies for the request under way; the frame replies' handler in client.cpp hands
// them over. Internal to the client library.
#pragma once

#include "exchange.h"

namespace oculant {

void receiveVersionReply(const Reply& data);

}  // namespace oculant
