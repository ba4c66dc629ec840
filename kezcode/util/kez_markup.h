// Markup text parser: splits the screens' HTML-like markup into a flat list of tag tokens.
//
// A token is a dict: "tag" (the name as written), "closed" (the number 1 when a '/' stood anywhere in
// the tag), one string per attribute that got a value, and "content" (the decoded text after an opening
// tag up to the next tag). Text before the first tag and after a closing or self-closing tag is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "kez_var.h"

// The token list of `text`, one dict per tag in text order, at most max_tags of them (the text after
// the last one listed is not read). Never fails: any bytes give a list.
var markup_parse(const std::string &text, size_t max_tags = SIZE_MAX);
// The token list of `text` with all of its text kept, for a reader that places loose text itself: the
// tag tokens of markup_parse, the text after the last tag given to that tag when it is an opening one,
// and each run of text that no opening tag takes (before the first tag, after a closing or
// self-closing one) a token of its own holding only its "content".
var markup_parse_text(const std::string &text);
// Reads one tag into the dict `token` ("tag", "closed", its attributes) from just after its '<';
// returns the position after its '>' (the end of the text for an unterminated tag).
size_t markup_read_tag(const var &token, const std::string &text, size_t pos);
// Appends the replacement of the entity whose '&' is at `amp` (reading no further than `end`) to `out`
// and returns the position after the entity. A name outside the table, also an empty one, gives "?".
size_t markup_entities_decode(std::string &out, const std::string &text, size_t amp, size_t end);
