// The info panel's text is Windows-1251; the screen wants UTF-8.
#pragma once

#include <string>

// Converts Windows-1251 text to UTF-8. Carriage returns are dropped, so "\r\n" becomes "\n".
std::string cp1251ToUtf8(const char* text);
