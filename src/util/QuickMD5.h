// QuickMD5: the MD5 digest of a text as 32 lower-case hex digits. The form uses it to notice
// that the block it was built from changed.
#pragma once

#include <string>

std::string QuickMD5(const std::string& text);
