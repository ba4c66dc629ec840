// UTF-8: telling well-formed characters from stray bytes in text that came from outside.
#pragma once

#include <cstddef>

// The length (1 to 4) of the well-formed UTF-8 character that starts at s, of the n bytes there;
// 0 when none does (a stray continuation byte, a cut or overlong sequence, a surrogate, a code past
// U+10FFFF, or n = 0).
size_t utf8_char_length(const char *s, size_t n);
