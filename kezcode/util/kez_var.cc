// Dynamic value var: reference-counted handles over none, number, string, list, dict and bool objects.
//
// Invariant: an object's refcount is the number of handles holding it; the handle that drops it to 0
// deletes it. A handle always takes its new share before it drops its old one, so a value reached
// through the object being dropped (node = node["children"]) is never read after it is freed.
#include "kez_var.h"

#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

// ---- error reporting ----

std::string &var_error() {
  static std::string last;
  return last;
}

// Writes "path:line: message" to stderr and keeps the message as the last error.
static void _var_report(int line, const char *format, ...) __attribute__((format(printf, 2, 3)));
static void _var_report(int line, const char *format, ...) {
  va_list ap;
  va_start(ap, format);
  va_list ap2;
  va_copy(ap2, ap);
  int n = vsnprintf(nullptr, 0, format, ap);
  va_end(ap);
  std::string msg(n > 0 ? n : 0, '\0');
  if (n > 0) vsnprintf(&msg[0], msg.size() + 1, format, ap2);
  va_end(ap2);
  fprintf(stderr, "%s:%d: %s\n", __FILE__, line, msg.c_str());
  var_error() = msg;
}

#define VAR_REPORT(...) _var_report(__LINE__, __VA_ARGS__)

static const char *_var_type_name(int type) {
  switch (type) {
    case VAR_NONE: return "none";
    case VAR_NUMBER: return "number";
    case VAR_STRING: return "string";
    case VAR_LIST: return "list";
    case VAR_DICT: return "dict";
    case VAR_BOOL: return "bool";
    default: return "invalid";
  }
}

// ---- helpers ----

// Truncates toward zero to a signed 32-bit integer when the value has one (not NaN, infinite or out of
// range, where the conversion would be undefined).
static bool _var_to_int32(double v, int32_t *out) {
  if (!(v > -2147483649.0 && v < 2147483648.0)) return false;
  *out = (int32_t)v;
  return true;
}

// The list index rule: key's number truncated to 32 bits, a negative index counted from the end once,
// then it must lie in 0..n-1. Keys outside the 32-bit range are simply out of range.
static bool _var_list_index(const var &key, size_t n, size_t *out) {
  int32_t i;
  if (!_var_to_int32(key.number(), &i)) return false;
  int64_t k = i;
  if (k < 0) k += (int64_t)n;
  if (k < 0 || (uint64_t)k >= n) return false;
  *out = (size_t)k;
  return true;
}

// Adjusts slice bounds on a value of length n; returns false when the slice is empty.
static bool _var_slice_bounds(int a, int b, size_t n, size_t *from, size_t *to) {
  int64_t lo = a, hi = b, len = (int64_t)n;
  if (lo < 0) lo += len;
  if (hi < 0) hi += len;
  if (lo < 0) lo = 0;
  if (hi > len) hi = len;
  if (lo >= hi) return false;  // start at or past the end: empty, never a negative count
  *from = (size_t)lo;
  *to = (size_t)hi;
  return true;
}

// The text of a number: whole values in 32-bit range as integers, the rest with "%f" and trailing
// zeros trimmed down to one digit after the point.
static std::string _var_number_text(double v) {
  int32_t i;
  if (_var_to_int32(v, &i) && (double)i == v) {
    char buf[16];
    snprintf(buf, sizeof buf, "%ld", (long)i);
    return buf;
  }
  char buf[64];
  int n = snprintf(buf, sizeof buf, "%f", v);
  std::string s;
  if (n >= (int)sizeof buf) {  // above about 1e56 the text needs more room: print it whole
    s.resize(n);
    snprintf(&s[0], n + 1, "%f", v);
  } else {
    s.assign(buf, n > 0 ? n : 0);
  }
  while (s.size() > 2 && s.back() == '0' && s[s.size() - 2] != '.') s.pop_back();
  return s;
}

static std::string _var_address_text(const char *kind, const void *p) {
  char buf[64];
  snprintf(buf, sizeof buf, "<%s instance at %p>", kind, p);
  return buf;
}

// ---- var_object: the neutral base ----

