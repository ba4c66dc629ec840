// Fuzz target for the JSON reader: any bytes go through the push parser under a configuration the
// first byte picks, then through the builder, whose value is walked to the bottom. Sanitizer reports
// and crashes are the failures; syntax errors are expected and only print their line.
#include <cstddef>
#include <cstdint>

#include "JSON_parser.h"
#include "kez_json.h"

static int count_tokens(void *context, int, const JSON_value *) {
  ++*static_cast<size_t *>(context);
  return 1;
}

// Visits every element of every container, reading each scalar's text form.
static size_t walk(const var &value, int depth) {
  size_t seen = value.str().size();
  if (depth > 64 || (value.type() != VAR_LIST && value.type() != VAR_DICT)) return seen;
  var it = value.iter(), key, element;
  while (it.next_kv(key, element)) seen += walk(element, depth + 1);
  return seen;
}

static void parse_raw(const uint8_t *data, size_t size) {
  if (size == 0) return;
  size_t tokens = 0;
  int depth = 1 + data[0] % JSON_PARSER_MAX_DEPTH;
  JSON_config config = {count_tokens, &tokens, depth, (data[0] & 0x40) != 0, (data[0] & 0x80) != 0};
  JSON_parser *parser = JSON_parser_new(&config);
  if (!parser) return;
  size_t i = 1;
  while (i < size && JSON_parser_char(parser, data[i])) i++;
  if (i == size) JSON_parser_end(parser);
  JSON_parser_free(parser);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  parse_raw(data, size);
  var result;
  json_decode(result, reinterpret_cast<const char *>(data), size);
  walk(result, 0);
  return 0;
}
