// Markup text parser: tags, attributes and the text after each tag, with entities decoded.
//
// The parser knows no particular tag and has no error state: whatever the bytes, every '<' outside a
// tag starts a token and the text between tags lands in the token that precedes it or nowhere.
#include "kez_markup.h"

// Tag reading phases: what the next run of name characters means.
enum { MARKUP_WANT_TAG = 0, MARKUP_AFTER_NAME = 1, MARKUP_AFTER_EQUALS = 2 };

struct MarkupEntity {
  const char *name;
  const char *text;
};

static const MarkupEntity MARKUP_ENTITIES[] = {
    {"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}, {"nbsp", " "},
};

static bool _markup_is_alnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

static bool _markup_is_name(char c) { return _markup_is_alnum(c) || c == '-' || c == '_'; }

static const char *_markup_entity_text(const std::string &name) {
  for (const MarkupEntity &entity : MARKUP_ENTITIES)
    if (name == entity.name) return entity.text;
  return "?";
}

size_t markup_entities_decode(std::string &out, const std::string &text, size_t amp, size_t end) {
  size_t pos = amp + 1;
  while (pos < end && _markup_is_alnum(text[pos])) pos++;
  std::string name = text.substr(amp + 1, pos - amp - 1);
  if (pos < end && text[pos] == ';') pos++;  // the ';' is optional
  out += _markup_entity_text(name);
  return pos;
}

// Reads a quoted value starting at the opening quote; returns the position after the closing quote (or
// the end, for an unclosed quote).
static size_t _markup_read_quoted(std::string &value, const std::string &text, size_t pos) {
  const char quote = text[pos++];
  const size_t end = text.size();
  while (pos < end && text[pos] != quote) {
    if (text[pos] == '&')
      pos = markup_entities_decode(value, text, pos, end);
    else
      value += text[pos++];
  }
  return pos < end ? pos + 1 : end;
}

static size_t _markup_name_end(const std::string &text, size_t pos) {
  while (pos < text.size() && _markup_is_name(text[pos])) pos++;
  return pos;
}

size_t markup_read_tag(const var &token, const std::string &text, size_t pos) {
  int phase = MARKUP_WANT_TAG;
  std::string last_name;
  while (pos < text.size()) {
    char c = text[pos];
    if (c == '>') return pos + 1;
    if (_markup_is_name(c)) {
      size_t end = _markup_name_end(text, pos);
      std::string run = text.substr(pos, end - pos);
      pos = end;
      if (phase == MARKUP_WANT_TAG) var_index_string(token, "tag") = var(run);
      if (phase == MARKUP_AFTER_EQUALS)
        var_index_string(token, last_name) = var(run);  // an unquoted value
      else
        last_name = run;  // a name without a value is forgotten when the next one comes
      phase = MARKUP_AFTER_NAME;
    } else if (c == '"' || c == '\'') {
      std::string value;
      pos = _markup_read_quoted(value, text, pos);
      if (phase == MARKUP_AFTER_EQUALS) {
        var_index_string(token, last_name) = var(value);
        phase = MARKUP_AFTER_NAME;
      }
    } else {
      if (c == '/') var_index_string(token, "closed") = var(1);
      if (c == '=') phase = MARKUP_AFTER_EQUALS;
      pos++;  // blanks, a stray '<' and other punctuation are skipped
    }
  }
  return pos;
}

// Hands the text read since the last tag to `current` when it takes text (an opening tag that holds
// no content yet); else, when `keep` is set and there is text, to a token of its own in `tokens`.
static void _markup_text_place(const var &tokens, const var &current, const std::string &pending, bool keep) {
  if (!current.has("closed") && !current.has("content")) {
    var_index_string(current, "content") = var(pending);
  } else if (keep && !pending.empty()) {
    var loose;
    var_dict0(loose);
    var_index_string(loose, "content") = var(pending);
    tokens.append(loose);
  }
}

// The scan both parsers share; `keep` keeps the text that no opening tag takes.
static var _markup_scan(const std::string &text, size_t max_tags, bool keep) {
  var tokens, current;
  var_new_list(tokens);
  var_dict0(current);  // takes the text before the first tag, and is never listed
  if (keep) var_index_string(current, "closed") = var(1);  // its text then stands as a token of its own
  std::string pending;
  size_t pos = 0, tags = 0;
  while (pos < text.size()) {
    char c = text[pos];
    if (c == '<') {
      _markup_text_place(tokens, current, pending, keep);
      if (tags++ == max_tags) return tokens;  // the last tag listed has its text
      pending.clear();
      var token;
      var_dict0(token);
      pos = markup_read_tag(token, text, pos + 1);
      tokens.append(token);
      current = token;
    } else if (c == '&') {
      pos = markup_entities_decode(pending, text, pos, text.size());
    } else {
      pending += c;
      pos++;
    }
  }
  if (keep) _markup_text_place(tokens, current, pending, keep);  // markup_parse drops the text after the last tag
  return tokens;
}

var markup_parse(const std::string &text, size_t max_tags) { return _markup_scan(text, max_tags, false); }

var markup_parse_text(const std::string &text) { return _markup_scan(text, SIZE_MAX, true); }
