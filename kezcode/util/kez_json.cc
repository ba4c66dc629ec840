// JSON reader: builds a `var` from the events of the JSON push parser.
//
// The containers still open are kept as shared handles, innermost last: a value is added to the
// innermost one, so the handles of the outer ones stay valid while it grows.
#include "kez_json.h"

#include <cstdio>
#include <vector>

#include "JSON_parser.h"

// Containers open at once; the 17th opening bracket is a syntax error.
constexpr int JSON_DEPTH = 16;

struct JsonBuilder {
  var *result;
  std::vector<var> open;  // the containers not yet closed, innermost last
  std::string key;        // the key the next value of a dict goes under
};

static void _json_add(JsonBuilder *b, const var &value) {
  if (b->open.empty()) return;  // nowhere to put it
  const var &current = b->open.back();
  if (current.type() == VAR_LIST)
    current.append(value);
  else
    var_index_string(current, b->key) = value;  // a repeated key replaces the earlier value
}

static void _json_open(JsonBuilder *b, int type) {
  var container;
  if (type == JSON_T_ARRAY_BEGIN)
    var_new_list(container);
  else
    var_dict0(container);
  if (b->open.empty())
    *b->result = container;
  else
    _json_add(b, container);
  b->open.push_back(container);
}

static int _json_event(void *context, int type, const JSON_value *value) {
  JsonBuilder *b = static_cast<JsonBuilder *>(context);
  switch (type) {
    case JSON_T_ARRAY_BEGIN:
    case JSON_T_OBJECT_BEGIN: _json_open(b, type); break;
    case JSON_T_ARRAY_END:
    case JSON_T_OBJECT_END:
      if (!b->open.empty()) b->open.pop_back();
      break;
    case JSON_T_INTEGER: _json_add(b, var(double(value->integer))); break;
    case JSON_T_FLOAT: _json_add(b, var(value->number)); break;
    case JSON_T_NULL: _json_add(b, var()); break;
    case JSON_T_TRUE: _json_add(b, var(true)); break;
    case JSON_T_FALSE: _json_add(b, var(false)); break;
    case JSON_T_STRING: _json_add(b, var(std::string(value->text, value->length))); break;
    case JSON_T_KEY: b->key.assign(value->text, value->length); break;
  }
  return 1;
}

int json_decode(var &result, const char *text, size_t length) {
  JsonBuilder builder = {&result, {}, {}};
  JSON_config config = {_json_event, &builder, JSON_DEPTH, true, false};
  JSON_parser *parser = JSON_parser_new(&config);
  if (!parser) return 1;  // out of memory
  int status = 0;
  for (size_t i = 0; i < length && text[i] != 0; i++) {
    if (!JSON_parser_char(parser, static_cast<unsigned char>(text[i]))) {
      fprintf(stderr, "JSON_parser_char: syntax error, byte %d\n", static_cast<int>(i));
      status = 1;
      break;
    }
  }
  if (status == 0 && !JSON_parser_end(parser)) {
    fprintf(stderr, "JSON_parser_end: syntax error\n");
    status = 1;
  }
  JSON_parser_free(parser);
  return status;
}

var json_decode_string(const std::string &text) {
  var result;
  json_decode(result, text.data(), text.size());
  return result;
}
