// UTF-8: the length of one well-formed character, by the ranges of RFC 3629.
#include "kez_utf8.h"

static bool _utf8_in(unsigned char c, unsigned char low, unsigned char high) { return c >= low && c <= high; }

size_t utf8_char_length(const char *text, size_t n) {
  if (n == 0) return 0;
  const unsigned char *s = (const unsigned char *)text;
  const unsigned char c = s[0];
  if (c < 0x80) return 1;
  size_t length;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte, narrowed where overlongs lie
  if (_utf8_in(c, 0xC2, 0xDF)) {
    length = 2;
  } else if (_utf8_in(c, 0xE0, 0xEF)) {
    length = 3;
    if (c == 0xE0) low = 0xA0;   // below is overlong
    if (c == 0xED) high = 0x9F;  // above are the surrogates
  } else if (_utf8_in(c, 0xF0, 0xF4)) {
    length = 4;
    if (c == 0xF0) low = 0x90;   // below is overlong
    if (c == 0xF4) high = 0x8F;  // above is past U+10FFFF
  } else {
    return 0;
  }
  if (n < length || !_utf8_in(s[1], low, high)) return 0;
  for (size_t i = 2; i < length; i++) {
    if (!_utf8_in(s[i], 0x80, 0xBF)) return 0;
  }
  return length;
}