var_object::~var_object() {}
int var_object::type() const { return VAR_INVALID; }
void var_object::hook1(const var &) {}
void var_object::hook2() {}
void var_object::set_string(const std::string &) {}
void var_object::set_number(double) {}
var_object *var_object::clone() const { return new var_object(); }

var &var_object::__get__(const var &) {
  VAR_REPORT("TypeError: '%s' object does not support '%s'", _var_type_name(type()), "__get__");
  return var::none_ref();
}

void var_object::__set__(const var &, const var &) {
  VAR_REPORT("TypeError: '%s' object does not support '%s'", _var_type_name(type()), "__set__");
}

bool var_object::__has__(const var &) const {
  VAR_REPORT("TypeError: '%s' object does not support '%s'", _var_type_name(type()), "__has__");
  return false;
}

void var_object::__del__(const var &) {
  VAR_REPORT("TypeError: '%s' object does not support '%s'", _var_type_name(type()), "__del__");
}

int var_object::__len__() const {
  VAR_REPORT("TypeError: '%s' object does not support '%s'", _var_type_name(type()), "__len__");
  return 0;
}

void var_object::__slice__(var &out, int, int) const {
  VAR_REPORT("TypeError: '%s' object does not support '%s'", _var_type_name(type()), "__slice__");
  out.release();
}

var_object *var_object::iter() const { return new var_object(); }
bool var_object::next(var &) { return false; }
bool var_object::next2(var &, var &) { return false; }
std::string var_object::str() const { return ""; }
double var_object::number() const { return 0.0; }
bool var_object::truth() const { return false; }
bool var_object::less(const var &) const { return false; }
bool var_object::equal(const var &) const { return false; }

void var_object::__add__(var &out, const var &) const {
  VAR_REPORT("TypeError: '%s' object does not support '%s'", _var_type_name(type()), "__add__");
  out.release();
}

void var_object::__mul__(var &out, const var &) const {
  VAR_REPORT("TypeError: '%s' object does not support '%s'", _var_type_name(type()), "__mul__");
  out.release();
}

void var_object::__sub__(var &out, const var &) const {
  VAR_REPORT("TypeError: '%s' object does not support '%s'", _var_type_name(type()), "__sub__");
  out.release();
}

void var_object::__div__(var &out, const var &) const {
  VAR_REPORT("TypeError: '%s' object does not support '%s'", _var_type_name(type()), "__div__");
  out.release();
}

// ---- none ----

int _var_none::type() const { return VAR_NONE; }
var_object *_var_none::clone() const { return new _var_none(); }
bool _var_none::equal(const var &other) const { return other.type() == VAR_NONE; }

// ---- number ----

int _var_number::type() const { return VAR_NUMBER; }
void _var_number::set_number(double v) { value = v; }

var_object *_var_number::clone() const {
  _var_number *o = new _var_number();
  o->value = value;
  return o;
}

std::string _var_number::str() const { return _var_number_text(value); }
double _var_number::number() const { return value; }
bool _var_number::truth() const { return value != 0.0; }

bool _var_number::less(const var &other) const {
  if (other.type() > VAR_NUMBER) return true;
  return value < other.number();
}

bool _var_number::equal(const var &other) const { return other.type() == VAR_NUMBER && other.number() == value; }

// The other operand's kind is never checked: it only contributes its `number`.
void _var_number::__add__(var &out, const var &other) const { out.set_number(value + other.number()); }
void _var_number::__mul__(var &out, const var &other) const { out.set_number(value * other.number()); }
void _var_number::__sub__(var &out, const var &other) const { out.set_number(value - other.number()); }
void _var_number::__div__(var &out, const var &other) const { out.set_number(value / other.number()); }

// ---- bool ----

int _var_bool::type() const { return VAR_BOOL; }
void _var_bool::set_number(double v) { value = v != 0.0 ? 1 : 0; }

var_object *_var_bool::clone() const {
  _var_bool *o = new _var_bool();
  o->value = value;
  return o;
}

std::string _var_bool::str() const { return value ? "True" : "False"; }
double _var_bool::number() const { return value ? 1.0 : 0.0; }
bool _var_bool::truth() const { return value != 0; }

bool _var_bool::equal(const var &other) const { return other.type() == VAR_BOOL && other.truth() == (value != 0); }

