// Base64 with the standard alphabet (RFC 4648): the art widgets carry their image data as such text.
#pragma once

#include <cstddef>
#include <string>

// The text of `count` bytes: 4 characters per 3 bytes, "=" padded, no line breaks; "" for no bytes.
std::string base64_encode(const void *data, size_t count);
// The bytes of `text`, read up to the first "=" or the first character outside the alphabet (stopping
// there silently); missing padding is accepted and a single leftover character gives nothing.
std::string base64_decode(const std::string &text);
