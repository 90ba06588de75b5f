// The ground-truth replies (camera info, colour, depth) for the capture under way; the frame
// replies' handler in client.cpp hands them over. Internal to the client library.
#pragma once

#include "platform/win32.h"

namespace oculant {

LRESULT receiveGroundTruthReply(HWND target, HWND sender, const COPYDATASTRUCT& data);

}  // namespace oculant
