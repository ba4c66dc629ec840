// Tests of the dynamic value var: kinds, text forms, containers, iteration, arithmetic, string helpers
// and the reference counting behind assignment.
#include "kez_var.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

using ::testing::ContainsRegex;
using ::testing::HasSubstr;

namespace {

// Runs `f` and returns what it wrote to stderr.
template <class F>
std::string stderr_of(F f) {
  testing::internal::CaptureStderr();
  f();
  return testing::internal::GetCapturedStderr();
}

// The one line a reported error writes: "<path ending in kez_var.cc>:<line>: <message>\n".
std::string error_line_regex(const std::string &message_regex) {
  return "kez_var\\.cc:[0-9]+: " + message_regex + "\n$";
}

// An object that counts its deletions, to see when the last handle lets go.
struct Probe : var_object {
  static int deleted;
  ~Probe() override { deleted++; }
};
int Probe::deleted = 0;

var make_list(std::vector<var> items) {
  var l;
  var_new_list(l);
  for (const var &v : items) l.append(v);
  return l;
}

std::vector<std::string> texts_of(const var &list) {
  std::vector<std::string> out;
  var it = list.iter(), v;
  while (it.next(v)) out.push_back(v.str());
  return out;
}

std::string printf_f(double v) {
  int n = snprintf(nullptr, 0, "%f", v);
  std::string s(n, '\0');
  snprintf(&s[0], n + 1, "%f", v);
  return s;
}

}  // namespace

// ---- kinds and conversions ----

TEST(VarKinds, none_is_type_0_empty_zero_false_and_has_no_len) {
  var none;
  EXPECT_EQ(none.type(), VAR_NONE);
  EXPECT_EQ(none.str(), "");
  EXPECT_EQ(none.number(), 0.0);
  EXPECT_FALSE(none.truth());
  EXPECT_EQ(none.object(), nullptr);
  int n = -1;
  std::string err = stderr_of([&] { n = none.len(); });
  EXPECT_EQ(n, 0);
  EXPECT_THAT(err, ContainsRegex(error_line_regex("TypeError: 'none' object does not support '__len__'")));
  EXPECT_EQ(var_error(), "TypeError: 'none' object does not support '__len__'");
}

TEST(VarKinds, constructors_make_the_matching_kind) {
  EXPECT_EQ(var(3).type(), VAR_NUMBER);
  EXPECT_EQ(var(2.5f).number(), 2.5);
  EXPECT_EQ(var(0.25).number(), 0.25);
  EXPECT_EQ(var(true).type(), VAR_BOOL);
  EXPECT_EQ(var("abc").type(), VAR_STRING);
  EXPECT_EQ(var(std::string("x\0y", 3)).len(), 3);  // any bytes, length in bytes
  EXPECT_EQ(var((const char *)nullptr).str(), "");
  var l, d;
  var_new_list(l);
  var_dict0(d);
  EXPECT_EQ(l.type(), VAR_LIST);
  EXPECT_EQ(d.type(), VAR_DICT);
  EXPECT_EQ(l.iter().type(), VAR_INVALID);
}

TEST(VarKinds, bool_text_number_and_truth) {
  var t(true), f(false);
  EXPECT_EQ(t.str(), "True");
  EXPECT_EQ(f.str(), "False");
  EXPECT_EQ(t.number(), 1.0);
  EXPECT_EQ(f.number(), 0.0);
  var b;
  b.set_bool(true);
  EXPECT_EQ(b.type(), VAR_BOOL);
  EXPECT_TRUE(b.truth());
  b.object()->set_number(std::nan(""));  // a bool takes any non-zero number as true, NaN included
  EXPECT_TRUE(b.truth());
  b.object()->set_number(0.0);
  EXPECT_FALSE(b.truth());
}

TEST(VarKinds, string_number_reads_the_leading_decimal) {
  EXPECT_EQ(var("12.5abc").number(), 12.5);
  EXPECT_EQ(var("  -3").number(), -3.0);
  EXPECT_EQ(var("abc").number(), 0.0);
  EXPECT_EQ(var("").number(), 0.0);
}

