// Tests of the markup text parser: where text lands, attribute values, entities and malformed tags.
#include "kez_markup.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// One token as {key:value,...} in key order; strings are quoted so a number can never pass for one.
std::string show_token(const var &token) {
  std::string out = "{";
  var it = token.iter(), key, value;
  while (it.next_kv(key, value)) {
    if (out.size() > 1) out += ',';
    out += key.str() + ':';
    out += value.type() == VAR_STRING ? "'" + value.str() + "'" : value.str();
  }
  return out + "}";
}

// A token list, one token after the other.
std::string show_tokens(const var &tokens) {
  EXPECT_EQ(tokens.type(), VAR_LIST);
  std::string out;
  var it = tokens.iter(), token;
  while (it.next(token)) out += (out.empty() ? "" : " ") + show_token(token);
  return out;
}

std::string parse(const std::string &text) { return show_tokens(markup_parse(text)); }

TEST(MarkupParse, text_after_an_opening_tag_is_its_content_kept_exactly) {
  EXPECT_EQ(parse("<p>Hello</p>"), "{content:'Hello',tag:'p'} {closed:1,tag:'p'}");
  EXPECT_EQ(parse("<p> a\n\tb </p>"), "{content:' a\n\tb ',tag:'p'} {closed:1,tag:'p'}");
  EXPECT_EQ(parse("<tr><td>x</td></tr>"),
            "{content:'',tag:'tr'} {content:'x',tag:'td'} {closed:1,tag:'td'} {closed:1,tag:'tr'}");
  EXPECT_EQ(parse("<Table>"), "{tag:'Table'}");  // no later tag, so no content key at all
}

TEST(MarkupParse, text_before_the_first_tag_after_a_closed_tag_and_after_the_last_tag_is_dropped) {
  EXPECT_EQ(parse("lead<p>Hello <b>World</b>!</p>tail"),
            "{content:'Hello ',tag:'p'} {content:'World',tag:'b'} {closed:1,tag:'b'} {closed:1,tag:'p'}");
  EXPECT_EQ(parse("<img src='a'/>after<p>"), "{closed:1,src:'a',tag:'img'} {tag:'p'}");
  EXPECT_EQ(parse(""), "");
  EXPECT_EQ(parse("only text &amp; no tags"), "");
}

TEST(MarkupParse, the_text_keeping_parse_gives_loose_text_a_token_of_its_own_and_the_last_tag_its_text) {
  EXPECT_EQ(show_tokens(markup_parse_text("lead<p>Hello <b>World</b>!</p>tail")),
            "{content:'lead'} {content:'Hello ',tag:'p'} {content:'World',tag:'b'} {closed:1,tag:'b'} "
            "{content:'!'} {closed:1,tag:'p'} {content:'tail'}");
  EXPECT_EQ(show_tokens(markup_parse_text("<p>end &amp; more")), "{content:'end & more',tag:'p'}");
  EXPECT_EQ(show_tokens(markup_parse_text("<br/><img src='a'/>")), "{closed:1,tag:'br'} {closed:1,src:'a',tag:'img'}")
      << "no token for text that is not there";
  EXPECT_EQ(show_tokens(markup_parse_text("only text")), "{content:'only text'}");
}

TEST(MarkupParse, attribute_values_are_strings_and_bare_names_are_not_recorded) {
  EXPECT_EQ(parse("<input a='1' b=\"two\" c=3 disabled>"), "{a:'1',b:'two',c:'3',tag:'input'}");
  EXPECT_EQ(parse("<input disabled value=x checked>"), "{tag:'input',value:'x'}");
  EXPECT_EQ(parse("<td colspan = 2 width='50%'>"), "{colspan:'2',tag:'td',width:'50%'}");
}

TEST(MarkupParse, quoted_values_hold_any_byte_and_unquoted_values_stop_at_the_first_non_name_byte) {
  EXPECT_EQ(parse("<a href='x>y/z' title=\"it's &amp; &quot;\">"), "{href:'x>y/z',tag:'a',title:'it's & \"'}");
  EXPECT_EQ(parse("<img src=logo/>"), "{closed:1,src:'logo',tag:'img'}");
  EXPECT_EQ(parse("<img src=a.png>"), "{src:'a',tag:'img'}");
  EXPECT_EQ(parse("<p 'stray' a='v'>"), "{a:'v',tag:'p'}");  // a quote with no '=' before it is dropped
  EXPECT_EQ(parse("<p a='never closed>text"), "{a:'never closed>text',tag:'p'}");
}

TEST(MarkupParse, tags_without_names_stray_brackets_and_unterminated_tags_still_give_tokens) {
  EXPECT_EQ(parse("<>"), "{}");
  EXPECT_EQ(parse("</>"), "{closed:1}");
  EXPECT_EQ(parse("<<p>x"), "{tag:'p'}");
  EXPECT_EQ(parse("<p x/>"), "{closed:1,tag:'p'}");
  EXPECT_EQ(parse("<p class=big"), "{class:'big',tag:'p'}");
}

TEST(MarkupParse, entities_are_decoded_in_text_and_unknown_ones_become_a_question_mark) {
  EXPECT_EQ(parse("<p>Tom & Jerry</p>"), "{content:'Tom ? Jerry',tag:'p'} {closed:1,tag:'p'}");
  EXPECT_EQ(parse("<p>&lt;b&gt;</p>"), "{content:'<b>',tag:'p'} {closed:1,tag:'p'}");
  EXPECT_EQ(parse("<p>&amp-&quot;&apos;&nbsp;&zz;&;&ampx;&lt</p>"),
            "{content:'&-\"' ??"
            "?<',tag:'p'} {closed:1,tag:'p'}");  // split: not a trigraph
}

TEST(MarkupParse, entity_decoding_reads_no_further_than_the_given_end) {
  std::string out;
  EXPECT_EQ(markup_entities_decode(out, "a&gt;b", 1, 6), 5u);
  EXPECT_EQ(out, ">");
  out.clear();
  EXPECT_EQ(markup_entities_decode(out, "&amp;", 0, 3), 3u);  // the name seen is "am"
  EXPECT_EQ(out, "?");
}

}  // namespace