// ---- string ----

int _var_string::type() const { return VAR_STRING; }
void _var_string::set_string(const std::string &s) { text = s; }

var_object *_var_string::clone() const {
  _var_string *o = new _var_string();
  o->text = text;
  return o;
}

bool _var_string::__has__(const var &x) const { return text.find(x.str()) != std::string::npos; }
int _var_string::__len__() const { return (int)text.size(); }

void _var_string::__slice__(var &out, int a, int b) const {
  size_t from, to;
  if (!_var_slice_bounds(a, b, text.size(), &from, &to)) {
    out.set_string("");
    return;
  }
  out.set_string(text.substr(from, to - from));
}

var_object *_var_string::iter() const {
  _var_string_iter *it = new _var_string_iter();
  it->text = &text;
  it->end = text.size();
  return it;
}

std::string _var_string::str() const { return text; }
double _var_string::number() const { return atof(text.c_str()); }
bool _var_string::truth() const { return !text.empty(); }

bool _var_string::less(const var &other) const {
  if (other.type() > VAR_STRING) return true;
  return text < other.str();
}

bool _var_string::equal(const var &other) const { return other.type() == VAR_STRING && other.str() == text; }

void _var_string::__add__(var &out, const var &other) const { out.set_string(text + other.str()); }

// ---- list ----

int _var_list::type() const { return VAR_LIST; }

var_object *_var_list::clone() const {
  _var_list *o = new _var_list();
  o->items = items;
  return o;
}

var &_var_list::__get__(const var &key) {
  size_t i;
  if (!_var_list_index(key, items.size(), &i)) {
    VAR_REPORT("IndexError: list index out of range");
    return var::none_ref();
  }
  return items[i];
}

void _var_list::__set__(const var &key, const var &value) {
  size_t i;
  if (!_var_list_index(key, items.size(), &i)) {
    VAR_REPORT("IndexError: list assignment index out of range");
    return;
  }
  items[i] = value;
}

bool _var_list::__has__(const var &x) const {
  for (const var &e : items)
    if (e == x) return true;
  return false;
}

void _var_list::__del__(const var &key) {
  size_t i;
  if (!_var_list_index(key, items.size(), &i)) {
    VAR_REPORT("IndexError: list assignment index out of range");
    return;
  }
  items.erase(items.begin() + i);
}

int _var_list::__len__() const { return (int)items.size(); }

void _var_list::__slice__(var &out, int a, int b) const {
  _var_list *o = new _var_list();
  size_t from, to;
  if (_var_slice_bounds(a, b, items.size(), &from, &to)) o->items.assign(items.begin() + from, items.begin() + to);
  out = var(o);
}

var_object *_var_list::iter() const {
  _var_list_iter *it = new _var_list_iter();
  it->items = &items;
  it->end = items.size();
  return it;
}

std::string _var_list::str() const { return _var_address_text("list", this); }
bool _var_list::truth() const { return !items.empty(); }

bool _var_list::less(const var &other) const {
  if (other.type() > VAR_LIST) return true;
  return (uintptr_t)this < (uintptr_t)other.object();
}

bool _var_list::equal(const var &other) const { return other.object() == this; }

void _var_list::__add__(var &out, const var &other) const {
  if (other.type() != VAR_LIST) {
    VAR_REPORT("TypeError: can only concatenate list to list");
    out.release();
    return;
  }
  // Build the result before touching `out`: either operand may be held by `out`.
  const std::vector<var> &tail = static_cast<const _var_list *>(other.object())->items;
  _var_list *o = new _var_list();
  o->items.reserve(items.size() + tail.size());
  o->items.insert(o->items.end(), items.begin(), items.end());
  o->items.insert(o->items.end(), tail.begin(), tail.end());
  out = var(o);
}

// ---- dict ----

int _var_dict::type() const { return VAR_DICT; }

var_object *_var_dict::clone() const {
  _var_dict *o = new _var_dict();
  o->items = items;
  return o;
}

var &_var_dict::__get__(const var &key) { return items[key.str()]; }
void _var_dict::__set__(const var &key, const var &value) { items[key.str()] = value; }
bool _var_dict::__has__(const var &x) const { return items.count(x.str()) != 0; }