TEST(VarKinds, truth_per_kind) {
  EXPECT_FALSE(var(0).truth());
  EXPECT_TRUE(var(-0.5).truth());
  EXPECT_TRUE(var(std::nan("")).truth());
  EXPECT_FALSE(var("").truth());
  EXPECT_TRUE(var("0").truth());
  var l, d;
  var_new_list(l);
  var_dict0(d);
  EXPECT_FALSE(l.truth());
  EXPECT_FALSE(d.truth());
  l.append(var());
  d["k"];
  EXPECT_TRUE(l.truth());
  EXPECT_TRUE(d.truth());
}

TEST(VarKinds, equality_needs_the_same_kind) {
  EXPECT_TRUE(var(1) == var(1.0));
  EXPECT_FALSE(var(1) == var("1"));
  EXPECT_FALSE(var("1") == var(1));
  EXPECT_FALSE(var(1) == var(true));
  EXPECT_TRUE(var(true) == var(true));
  EXPECT_TRUE(var("ab") == var("ab"));
  EXPECT_TRUE(var() == var());
  EXPECT_FALSE(var() == var(0));
  EXPECT_FALSE(var(std::nan("")) == var(std::nan("")));
  var a = make_list({1}), b = make_list({1});
  var a2 = a;
  EXPECT_TRUE(a == a2);
  EXPECT_FALSE(a == b);  // lists compare by identity
}

TEST(VarKinds, ordering_by_kind_then_value) {
  EXPECT_TRUE(var(1).less(var(2)));
  EXPECT_FALSE(var(2).less(var(1)));
  EXPECT_FALSE(var(2).less(var(2)));
  EXPECT_TRUE(var(99).less(var("1")));   // a number is below every string
  EXPECT_TRUE(var(-1).less(var()));      // against none: numerically against 0
  EXPECT_FALSE(var(1).less(var()));
  EXPECT_TRUE(var("10").less(var(9)));   // a string compares texts, even against a number
  EXPECT_TRUE(var("a").less(var("b")));
  EXPECT_TRUE(var("a").less(var("ab")));
  EXPECT_TRUE(var("z").less(var("\x80")));  // bytes compare unsigned
  EXPECT_TRUE(var("z").less(make_list({})));
  EXPECT_FALSE(var(true).less(var(false)));
  EXPECT_FALSE(var(false).less(var(true)));
  EXPECT_FALSE(var().less(var(5)));
  var l1 = make_list({}), l2 = make_list({}), d;
  var_dict0(d);
  EXPECT_TRUE(l1.less(d));  // a higher type code is always greater
  EXPECT_TRUE(d.less(var(true)));
  EXPECT_NE(l1.less(l2), l2.less(l1));  // same kind: by address, one way only
  EXPECT_FALSE(l1.less(var()));         // none has address 0
}

TEST(VarKinds, clone_copies_scalars_and_shares_elements) {
  var n(4);
  var c = n.clone();
  EXPECT_NE(c.object(), n.object());
  EXPECT_TRUE(c == n);
  var elem = make_list({});
  var l = make_list({elem});
  var lc = l.clone();
  EXPECT_FALSE(lc == l);
  EXPECT_EQ(lc[0].object(), elem.object());
  var d;
  var_dict2(d, "k", elem, "j", 1);
  var dc = d.clone();
  EXPECT_EQ(dc["k"].object(), elem.object());
  dc["new"] = 1;
  EXPECT_FALSE(d.has("new"));
  EXPECT_EQ(var().clone().type(), VAR_NONE);
  EXPECT_EQ(var(true).clone().str(), "True");
  EXPECT_EQ(var("s").clone().str(), "s");
}

TEST(VarKinds, base_object_is_invalid_and_neutral) {
  var o(new var_object());
  EXPECT_EQ(o.type(), VAR_INVALID);
  EXPECT_EQ(o.str(), "");
  EXPECT_EQ(o.number(), 0.0);
  EXPECT_FALSE(o.truth());
  std::string err = stderr_of([&] { EXPECT_FALSE(o.has(1)); });
  EXPECT_THAT(err, ContainsRegex(error_line_regex("TypeError: 'invalid' object does not support '__has__'")));
  EXPECT_EQ(o.clone().type(), VAR_INVALID);
}

TEST(VarKinds, list_and_dict_text_shows_the_address) {
  var l = make_list({}), d;
  var_dict0(d);
  char buf[64];
  snprintf(buf, sizeof buf, "<list instance at %p>", (void *)l.object());
  EXPECT_EQ(var_str(l), buf);
  snprintf(buf, sizeof buf, "<dict instance at %p>", (void *)d.object());
  EXPECT_EQ(d.str(), buf);
}

