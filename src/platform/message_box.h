// The stand-in for MessageBoxA. The text always also goes to stderr as "Error: <text>"
// (with the caption in place of "Error" for other captions). With OCULANT_HEADLESS=1 or no
// display, no box is shown and the call returns at once. Otherwise the call returns when the box
// is closed; meanwhile the instance messages sent to this process's windows are still served,
// so window procedures may run inside this call.
#pragma once

enum MessageBoxIcon { MESSAGE_BOX_PLAIN, MESSAGE_BOX_ERROR };

void showMessageBox(const char* text, const char* caption, MessageBoxIcon icon);
