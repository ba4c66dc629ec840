// Dynamic value: the one value type shared by the whole program (none, number, string, list, dict, bool).
//
// A `var` is a handle: one pointer to a reference-counted `var_object`, or null, which is the value
// none. Copying a handle shares the object, so lists and dicts have reference semantics: a change made
// through one handle is seen through all of them. Numbers, strings and bools are never changed in place
// by the handle operations; `set_*` and assignment make the handle point at another object.
//
// Nothing here throws. A misuse prints "path:line: message" to stderr, keeps the message as the last
// error (`var_error`) and yields a neutral result: none, 0, false, or an unchanged container.
//
// Single-threaded: reference counts, the scratch none reference and the last error are not protected.
// Cycles (a list that holds itself) are never freed.
#pragma once

#include <cstdarg>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class var_object;

// Type codes returned by `var::type` and `var_object::type`.
enum {
  VAR_INVALID = -1,  // the base object and the iterators
  VAR_NONE = 0,
  VAR_NUMBER = 1,
  VAR_STRING = 2,
  VAR_LIST = 3,
  VAR_DICT = 4,
  VAR_BOOL = 5,
};

// The handle. A const handle can still change the container it points at (as with a const pointer):
// only release, set_* and assignment make the handle itself point elsewhere. Every operation works on a
// null handle exactly as on a none object.
class var {
 public:
  var() : obj_(nullptr) {}  // none
  var(int v);
  var(float v);
  var(double v);
  var(bool v);
  var(const char *s);  // a null pointer gives the empty string
  var(const std::string &s);
  var(const var &other);  // shares other's object
  // Takes one share of `o` (a new object starts with count 0); null gives none.
  explicit var(var_object *o);
  ~var();

  // Keeps the target's own object when it compares equal to `src` through the target's `equal` (for
  // lists and dicts that means the same object); otherwise shares `src`'s object. Safe when `src` lives
  // inside the target (node = node["children"]).
  var &operator=(const var &src);

  // Drops this handle's share (freeing the object at 0) and makes the handle none.
  void release();
  // Each replaces the handle's value by a new object.
  void set_number(double v);
  void set_bool(bool v);
  void set_string(const std::string &s);

  // VAR_NONE..VAR_BOOL, or VAR_INVALID for iterators.
  int type() const;
  // Text form: numbers as in "3", "0.5", "2147483648.0"; bools "True"/"False"; none "".
  std::string str() const;
  // Numeric form: strings are read with atof; bools 1.0/0.0; anything else 0.0.
  double number() const;
  // Numbers != 0.0 (NaN is true), the bool's flag, non-empty strings, lists and dicts.
  bool truth() const;
  // The left value's `equal`: same kind and value; same object for lists and dicts; none equals none.
  bool operator==(const var &other) const;
  // The ordering used for sorting values of one kind (numbers numerically, strings byte-wise).
  bool less(const var &other) const;

  // Element access. A list takes the key's number truncated to 32 bits (negative counts from the end);
  // out of range reports IndexError and returns `none_ref()`. A dict takes the key's `str` text and
  // inserts a missing key as none, so reading grows it: test `has` first where that matters. The
  // reference stays valid as long as the container is not changed. Other kinds report TypeError and
  // return `none_ref()`. Wrap keys that are not int or text
  // (v[var(1.5)]): C++ would pick the int overload for a double or bool and truncate it.
  var &operator[](const var &key) const;
  var &operator[](const char *key) const;
  var &operator[](int index) const;

  // Substring test for strings, element test (each element's `equal`) for lists, key test for dicts;
  // TypeError and false otherwise.
  bool has(const var &x) const;
  // Removes a list element (IndexError when out of range) or a dict key (KeyError when missing).
  void del(const var &key) const;
  // Bytes of a string, elements of a list, entries of a dict; TypeError and 0 otherwise.
  int len() const;
  // Pushes `value` (shared) onto a list; UnsupportedError and no change for any other kind.
  void append(const var &value) const;