// ---- number printing ----

TEST(VarNumberText, whole_numbers_in_32_bits_print_as_integers) {
  EXPECT_EQ(var(3.0).str(), "3");
  EXPECT_EQ(var(-7).str(), "-7");
  EXPECT_EQ(var(0).str(), "0");
  EXPECT_EQ(var(-0.0).str(), "0");
  EXPECT_EQ(var(2147483647.0).str(), "2147483647");
  EXPECT_EQ(var(-2147483648.0).str(), "-2147483648");
}

TEST(VarNumberText, fractions_lose_trailing_zeros_down_to_one_digit) {
  EXPECT_EQ(var(0.5).str(), "0.5");
  EXPECT_EQ(var(2.5).str(), "2.5");
  EXPECT_EQ(var(0.1).str(), "0.1");
  EXPECT_EQ(var(-2.25).str(), "-2.25");
  EXPECT_EQ(var(1e-7).str(), "0.0");
  EXPECT_EQ(var(-1e-7).str(), "-0.0");
  EXPECT_EQ(var(123.456789).str(), "123.456789");
}

TEST(VarNumberText, whole_numbers_beyond_32_bits_keep_a_point_zero) {
  EXPECT_EQ(var(2147483648.0).str(), "2147483648.0");
  EXPECT_EQ(var(-2147483649.0).str(), "-2147483649.0");
  EXPECT_EQ(var(1e10).str(), "10000000000.0");
}

TEST(VarNumberText, nan_and_infinities_print_as_printf_does) {
  double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(var(inf).str(), printf_f(inf));
  EXPECT_EQ(var(-inf).str(), printf_f(-inf));
  EXPECT_EQ(var(std::nan("")).str(), printf_f(std::nan("")));
  EXPECT_EQ(var(inf).str(), "inf");
}

TEST(VarNumberText, huge_numbers_print_completely) {
  for (double v : {1e56, 1e300, -1e300, std::numeric_limits<double>::max()}) {
    std::string full = printf_f(v);  // ends in ".000000"
    std::string s = var(v).str();
    EXPECT_EQ(s, full.substr(0, full.size() - 5)) << v;
  }
  EXPECT_GT(var(1e300).str().size(), 63u);
}

// ---- list indexing and errors ----

TEST(VarList, negative_index_counts_from_the_end) {
  var l = make_list({10, 20, 30});
  EXPECT_EQ(l[-1].number(), 30);
  EXPECT_EQ(l[-3].number(), 10);
  EXPECT_EQ(l[0].number(), 10);
}

TEST(VarList, index_outside_the_list_reports_and_reads_none) {
  var l = make_list({10, 20, 30});
  for (int i : {3, -4}) {
    var got = 1;
    std::string err = stderr_of([&] { got = l[i]; });
    EXPECT_EQ(got.type(), VAR_NONE) << i;
    EXPECT_THAT(err, ContainsRegex(error_line_regex("IndexError: list index out of range"))) << i;
    EXPECT_EQ(var_error(), "IndexError: list index out of range");
  }
}

TEST(VarList, any_key_with_a_number_is_an_index) {
  var l = make_list({10, 20, 30});
  EXPECT_EQ(l["1"].number(), 20);
  EXPECT_EQ(l[var(1.9)].number(), 20);   // truncated toward zero
  EXPECT_EQ(l[var(-0.5)].number(), 10);  // -0.5 truncates to 0, not -1
  EXPECT_EQ(l[var(true)].number(), 20);
}

TEST(VarList, keys_beyond_32_bits_are_out_of_range) {
  var l = make_list({10, 20, 30});
  double inf = std::numeric_limits<double>::infinity();
  for (double k : {4294967297.0, -4294967297.0, 1e300, inf, -inf, std::nan("")}) {
    std::string err = stderr_of([&] { EXPECT_EQ(l[var(k)].type(), VAR_NONE); });
    EXPECT_THAT(err, HasSubstr("IndexError: list index out of range")) << k;
    err = stderr_of([&] { l.object()->__set__(var(k), 1); });
    EXPECT_THAT(err, HasSubstr("IndexError: list assignment index out of range")) << k;
    err = stderr_of([&] { l.del(var(k)); });
    EXPECT_THAT(err, HasSubstr("IndexError: list assignment index out of range")) << k;
  }
  EXPECT_EQ(texts_of(l), (std::vector<std::string>{"10", "20", "30"}));
}