void _var_dict::__del__(const var &key) {
  if (items.erase(key.str()) == 0) VAR_REPORT("dict::__del__:KeyError");
}

int _var_dict::__len__() const { return (int)items.size(); }

var_object *_var_dict::iter() const {
  _var_dict_iter *it = new _var_dict_iter();
  it->pos = items.begin();
  it->end = items.end();
  return it;
}

std::string _var_dict::str() const { return _var_address_text("dict", this); }
bool _var_dict::truth() const { return !items.empty(); }

bool _var_dict::less(const var &other) const {
  if (other.type() > VAR_DICT) return true;
  return (uintptr_t)this < (uintptr_t)other.object();
}

bool _var_dict::equal(const var &other) const { return other.object() == this; }

// ---- iterators ----

bool _var_string_iter::next(var &out) {
  if ((size_t)index >= end || (size_t)index >= text->size()) return false;
  out.set_number((signed char)(*text)[index]);  // bytes 0x80-0xFF read as -128..-1
  index++;
  return true;
}

bool _var_list_iter::next(var &out) {
  if ((size_t)index >= end || (size_t)index >= items->size()) return false;
  out = (*items)[index];
  index++;
  return true;
}

bool _var_index_iter::next2(var &key, var &value) {
  const int32_t at = index;
  if (!next(value)) return false;
  key.set_number(at);
  return true;
}

bool _var_dict_iter::next(var &out) {
  if (pos == end) return false;
  out.set_string(pos->first);
  ++pos;
  return true;
}

bool _var_dict_iter::next2(var &key, var &value) {
  if (pos == end) return false;
  value = pos->second;
  return next(key);
}

// ---- var: the handle ----

var::var(var_object *o) : obj_(o) {
  if (obj_) obj_->refcount++;
}

var::var(int v) : obj_(nullptr) { set_number(v); }
var::var(float v) : obj_(nullptr) { set_number(v); }
var::var(double v) : obj_(nullptr) { set_number(v); }
var::var(bool v) : obj_(nullptr) { set_bool(v); }
var::var(const char *s) : obj_(nullptr) { set_string(s ? s : ""); }
var::var(const std::string &s) : obj_(nullptr) { set_string(s); }
var::var(const var &other) : var(other.obj_) {}
var::~var() { release(); }

var &var::operator=(const var &src) {
  if (!op().equal(src)) adopt(src.obj_);
  return *this;
}

void var::adopt(var_object *o) {
  var_object *old = obj_;
  obj_ = o;
  if (obj_) obj_->refcount++;  // before the release: o may live inside old
  if (old && --old->refcount == 0) delete old;
}

void var::release() {
  var_object *old = obj_;
  obj_ = nullptr;  // cleared first, so a destructor reaching this handle again sees none
  if (old && --old->refcount == 0) delete old;
}

void var::set_number(double v) {
  _var_number *o = new _var_number();
  o->set_number(v);
  adopt(o);
}

void var::set_bool(bool v) {
  _var_bool *o = new _var_bool();
  o->set_number(v ? 1.0 : 0.0);
  adopt(o);
}

void var::set_string(const std::string &s) {
  _var_string *o = new _var_string();
  o->set_string(s);
  adopt(o);
}

var_object &var::op() const {
  static _var_none none_object;  // stateless, and never handed to a handle
  return obj_ ? *obj_ : none_object;
}

int var::type() const { return op().type(); }
std::string var::str() const { return op().str(); }
double var::number() const { return op().number(); }
bool var::truth() const { return op().truth(); }
bool var::operator==(const var &other) const { return op().equal(other); }
bool var::less(const var &other) const { return op().less(other); }

var &var::operator[](const var &key) const { return op().__get__(key); }
var &var::operator[](const char *key) const { return op().__get__(var(key)); }
var &var::operator[](int index) const { return op().__get__(var(index)); }

bool var::has(const var &x) const { return op().__has__(x); }
void var::del(const var &key) const { op().__del__(key); }
int var::len() const { return op().__len__(); }

void var::append(const var &value) const {
  if (type() != VAR_LIST) {
    VAR_REPORT("UnsupportedError");
    return;
  }
  static_cast<_var_list *>(obj_)->items.push_back(value);
}

