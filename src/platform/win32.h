// The former name of platform/windows_vocabulary.h, still included by the transport's headers.
#pragma once

#include "platform/windows_vocabulary.h"