TEST(VarList, failed_read_hands_out_a_scratch_none) {
  var l = make_list({10});
  stderr_of([&] { l[5] = 99; });  // writes into the scratch value, not into the list
  EXPECT_EQ(l.len(), 1);
  EXPECT_EQ(var::none_ref().type(), VAR_NONE);  // reset on the next call
}

TEST(VarList, set_replaces_in_range_and_never_appends) {
  var l = make_list({10, 20});
  l.object()->__set__(-1, "x");
  EXPECT_EQ(l[1].str(), "x");
  l[0] = 5;
  EXPECT_EQ(l[0].number(), 5);
  std::string err = stderr_of([&] { l.object()->__set__(2, 1); });
  EXPECT_THAT(err, ContainsRegex(error_line_regex("IndexError: list assignment index out of range")));
  EXPECT_EQ(l.len(), 2);
}

TEST(VarList, del_removes_and_shifts_or_reports) {
  var l = make_list({10, 20, 30});
  l.del(0);
  EXPECT_EQ(texts_of(l), (std::vector<std::string>{"20", "30"}));
  l.del(-1);
  EXPECT_EQ(texts_of(l), (std::vector<std::string>{"20"}));
  std::string err = stderr_of([&] { l.del(1); });
  EXPECT_THAT(err, ContainsRegex(error_line_regex("IndexError: list assignment index out of range")));
  EXPECT_EQ(l.len(), 1);
}

TEST(VarList, membership_asks_each_elements_equal) {
  var l = make_list({1, 2});
  EXPECT_TRUE(l.has(2.0));
  EXPECT_FALSE(l.has(3));
  EXPECT_FALSE(make_list({1}).has("1"));
  var inner = make_list({});
  l.append(inner);
  EXPECT_TRUE(l.has(inner));
  EXPECT_FALSE(l.has(make_list({})));
}

TEST(VarList, append_only_works_on_lists) {
  var n(1);
  std::string err = stderr_of([&] { n.append(2); });
  EXPECT_THAT(err, ContainsRegex(error_line_regex("UnsupportedError")));
  EXPECT_EQ(n.number(), 1);
  var d;
  var_dict0(d);
  stderr_of([&] { d.append(2); });
  EXPECT_EQ(d.len(), 0);
}

TEST(VarList, container_operations_on_other_kinds_report_type_errors) {
  var d;
  var_dict0(d);
  std::string err;
  err = stderr_of([&] { EXPECT_EQ(var(5)[0].type(), VAR_NONE); });
  EXPECT_THAT(err, HasSubstr("TypeError: 'number' object does not support '__get__'"));
  err = stderr_of([&] { var("s").object()->__set__(0, 1); });
  EXPECT_THAT(err, HasSubstr("TypeError: 'string' object does not support '__set__'"));
  err = stderr_of([&] { EXPECT_FALSE(var(true).has(1)); });
  EXPECT_THAT(err, HasSubstr("TypeError: 'bool' object does not support '__has__'"));
  err = stderr_of([&] { var("s").del(0); });
  EXPECT_THAT(err, HasSubstr("TypeError: 'string' object does not support '__del__'"));
  err = stderr_of([&] { EXPECT_EQ(var(5).len(), 0); });
  EXPECT_THAT(err, HasSubstr("TypeError: 'number' object does not support '__len__'"));
  err = stderr_of([&] { EXPECT_EQ(d.slice(0, 1).type(), VAR_NONE); });
  EXPECT_THAT(err, HasSubstr("TypeError: 'dict' object does not support '__slice__'"));
  err = stderr_of([&] { var().del("k"); });
  EXPECT_THAT(err, HasSubstr("TypeError: 'none' object does not support '__del__'"));
}

// ---- slices ----

TEST(VarSlice, string_slices_with_negative_and_clamped_bounds) {
  var s("hello");
  EXPECT_EQ(s.slice(1, 3).str(), "el");
  EXPECT_EQ(s.slice(-3, -1).str(), "ll");
  EXPECT_EQ(s.slice(-100, 100).str(), "hello");
  EXPECT_EQ(s.slice(0, 0).type(), VAR_STRING);
}

