// Fuzz target for the markup text parser, both ways: any bytes must give a list of token dicts whose
// values are strings or the "closed" marker 1 (an attribute written as closed=... replaces the marker
// with its string, like any repeated key); markup_parse gives no more of them than '<' bytes, and
// markup_parse_text at most one text token more than a tag for each tag and one before the first. A
// broken rule traps, as do sanitizer reports and crashes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "kez_markup.h"

static void check_token(const var &token) {
  if (token.type() != VAR_DICT) __builtin_trap();
  var it = token.iter(), key, value;
  while (it.next_kv(key, value)) {
    bool marker = key.str() == "closed" && value.type() == VAR_NUMBER && value.number() == 1.0;
    if (!marker && value.type() != VAR_STRING) __builtin_trap();
  }
}

// Checks a token list and returns its length.
static size_t check_tokens(const var &tokens) {
  if (tokens.type() != VAR_LIST) __builtin_trap();
  var it = tokens.iter(), token;
  while (it.next(token)) check_token(token);
  return size_t(tokens.len());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  size_t brackets = 0;
  for (char c : text) brackets += c == '<';
  if (check_tokens(markup_parse(text)) > brackets) __builtin_trap();
  if (check_tokens(markup_parse_text(text)) > 2 * brackets + 1) __builtin_trap();
  return 0;
}