  // Items a..b-1 of a string or list as a new value (elements shared). Negative bounds count from the
  // end; bounds are clamped to 0..len; a start at or past the end gives an empty value. TypeError and
  // none for other kinds.
  var slice(int a, int b) const;
  // Numbers: this value op the other's `number` (IEEE division). Strings: add appends the other's `str`.
  // Lists: add concatenates with another list. TypeError and none for anything else.
  var add(const var &other) const;
  var sub(const var &other) const;
  var mul(const var &other) const;
  var div(const var &other) const;
  // A copy of a number, string or bool; a new list or dict sharing the elements.
  var clone() const;

  // Iteration: take `iter` once, then call `next` or `next_kv` on the iterator until it returns false.
  // Strings yield each byte as a number (signed char); lists their elements; dicts their KEYS in byte
  // order (`next_kv` gives key and value). Other kinds yield nothing, without an error. The iterator does
  // not keep the value alive: the value must live and stay unchanged while it is walked. At the end
  // `next` and `next_kv` return false and leave their outputs untouched.
  var iter() const;
  bool next(var &out) const;
  bool next_kv(var &key, var &value) const;

  // The object this handle shares, or null for none.
  var_object *object() const { return obj_; }

  // A scratch none value, reset on every call; failed element reads return it, so writes through the
  // returned reference never reach a container.
  static var &none_ref();

 private:
  var_object &op() const;     // the object, or a shared none object for a null handle
  void adopt(var_object *o);  // takes a share of o, then drops the old object

  var_object *obj_;
};

// The object behind a handle. The base class is itself a neutral value of type VAR_INVALID: the
// container operations report TypeError, everything else yields "", 0.0 or false. The kinds below
// override what applies to them. Objects are created with count 0; each handle holding one adds 1.
class var_object {
 public:
  uint32_t refcount = 0;  // handles sharing this object; not atomic

  virtual ~var_object();
  virtual int type() const;
  virtual void hook1(const var &arg);  // unused extension slot
  virtual void hook2();                // unused extension slot
  virtual void set_string(const std::string &s);
  virtual void set_number(double v);
  virtual var_object *clone() const;  // a new object with count 0
  virtual var &__get__(const var &key);
  virtual void __set__(const var &key, const var &value);
  virtual bool __has__(const var &x) const;
  virtual void __del__(const var &key);
  virtual int __len__() const;
  virtual void __slice__(var &out, int a, int b) const;
  virtual var_object *iter() const;  // a new iterator object with count 0
  virtual bool next(var &out);
  virtual bool next2(var &key, var &value);
  virtual std::string str() const;
  virtual double number() const;
  virtual bool truth() const;
  virtual bool less(const var &other) const;
  virtual bool equal(const var &other) const;
  // The arithmetic operations write their result to `out`, which may be the handle holding this object.
  virtual void __add__(var &out, const var &other) const;
  virtual void __mul__(var &out, const var &other) const;
  virtual void __sub__(var &out, const var &other) const;
  virtual void __div__(var &out, const var &other) const;
};

// The kinds. Use them through `var`; they are declared here so code can see a value's payload.

class _var_none : public var_object {
 public:
  int type() const override;
  var_object *clone() const override;
  bool equal(const var &other) const override;
};

class _var_number : public var_object {
 public:
  double value = 0.0;

  int type() const override;
  void set_number(double v) override;
  var_object *clone() const override;
  std::string str() const override;
  double number() const override;
  bool truth() const override;
  bool less(const var &other) const override;
  bool equal(const var &other) const override;
  void __add__(var &out, const var &other) const override;
  void __mul__(var &out, const var &other) const override;
  void __sub__(var &out, const var &other) const override;
  void __div__(var &out, const var &other) const override;
};

class _var_bool : public var_object {
 public:
  uint8_t value = 0;  // 0 or 1

  int type() const override;
  void set_number(double v) override;  // true when v != 0.0 (NaN is true)
  var_object *clone() const override;
  std::string str() const override;
  double number() const override;
  bool truth() const override;
  bool equal(const var &other) const override;
};

class _var_string : public var_object {
 public:
  std::string text;  // any bytes