TEST(VarSlice, list_slices_share_the_elements) {
  var inner = make_list({});
  var l = make_list({1, inner, 3});
  var part = l.slice(1, 3);
  EXPECT_EQ(part.len(), 2);
  EXPECT_EQ(part[0].object(), inner.object());
  EXPECT_FALSE(part == l);
  EXPECT_EQ(texts_of(l.slice(-2, 10)).back(), "3");
}

TEST(VarSlice, start_past_the_end_gives_an_empty_value) {
  var s("hello");
  var l = make_list({1, 2, 3});
  EXPECT_EQ(s.slice(4, 2).str(), "");
  EXPECT_EQ(s.slice(9, 12).str(), "");
  EXPECT_EQ(s.slice(2, -9).str(), "");
  EXPECT_EQ(l.slice(2, 1).len(), 0);
  EXPECT_EQ(l.slice(7, 9).len(), 0);
  EXPECT_EQ(l.slice(2, 1).type(), VAR_LIST);
}

// ---- dict keys, order and auto-insert ----

TEST(VarDict, reading_a_missing_key_inserts_none) {
  var d;
  var_dict0(d);
  EXPECT_EQ(d["x"].type(), VAR_NONE);
  EXPECT_EQ(d.len(), 1);
  EXPECT_TRUE(d.has("x"));
  EXPECT_FALSE(d.has("y"));  // has does not insert
  EXPECT_EQ(d.len(), 1);
}

TEST(VarDict, keys_are_the_str_texts) {
  var d;
  var_dict0(d);
  d[0] = "zero";
  EXPECT_EQ(d["0"].str(), "zero");
  d[var(1.5)] = 1;
  EXPECT_TRUE(d.has("1.5"));
  d[var(true)] = 2;
  EXPECT_TRUE(d.has("True"));
  EXPECT_EQ(var_index_string(d, "True").number(), 2);
  d.object()->__set__(var(2.0), "two");
  EXPECT_EQ(d["2"].str(), "two");
}

TEST(VarDict, keys_iterate_in_byte_order_not_insertion_order) {
  var d;
  var_dict0(d);
  for (const char *k : {"b", "\x80", "ab", "a", "A", ""}) d[k] = 1;
  EXPECT_EQ(texts_of(d), (std::vector<std::string>{"", "A", "a", "ab", "b", "\x80"}));
}

TEST(VarDict, del_removes_or_reports_key_error) {
  var d;
  var_dict2(d, "a", 1, "b", 2);
  d.del("a");
  EXPECT_FALSE(d.has("a"));
  std::string err = stderr_of([&] { d.del("zz"); });
  EXPECT_THAT(err, ContainsRegex(error_line_regex("dict::__del__:KeyError")));
  EXPECT_EQ(var_error(), "dict::__del__:KeyError");
  EXPECT_EQ(d.len(), 1);
}

TEST(VarDict, changes_are_seen_through_every_handle) {
  var d;
  var_dict0(d);
  var other = d;
  other["k"] = 3;
  EXPECT_EQ(d["k"].number(), 3);
}

