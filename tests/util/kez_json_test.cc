// Tests of the JSON reader: the push parser's accepted syntax and token events, then the builder's
// values, partial results and diagnostics.
#include "kez_json.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "JSON_parser.h"

namespace {

// What the parser made of a text: the tokens in order, and where it stopped.
struct Parse {
  std::string events;   // tokens separated by blanks: [ ] { } i:1 f:2.5 s:x k:x true false null
  int refused_at = -1;  // the byte JSON_parser_char refused, or -1
  bool ended = false;   // the end check passed
};

int record(void *context, int type, const JSON_value *value) {
  std::string &out = *static_cast<std::string *>(context);
  if (!out.empty()) out += ' ';
  char number[64];
  switch (type) {
    case JSON_T_ARRAY_BEGIN: out += '['; break;
    case JSON_T_ARRAY_END: out += ']'; break;
    case JSON_T_OBJECT_BEGIN: out += '{'; break;
    case JSON_T_OBJECT_END: out += '}'; break;
    case JSON_T_NULL: out += "null"; break;
    case JSON_T_TRUE: out += "true"; break;
    case JSON_T_FALSE: out += "false"; break;
    case JSON_T_INTEGER:
      snprintf(number, sizeof number, "i:%lld", static_cast<long long>(value->integer));
      out += number;
      break;
    case JSON_T_FLOAT:
      if (value->text) {
        out += "t:" + std::string(value->text, value->length);
      } else {
        snprintf(number, sizeof number, "f:%.17g", value->number);
        out += number;
      }
      break;
    case JSON_T_STRING: out += "s:" + std::string(value->text, value->length); break;
    case JSON_T_KEY: out += "k:" + std::string(value->text, value->length); break;
  }
  return 1;
}

Parse parse(const std::string &text, bool comments = true, bool floats_as_text = false, int depth = 16) {
  Parse result;
  JSON_config config = {record, &result.events, depth, comments, floats_as_text};
  JSON_parser *parser = JSON_parser_new(&config);
  for (size_t i = 0; i < text.size(); i++) {
    if (!JSON_parser_char(parser, static_cast<unsigned char>(text[i]))) {
      result.refused_at = int(i);
      JSON_parser_free(parser);
      return result;
    }
  }
  result.ended = JSON_parser_end(parser);
  JSON_parser_free(parser);
  return result;
}

bool accepted(const std::string &text) {
  Parse p = parse(text);
  return p.refused_at < 0 && p.ended;
}

TEST(JsonParser, reports_tokens_in_text_order) {
  EXPECT_EQ(parse("{\"b\": [1, -2.5, \"x\", true, false, null], \"a\": {}}").events,
            "{ k:b [ i:1 f:-2.5 s:x true false null ] k:a { } }");
  EXPECT_EQ(parse(" [ [ ] , { } ] ").events, "[ [ ] { } ]");
}

TEST(JsonParser, numbers_follow_the_grammar) {
  for (const char *good : {"[0]", "[-0]", "[10]", "[1.]", "[1.5]", "[0.0e5]", "[1e5]", "[1E+5]", "[1.e-5]", "[-0.5]"})
    EXPECT_TRUE(accepted(good)) << good;
  for (const char *bad : {"[01]", "[0e5]", "[+1]", "[-]", "[.5]", "[1e]", "[1e+]", "[1.5e]", "[--1]", "[1.2.3]"})
    EXPECT_FALSE(accepted(bad)) << bad;
  EXPECT_EQ(parse("[1.]").events, "[ f:1 ]");
  EXPECT_EQ(parse("[2e3, 0]").events, "[ f:2000 i:0 ]");
}

TEST(JsonParser, integers_beyond_32_bits_keep_their_value) {
  EXPECT_EQ(parse("[4294967296, -9223372036854775808]").events, "[ i:4294967296 i:-9223372036854775808 ]");
  EXPECT_EQ(parse("[100000000000000000000]").events, "[ f:1e+20 ]");  // beyond 64 bits
}

TEST(JsonParser, floats_can_be_handed_over_as_text) {
  EXPECT_EQ(parse("[1.50, 2]", true, true).events, "[ t:1.50 i:2 ]");
}

TEST(JsonParser, structure_errors_are_refused_at_their_byte) {
  EXPECT_EQ(parse("5").refused_at, 0);
  EXPECT_EQ(parse("\"x\"").refused_at, 0);
  EXPECT_EQ(parse("[1,]").refused_at, 3);
  EXPECT_EQ(parse("{\"a\" 1}").refused_at, 5);
  EXPECT_EQ(parse("{\"a\":1,}").refused_at, 7);
  EXPECT_EQ(parse("{1:2}").refused_at, 1);
  EXPECT_EQ(parse("[1} ").refused_at, 2);
  EXPECT_EQ(parse("[] []").refused_at, 3);
  EXPECT_EQ(parse("[True]").refused_at, 1);
  EXPECT_EQ(parse("[nul]").refused_at, 4);
}

TEST(JsonParser, end_check_needs_a_closed_container_or_nothing) {
  EXPECT_TRUE(accepted(""));
  EXPECT_TRUE(accepted(" \t\r\n"));
  EXPECT_TRUE(accepted("/* only a note */"));
  EXPECT_FALSE(parse("[1").ended);
  EXPECT_FALSE(parse("{\"a\"").ended);
  EXPECT_FALSE(parse("/* open").ended);
}

TEST(JsonParser, nesting_stops_at_the_configured_depth) {
  EXPECT_TRUE(accepted(std::string(16, '[') + std::string(16, ']')));
  EXPECT_EQ(parse(std::string(17, '[')).refused_at, 16);
  EXPECT_EQ(parse("[{\"a\":[", true, false, 2).refused_at, 6);
  JSON_config bad = {record, nullptr, 0, true, false};
  EXPECT_EQ(JSON_parser_new(&bad), nullptr);
}

TEST(JsonParser, comments_stand_where_blanks_may) {
  EXPECT_EQ(parse("/*a*/[/*b*/1/*c*/,/**/\"x\"/***/,true/* * / */]/*d*/").events, "[ i:1 s:x true ]");
  EXPECT_EQ(parse("{/**/\"k\"/**/:/**/1.5/**/}").events, "{ k:k f:1.5 }");
  EXPECT_EQ(parse("[1e5/**/]").refused_at, 4);
  EXPECT_EQ(parse("[1./**/]").refused_at, 3);
  EXPECT_EQ(parse("[1 // no\n]").refused_at, 4);
  EXPECT_EQ(parse("[1 /**/]", false).refused_at, 3);
}

TEST(JsonParser, string_escapes_decode_to_their_bytes) {
  EXPECT_EQ(parse(R"(["\"\\\/\b\f\n\r\t"])").events, "[ s:\"\\/\b\f\n\r\t ]");
  EXPECT_EQ(parse(R"(["\u0041\u00e9\u20AC"])").events, "[ s:A\xc3\xa9\xe2\x82\xac ]");
  EXPECT_EQ(parse(R"(["\ud83d\ude00"])").events, "[ s:\xf0\x9f\x98\x80 ]");
  EXPECT_EQ(parse(R"(["ab\u0000cd", "e"])").events, "[ s:ab s:e ]");  // an escaped NUL ends the text
  EXPECT_EQ(parse(R"(["\x"])").refused_at, 3);
  EXPECT_EQ(parse(R"(["\u12G4"])").refused_at, 6);
}

TEST(JsonParser, surrogates_must_come_in_pairs) {
  EXPECT_EQ(parse(R"(["\ude00"])").refused_at, 7);
  EXPECT_EQ(parse(R"(["\ud83dx"])").refused_at, 8);
  EXPECT_EQ(parse(R"(["\ud83d\u0041"])").refused_at, 13);
  EXPECT_EQ(parse(R"(["\ud83d\n"])").refused_at, 9);
}

TEST(JsonParser, control_bytes_are_refused_in_strings_and_high_bytes_pass) {
  EXPECT_EQ(parse("[\"a\tb\"]").refused_at, 3);
  EXPECT_EQ(parse("[\"a\nb\"]").refused_at, 3);
  EXPECT_EQ(parse("[\"a\x01\"]").refused_at, 3);
  EXPECT_EQ(parse("[\"caf\xc3\xa9 \x80\xff\"]").events, "[ s:caf\xc3\xa9 \x80\xff ]");
  EXPECT_EQ(parse("[\xc3\xa9]").refused_at, 1);
}

TEST(JsonParser, long_tokens_move_to_a_larger_buffer_intact) {
  std::string text(10000, 'x');
  for (size_t i = 0; i < text.size(); i += 7) text[i] = char('a' + i % 26);
  EXPECT_EQ(parse("[\"" + text + "\"]").events, "[ s:" + text + " ]");
  std::string digits = "1" + std::string(5000, '0');
  EXPECT_TRUE(accepted("[" + digits + "." + digits + "]"));
}

TEST(JsonParser, a_refusing_callback_stops_the_parse) {
  JSON_config config = {[](void *, int type, const JSON_value *) { return type == JSON_T_INTEGER ? 0 : 1; }, nullptr,
                        16, true, false};
  JSON_parser *parser = JSON_parser_new(&config);
  EXPECT_TRUE(JSON_parser_char(parser, '['));
  EXPECT_TRUE(JSON_parser_char(parser, '1'));
  EXPECT_FALSE(JSON_parser_char(parser, ']'));
  JSON_parser_free(parser);
}

// What json_decode made of a text, and what it wrote to stderr.
struct Decode {
  var value;
  int status;
  std::string errors;
};

Decode decode(const std::string &text) {
  Decode d;
  testing::internal::CaptureStderr();
  d.status = json_decode(d.value, text.data(), text.size());
  d.errors = testing::internal::GetCapturedStderr();
  return d;
}

TEST(Json, builds_lists_dicts_and_scalars) {
  Decode d = decode("[1, 2.5, \"x\", true, null, {\"k\": [false]}]");
  ASSERT_EQ(d.status, 0);
  ASSERT_EQ(d.value.type(), VAR_LIST);
  ASSERT_EQ(d.value.len(), 6);
  EXPECT_EQ(d.value[0].type(), VAR_NUMBER);
  EXPECT_EQ(d.value[0].number(), 1.0);
  EXPECT_EQ(d.value[1].number(), 2.5);
  EXPECT_EQ(d.value[2].str(), "x");
  EXPECT_EQ(d.value[3].type(), VAR_BOOL);
  EXPECT_TRUE(d.value[3].truth());
  EXPECT_EQ(d.value[4].type(), VAR_NONE);
  EXPECT_EQ(d.value[5]["k"][0].type(), VAR_BOOL);
  EXPECT_FALSE(d.value[5]["k"][0].truth());
  EXPECT_EQ(d.errors, "");
}

TEST(Json, dict_keys_iterate_in_byte_order_and_a_repeated_key_replaces) {
  var v = json_decode_string("{\"b\": 1, \"a\": 2, \"b\": [3]}");
  ASSERT_EQ(v.len(), 2);
  var it = v.iter(), key;
  ASSERT_TRUE(it.next(key));
  EXPECT_EQ(key.str(), "a");
  ASSERT_TRUE(it.next(key));
  EXPECT_EQ(key.str(), "b");
  EXPECT_EQ(v["b"].type(), VAR_LIST);
  EXPECT_EQ(v["b"][0].number(), 3.0);
}

TEST(Json, deep_containers_stay_attached_while_their_parents_grow) {
  var v = json_decode_string("[[1, [2, [3]]], [4], {\"x\": [5, {\"y\": 6}]}, 7]");
  EXPECT_EQ(v[0][1][1][0].number(), 3.0);
  EXPECT_EQ(v[1][0].number(), 4.0);
  EXPECT_EQ(v[2]["x"][1]["y"].number(), 6.0);
  EXPECT_EQ(v[3].number(), 7.0);
}

TEST(Json, large_integers_convert_exactly) {
  var v = json_decode_string("[4294967296, -2147483649, 9007199254740993]");
  EXPECT_EQ(v[0].number(), 4294967296.0);
  EXPECT_EQ(v[1].number(), -2147483649.0);
  EXPECT_EQ(v[2].number(), 9007199254740992.0);  // the nearest double
}

TEST(Json, a_syntax_error_reports_its_byte_and_keeps_the_partial_result) {
  Decode d = decode("{\"a\": 1, \"b\" 2}");
  EXPECT_EQ(d.status, 1);
  EXPECT_EQ(d.errors, "JSON_parser_char: syntax error, byte 13\n");
  ASSERT_EQ(d.value.type(), VAR_DICT);
  EXPECT_EQ(d.value["a"].number(), 1.0);

  d = decode(std::string(17, '['));
  EXPECT_EQ(d.errors, "JSON_parser_char: syntax error, byte 16\n");
  d = decode("5");
  EXPECT_EQ(d.errors, "JSON_parser_char: syntax error, byte 0\n");
}

TEST(Json, an_unfinished_text_fails_the_end_check) {
  Decode d = decode("[1, [2]");
  EXPECT_EQ(d.status, 1);
  EXPECT_EQ(d.errors, "JSON_parser_end: syntax error\n");
  EXPECT_EQ(d.value.len(), 2);
}

TEST(Json, an_empty_text_is_accepted_and_leaves_the_result) {
  Decode d = decode("  /* nothing */ ");
  EXPECT_EQ(d.status, 0);
  EXPECT_EQ(d.value.type(), VAR_NONE);
  var kept(5);
  EXPECT_EQ(json_decode(kept, "", 0), 0);
  EXPECT_EQ(kept.number(), 5.0);
}

TEST(Json, utf8_text_passes_through_and_a_nul_ends_the_input) {
  var v = json_decode_string("{\"name\": \"Caf\xc3\xa9 \xe2\x98\x85\"}");
  EXPECT_EQ(v["name"].str(), "Caf\xc3\xa9 \xe2\x98\x85");
  Decode d = decode(std::string("[1]\0 garbage", 12));
  EXPECT_EQ(d.status, 0);
  EXPECT_EQ(d.value.len(), 1);
  d = decode(std::string("[\"ab\0cd\"]", 9));
  EXPECT_EQ(d.status, 1);
  EXPECT_EQ(d.errors, "JSON_parser_end: syntax error\n");
}

}  // namespace