  int type() const override;
  void set_string(const std::string &s) override;
  var_object *clone() const override;
  bool __has__(const var &x) const override;
  int __len__() const override;
  void __slice__(var &out, int a, int b) const override;
  var_object *iter() const override;
  std::string str() const override;
  double number() const override;
  bool truth() const override;
  bool less(const var &other) const override;
  bool equal(const var &other) const override;
  void __add__(var &out, const var &other) const override;
};

class _var_list : public var_object {
 public:
  std::vector<var> items;

  int type() const override;
  var_object *clone() const override;
  var &__get__(const var &key) override;
  void __set__(const var &key, const var &value) override;
  bool __has__(const var &x) const override;
  void __del__(const var &key) override;
  int __len__() const override;
  void __slice__(var &out, int a, int b) const override;
  var_object *iter() const override;
  std::string str() const override;
  bool truth() const override;
  bool less(const var &other) const override;
  bool equal(const var &other) const override;
  void __add__(var &out, const var &other) const override;
};

class _var_dict : public var_object {
 public:
  std::map<std::string, var> items;  // byte-wise key order (unsigned bytes, prefix first)

  int type() const override;
  var_object *clone() const override;
  var &__get__(const var &key) override;
  void __set__(const var &key, const var &value) override;
  bool __has__(const var &x) const override;
  void __del__(const var &key) override;
  int __len__() const override;
  var_object *iter() const override;
  std::string str() const override;
  bool truth() const override;
  bool less(const var &other) const override;
  bool equal(const var &other) const override;
};

// Iterators hold no share of the value they walk. The string and list iterators re-check the current
// length on every step, so a value changed while walked can end the walk early but is never read out of
// bounds.
// The string and list iterators: a running index, from 0, up to an end.
class _var_index_iter : public var_object {
 public:
  int32_t index = 0;
  size_t end = 0;

  bool next2(var &key, var &value) override;  // the index as key, next's value
};

class _var_string_iter : public _var_index_iter {
 public:
  const std::string *text = nullptr;

  bool next(var &out) override;
};

class _var_list_iter : public _var_index_iter {
 public:
  const std::vector<var> *items = nullptr;

  bool next(var &out) override;
};

class _var_dict_iter : public var_object {
 public:
  std::map<std::string, var>::const_iterator pos, end;

  bool next(var &out) override;
  bool next2(var &key, var &value) override;
};

// Makes a value from `count` `var *` arguments: type VAR_LIST a list of them in order, VAR_DICT a dict
// of count/2 key, value pairs (keys by their `str` text; a later duplicate overwrites an earlier one).
// Any other type leaves `out` none.
void var_new(var &out, int type, int count, ...);
// `out` becomes a new empty list.
void var_new_list(var &out);
// `out` becomes a new empty dict.
void var_dict0(var &out);
// `out` becomes a new dict of the two pairs k1: v1, k2: v2.
void var_dict2(var &out, var k1, var v1, var k2, var v2);

// The text form of `v` (same as v.str()).
std::string var_str(const var &v);
// v[key] with a string key, for keys that are already byte strings.
var &var_index_string(const var &v, const std::string &key);
// The message of the last reported error, without path and line; empty until the first error.
std::string &var_error();

// Byte-wise string helpers.

// Position of the first occurrence of `sub` in `text`, or -1.
int str_find(const std::string &text, const std::string &sub);
// `out` becomes the `str` texts of `list`'s elements joined by `sep`; TypeError and none for a non-list.
void str_join(var &out, const std::string &sep, const var &list);
// Every occurrence of `from` replaced by `to`, left to right; the inserted text is not searched again.
// An empty `from` returns the text unchanged.
std::string str_replace(const std::string &text, const std::string &from, const std::string &to);
// `out` becomes the list of pieces between occurrences of `sep`; the last piece is always added ("" gives
// [""], "a," gives ["a", ""]). An empty `sep` gives the one-element list [text].
void str_split(var &out, const std::string &text, const std::string &sep);
// Copy without leading and trailing space, LF, TAB and CR.
std::string str_strip(const std::string &text);
// Copy with ASCII letters lowered.
std::string str_lower(const std::string &text);
// printf-style formatting into out, sized to fit; false (out empty) when the format fails.
bool str_vformat(std::string &out, const char *format, va_list args);
