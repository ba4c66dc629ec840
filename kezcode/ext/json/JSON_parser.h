// JSON push parser: fed one byte at a time, it checks the syntax and reports each token to a callback.
#pragma once

#include <cstddef>
#include <cstdint>

// The token kinds the callback receives.
enum {
  JSON_T_ARRAY_BEGIN = 1,
  JSON_T_ARRAY_END,
  JSON_T_OBJECT_BEGIN,
  JSON_T_OBJECT_END,
  JSON_T_INTEGER,  // value.integer
  JSON_T_FLOAT,    // value.number, or value.text when floats are handed over as text
  JSON_T_NULL,
  JSON_T_TRUE,
  JSON_T_FALSE,
  JSON_T_STRING,  // value.text, NUL-terminated, and value.length in bytes
  JSON_T_KEY,     // the same form as JSON_T_STRING
};

// A token's value; only the fields its kind names are set.
struct JSON_value {
  int64_t integer;  // an integer text outside the 64-bit range arrives as a JSON_T_FLOAT instead
  double number;
  const char *text;  // valid only during the callback
  size_t length;
};

// Takes (context, token kind, value) and returns nonzero to go on; 0 makes the byte count as refused.
typedef int (*JSON_parser_callback)(void *context, int type, const JSON_value *value);

// Most containers a configuration may allow to be open at once.
constexpr int JSON_PARSER_MAX_DEPTH = 64;

struct JSON_config {
  JSON_parser_callback callback;
  void *context;
  int depth;            // containers open at once, 1..JSON_PARSER_MAX_DEPTH
  bool allow_comments;  // /* ... */ wherever whitespace may stand
  bool floats_as_text;  // hand floats over as their text instead of converting them
};

struct JSON_parser;

// A parser at the start of a text; null when the depth is out of range or memory runs out.
JSON_parser *JSON_parser_new(const JSON_config *config);
// Feeds one byte (0..255); false on a syntax error, a refusing callback or exhausted memory, after which
// the parser must only be freed.
bool JSON_parser_char(JSON_parser *parser, int c);
// true when what was fed is complete: nothing but blanks and comments, or one closed object or array.
bool JSON_parser_end(JSON_parser *parser);
// Frees the parser and its token buffer; null is ignored.
void JSON_parser_free(JSON_parser *parser);