TEST(VarDict, makers_build_lists_and_dicts) {
  var a(1), b("two"), k1("k"), k2(7);
  var l;
  var_new(l, VAR_LIST, 2, &a, &b);
  EXPECT_EQ(texts_of(l), (std::vector<std::string>{"1", "two"}));
  EXPECT_EQ(l[1].object(), b.object());
  var d;
  var_new(d, VAR_DICT, 6, &k1, &a, &k2, &b, &k1, &b);  // the later "k" wins
  EXPECT_EQ(d.len(), 2);
  EXPECT_EQ(d["k"].str(), "two");
  EXPECT_EQ(d["7"].str(), "two");
  var d2;
  var_dict2(d2, "x", 1, "y", 2);
  EXPECT_EQ(texts_of(d2), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(d2["y"].number(), 2);
  var out = 5;
  var_new(out, VAR_NUMBER, 0);
  EXPECT_EQ(out.type(), VAR_NONE);
}

// ---- iteration ----

TEST(VarIter, dict_next_yields_keys_in_order) {
  var d;
  var_dict0(d);
  d["b"] = 2;
  d["a"] = 1;
  var it = d.iter(), k;
  ASSERT_TRUE(it.next(k));
  EXPECT_EQ(k.str(), "a");
  ASSERT_TRUE(it.next(k));
  EXPECT_EQ(k.str(), "b");
  EXPECT_FALSE(it.next(k));
  EXPECT_EQ(k.str(), "b");  // untouched at the end
}

TEST(VarIter, dict_next_kv_yields_keys_and_shared_values) {
  var inner = make_list({});
  var d;
  var_dict2(d, "x", inner, "w", 1);
  var it = d.iter(), k, v;
  ASSERT_TRUE(it.next_kv(k, v));
  EXPECT_EQ(k.str(), "w");
  EXPECT_EQ(v.number(), 1);
  ASSERT_TRUE(it.next_kv(k, v));
  EXPECT_EQ(k.type(), VAR_STRING);
  EXPECT_EQ(v.object(), inner.object());
  EXPECT_FALSE(it.next_kv(k, v));
}

TEST(VarIter, list_yields_shared_elements_and_indexes) {
  var inner = make_list({});
  var l = make_list({"a", inner});
  var it = l.iter(), k, v;
  ASSERT_TRUE(it.next_kv(k, v));
  EXPECT_EQ(k.type(), VAR_NUMBER);
  EXPECT_EQ(k.number(), 0);
  EXPECT_EQ(v.str(), "a");
  ASSERT_TRUE(it.next_kv(k, v));
  EXPECT_EQ(k.number(), 1);
  EXPECT_EQ(v.object(), inner.object());
  EXPECT_FALSE(it.next_kv(k, v));
  EXPECT_EQ(k.number(), 1);
  var it2 = l.iter();
  ASSERT_TRUE(it2.next(v));
  EXPECT_EQ(v.str(), "a");
}

TEST(VarIter, string_yields_bytes_as_signed_numbers) {
  var s("A\xff");
  var it = s.iter(), k, v;
  ASSERT_TRUE(it.next_kv(k, v));
  EXPECT_EQ(k.number(), 0);
  EXPECT_EQ(v.number(), 65);
  ASSERT_TRUE(it.next_kv(k, v));
  EXPECT_EQ(k.number(), 1);
  EXPECT_EQ(v.number(), -1);
  EXPECT_FALSE(it.next_kv(k, v));
  var it2 = s.iter();
  ASSERT_TRUE(it2.next(v));
  EXPECT_EQ(v.number(), 65);
}

TEST(VarIter, scalars_yield_nothing_and_report_nothing) {
  std::string err = stderr_of([&] {
    for (var x : {var(5), var(true), var()}) {
      var it = x.iter(), v, k;
      EXPECT_FALSE(it.next(v));
      EXPECT_FALSE(it.next_kv(k, v));
    }
  });
  EXPECT_EQ(err, "");
}

TEST(VarIter, a_list_shrunk_while_walked_ends_the_walk) {
  var l = make_list({1, 2, 3});
  var it = l.iter(), v;
  ASSERT_TRUE(it.next(v));
  l.del(2);
  l.del(1);
  EXPECT_FALSE(it.next(v));
}

// ---- arithmetic and concatenation ----

TEST(VarArith, numbers_take_the_other_operands_number) {
  EXPECT_EQ(var(5).add("2").number(), 7);
  EXPECT_EQ(var(5).add("x").number(), 5);
  EXPECT_EQ(var(5).add(true).number(), 6);
  EXPECT_EQ(var(5).sub(2).number(), 3);
  EXPECT_EQ(var(5).mul(2).number(), 10);
  EXPECT_EQ(var(5).div(2).number(), 2.5);
  EXPECT_TRUE(std::isinf(var(1).div(0).number()));
  EXPECT_TRUE(std::isnan(var(0).div(0).number()));
}

TEST(VarArith, strings_append_the_other_operands_text) {
  EXPECT_EQ(var("a").add(5).str(), "a5");
  EXPECT_EQ(var("a").add(0.5).str(), "a0.5");
  EXPECT_EQ(var("a").add(var()).str(), "a");
  EXPECT_EQ(var("a").add(true).str(), "aTrue");
}

TEST(VarArith, lists_concatenate_only_with_lists) {
  var inner = make_list({});
  var a = make_list({1}), b = make_list({inner});
  var c = a.add(b);
  EXPECT_EQ(c.len(), 2);
  EXPECT_EQ(c[1].object(), inner.object());
  EXPECT_FALSE(c == a);
  var bad = 1;
  std::string err = stderr_of([&] { bad = a.add(1); });
  EXPECT_THAT(err, ContainsRegex(error_line_regex("TypeError: can only concatenate list to list")));
  EXPECT_EQ(bad.type(), VAR_NONE);
}

TEST(VarArith, other_kinds_report_the_operation) {
  std::string err;
  var r = 1;
  err = stderr_of([&] { r = var().add(1); });
  EXPECT_THAT(err, HasSubstr("TypeError: 'none' object does not support '__add__'"));
  EXPECT_EQ(r.type(), VAR_NONE);
  err = stderr_of([&] { var(true).add(1); });
  EXPECT_THAT(err, HasSubstr("TypeError: 'bool' object does not support '__add__'"));
  err = stderr_of([&] { var("a").mul(2); });
  EXPECT_THAT(err, HasSubstr("TypeError: 'string' object does not support '__mul__'"));
  err = stderr_of([&] { make_list({}).sub(1); });
  EXPECT_THAT(err, HasSubstr("TypeError: 'list' object does not support '__sub__'"));
  var d;
  var_dict0(d);
  err = stderr_of([&] { d.div(1); });
  EXPECT_THAT(err, HasSubstr("TypeError: 'dict' object does not support '__div__'"));
}

TEST(VarArith, result_may_replace_the_operand_that_held_the_object) {
  var n = 5;
  n.object()->__add__(n, n);
  EXPECT_EQ(n.number(), 10);
  var s("ab");
  s.object()->__add__(s, s);
  EXPECT_EQ(s.str(), "abab");
  var l = make_list({1});
  l.object()->__add__(l, l);
  EXPECT_EQ(l.len(), 2);
  var t("xyz");
  t.object()->__slice__(t, 1, 2);
  EXPECT_EQ(t.str(), "y");
  var b = true;
  stderr_of([&] { b.object()->__mul__(b, b); });
  EXPECT_EQ(b.type(), VAR_NONE);
}

// ---- string utilities ----

TEST(VarStrings, find_gives_the_first_position_or_minus_one) {
  EXPECT_EQ(str_find("abcabc", "ca"), 2);
  EXPECT_EQ(str_find("abc", "x"), -1);
  EXPECT_EQ(str_find("abc", ""), 0);
  EXPECT_TRUE(var("hello").has("ell"));
  EXPECT_FALSE(var("hello").has("hex"));
  EXPECT_TRUE(var("a1").has(1));
}

TEST(VarStrings, join_uses_each_elements_text) {
  var out;
  str_join(out, ", ", make_list({1, "b", 2.5, true}));
  EXPECT_EQ(out.str(), "1, b, 2.5, True");
  str_join(out, "-", make_list({}));
  EXPECT_EQ(out.type(), VAR_STRING);
  EXPECT_EQ(out.str(), "");
  std::string err = stderr_of([&] { str_join(out, ",", var("abc")); });
  EXPECT_THAT(err, ContainsRegex(error_line_regex("TypeError")));
  EXPECT_EQ(var_error(), "TypeError");
  EXPECT_EQ(out.type(), VAR_NONE);
}

TEST(VarStrings, replace_never_searches_the_inserted_text) {
  EXPECT_EQ(str_replace("a-b-c", "-", "+"), "a+b+c");
  EXPECT_EQ(str_replace("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(str_replace("abab", "ab", ""), "");
  EXPECT_EQ(str_replace("xyz", "q", "r"), "xyz");
  EXPECT_EQ(str_replace("xyz", "", "r"), "xyz");
}

TEST(VarStrings, split_keeps_empty_pieces_and_the_last_one) {
  var out;
  str_split(out, "a,,b", ",");
  EXPECT_EQ(texts_of(out), (std::vector<std::string>{"a", "", "b"}));
  str_split(out, "", ",");
  EXPECT_EQ(texts_of(out), (std::vector<std::string>{""}));
  str_split(out, "a,", ",");
  EXPECT_EQ(texts_of(out), (std::vector<std::string>{"a", ""}));
  str_split(out, "a::b", "::");
  EXPECT_EQ(texts_of(out), (std::vector<std::string>{"a", "b"}));
  str_split(out, "abc", "");
  EXPECT_EQ(texts_of(out), (std::vector<std::string>{"abc"}));
}

TEST(VarStrings, strip_removes_only_space_lf_tab_cr) {
  EXPECT_EQ(str_strip(" \tx\r\n"), "x");
  EXPECT_EQ(str_strip(" \t\r\n "), "");
  EXPECT_EQ(str_strip(""), "");
  EXPECT_EQ(str_strip("\va b\f"), "\va b\f");
}

TEST(VarStrings, lower_changes_ascii_letters_only) {
  EXPECT_EQ(str_lower("AbC-Z9"), "abc-z9");
  EXPECT_EQ(str_lower("\xC9"), "\xC9");
}

// ---- assignment and reference counting ----

TEST(VarAssign, handles_count_their_shares) {
  Probe::deleted = 0;
  Probe *p = new Probe();
  EXPECT_EQ(p->refcount, 0u);
  {
    var a(p);
    EXPECT_EQ(p->refcount, 1u);
    var b = a;
    EXPECT_EQ(p->refcount, 2u);
    b.release();
    EXPECT_EQ(b.type(), VAR_NONE);
    EXPECT_EQ(p->refcount, 1u);
    EXPECT_EQ(Probe::deleted, 0);
  }
  EXPECT_EQ(Probe::deleted, 1);
}

TEST(VarAssign, assigning_from_inside_the_target_is_safe) {
  Probe::deleted = 0;
  var node;
  var_dict0(node);
  var children;
  var_dict2(children, "leaf", "v", "n", 2);
  node["children"] = children;
  node["probe"] = var(new Probe());
  children.release();  // node now holds the only share of the children dict
  node = node["children"];
  EXPECT_EQ(Probe::deleted, 1);  // the old node went
  EXPECT_EQ(node["leaf"].str(), "v");
  EXPECT_EQ(node.len(), 2);

  var l = make_list({make_list({make_list({"deep"})})});
  l = l[0];
  l = l[0];
  EXPECT_EQ(l[0].str(), "deep");
}

TEST(VarAssign, an_equal_value_keeps_the_targets_object) {
  var target = 5, source = 5;
  var_object *kept = target.object();
  target = source;
  EXPECT_EQ(target.object(), kept);
  EXPECT_EQ(source.object()->refcount, 1u);
  var s1("t"), s2("t");
  kept = s1.object();
  s1 = s2;
  EXPECT_EQ(s1.object(), kept);
  var differs = 5;
  differs = var("5");  // other kind: not equal, so shared
  EXPECT_EQ(differs.type(), VAR_STRING);
}

TEST(VarAssign, lists_are_shared_unless_self_assigned) {
  var a = make_list({1});
  var b = make_list({2});
  a = b;
  EXPECT_EQ(a.object(), b.object());
  EXPECT_EQ(b.object()->refcount, 2u);
  var &same = a;
  a = same;  // compares equal to itself: nothing moves
  EXPECT_EQ(b.object()->refcount, 2u);
  a.append(3);
  EXPECT_EQ(b.len(), 2);
}

TEST(VarAssign, set_replaces_the_object_and_drops_the_old) {
  Probe::deleted = 0;
  var v(new Probe());
  v.set_number(1);
  EXPECT_EQ(Probe::deleted, 1);
  EXPECT_EQ(v.type(), VAR_NUMBER);
  var keep = v;
  v.set_number(1);  // a new object even for an equal value
  EXPECT_NE(v.object(), keep.object());
  v.set_string("s");
  EXPECT_EQ(v.type(), VAR_STRING);
  v.set_bool(false);
  EXPECT_EQ(v.type(), VAR_BOOL);
  EXPECT_EQ(keep.number(), 1);
}

TEST(VarAssign, containers_drop_their_elements) {
  Probe::deleted = 0;
  {
    var l = make_list({var(new Probe())});
    var d;
    var_dict2(d, "p", var(new Probe()), "l", l);
  }
  EXPECT_EQ(Probe::deleted, 2);
  var l = make_list({var(new Probe()), 1});
  l.del(0);
  EXPECT_EQ(Probe::deleted, 3);
}
