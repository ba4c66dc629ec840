// JSON reader: turns JSON text into `var` values (objects become dicts, arrays lists, null none).
#pragma once

#include <cstddef>
#include <string>

#include "kez_var.h"

// Decodes up to `length` bytes of `text` (a NUL byte ends it early) into `result`: 0 when the text was
// accepted, 1 after a syntax error, which is reported on stderr; `result` then keeps what was built up
// to the error. A text with no value at all leaves `result` as it was.
int json_decode(var &result, const char *text, size_t length);
// The value of `text`, decoded starting from none, whatever the status.
var json_decode_string(const std::string &text);
