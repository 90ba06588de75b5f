// The replies made while one instance message is handled form a chain per receiver: once one
// is not taken, the ones after it are not sent, so a receiver never gets pixels without their
// header. The window procedure's wrapper opens a chain for every WM_COPYDATA it hands on.
#pragma once

void beginReplyChain();
void endReplyChain();