var var::slice(int a, int b) const {
  var out;
  op().__slice__(out, a, b);
  return out;
}

var var::add(const var &other) const {
  var out;
  op().__add__(out, other);
  return out;
}

var var::sub(const var &other) const {
  var out;
  op().__sub__(out, other);
  return out;
}

var var::mul(const var &other) const {
  var out;
  op().__mul__(out, other);
  return out;
}

var var::div(const var &other) const {
  var out;
  op().__div__(out, other);
  return out;
}

var var::clone() const { return var(op().clone()); }
var var::iter() const { return var(op().iter()); }
bool var::next(var &out) const { return op().next(out); }
bool var::next_kv(var &key, var &value) const { return op().next2(key, value); }

var &var::none_ref() {
  static var scratch;
  scratch.release();
  return scratch;
}

// ---- makers ----

void var_new(var &out, int type, int count, ...) {
  if (type != VAR_LIST && type != VAR_DICT) {
    out.release();
    return;
  }
  va_list ap;
  va_start(ap, count);
  var made;
  if (type == VAR_LIST) {
    _var_list *o = new _var_list();
    made = var(o);
    for (int i = 0; i < count; i++) o->items.push_back(*va_arg(ap, var *));
  } else {
    _var_dict *o = new _var_dict();
    made = var(o);
    for (int i = 0; i + 1 < count; i += 2) {
      var *k = va_arg(ap, var *);
      var *v = va_arg(ap, var *);
      o->items[k->str()] = *v;
    }
  }
  va_end(ap);
  out = made;
}

void var_new_list(var &out) { var_new(out, VAR_LIST, 0); }
void var_dict0(var &out) { var_new(out, VAR_DICT, 0); }

void var_dict2(var &out, var k1, var v1, var k2, var v2) { var_new(out, VAR_DICT, 4, &k1, &v1, &k2, &v2); }

std::string var_str(const var &v) { return v.str(); }
var &var_index_string(const var &v, const std::string &key) { return v[var(key)]; }

// ---- string helpers ----

int str_find(const std::string &text, const std::string &sub) {
  size_t p = text.find(sub);
  return p == std::string::npos ? -1 : (int)p;
}

void str_join(var &out, const std::string &sep, const var &list) {
  if (list.type() != VAR_LIST) {
    VAR_REPORT("TypeError");
    out.release();
    return;
  }
  std::string s;
  const std::vector<var> &items = static_cast<const _var_list *>(list.object())->items;
  for (size_t i = 0; i < items.size(); i++) {
    if (i) s += sep;
    s += items[i].str();
  }
  out.set_string(s);
}

std::string str_replace(const std::string &text, const std::string &from, const std::string &to) {
  if (from.empty()) return text;  // would match everywhere and never advance
  std::string s;
  size_t at = 0;
  for (size_t p; (p = text.find(from, at)) != std::string::npos; at = p + from.size()) {
    s.append(text, at, p - at);
    s += to;
  }
  s.append(text, at, std::string::npos);
  return s;
}

void str_split(var &out, const std::string &text, const std::string &sep) {
  _var_list *o = new _var_list();
  var made(o);
  if (sep.empty()) {  // would match everywhere and never advance
    o->items.push_back(var(text));
  } else {
    size_t at = 0;
    for (size_t p; (p = text.find(sep, at)) != std::string::npos; at = p + sep.size())
      o->items.push_back(var(text.substr(at, p - at)));
    o->items.push_back(var(text.substr(at)));
  }
  out = made;
}

static bool _str_blank(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; }

std::string str_strip(const std::string &text) {
  size_t a = 0, b = text.size();
  while (a < b && _str_blank(text[a])) a++;
  while (b > a && _str_blank(text[b - 1])) b--;
  return text.substr(a, b - a);
}

std::string str_lower(const std::string &text) {
  std::string s = text;
  for (char &c : s) c = (char)tolower((unsigned char)c);
  return s;
}

bool str_vformat(std::string &out, const char *format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  int length = vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  out.clear();
  if (length < 0) return false;
  out.resize((size_t)length + 1);
  vsnprintf(&out[0], out.size(), format, args);
  out.resize((size_t)length);
  return true;
}
