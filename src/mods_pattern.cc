// Lua 5.2 patterns over byte strings, with every step counted.
//
// The matcher backtracks: a quantified item tries its lengths one after another and a capture is
// undone when what follows it fails, so its time can grow exponentially with the pattern. Hence
// every attempt costs a step and the budget decides when to stop; and recursion (one level per
// quantifier or capture on the way) is bounded, so that a long pattern cannot exhaust the C stack.
#include "mods_pattern.h"

#include <cctype>
#include <cstdio>
#include <cstring>

constexpr char ESCAPE = '%';
constexpr int64_t STEPS_PER_SPEND = 4096;  // steps gathered before the budget is asked
constexpr size_t BYTES_PER_STEP = 16;      // bytes memcmp and memchr get through in a step
static const char SPECIALS[] = "^$*+?.([%-";

// Records a malformed pattern (the first error found wins); always false.
static bool _mods_pattern_fail(ModsPattern *m, const char *message) {
  if (m->status == MODS_PATTERN_OK) {
    m->status = MODS_PATTERN_MALFORMED;
    snprintf(m->error, sizeof m->error, "%s", message);
  }
  return false;
}

bool mods_pattern_flush(ModsPattern *m) {
  int64_t steps = m->unspent;
  m->unspent = 0;
  if (m->status == MODS_PATTERN_OK && m->spend && !m->spend(steps)) m->status = MODS_PATTERN_SPENT;
  return m->status == MODS_PATTERN_OK;
}

// Counts steps; false once the match has to stop.
static bool _mods_pattern_step(ModsPattern *m, int64_t steps = 1) {
  m->unspent += steps;
  if (m->unspent >= STEPS_PER_SPEND) return mods_pattern_flush(m);
  return m->status == MODS_PATTERN_OK;
}

// Whether c is in the class named by letter ("a" letters, "d" digits ...; upper case for the
// complement); any other character stands for itself.
static bool _mods_pattern_class(unsigned char c, unsigned char letter) {
  bool in;
  switch (tolower(letter)) {
    case 'a': in = isalpha(c); break;
    case 'c': in = iscntrl(c); break;
    case 'd': in = isdigit(c); break;
    case 'g': in = isgraph(c); break;
    case 'l': in = islower(c); break;
    case 'p': in = ispunct(c); break;
    case 's': in = isspace(c); break;
    case 'u': in = isupper(c); break;
    case 'w': in = isalnum(c); break;
    case 'x': in = isxdigit(c); break;
    case 'z': in = c == 0; break;
    default: return letter == c;
  }
  return isupper(letter) ? !in : in;
}

// Whether c is in the set that opens at open ('[') and closes at close (']').
static bool _mods_pattern_set(unsigned char c, const char *open, const char *close) {
  const char *p = open + 1;
  bool complement = *p == '^';
  if (complement) p++;
  while (p < close) {
    if (*p == ESCAPE) {  // a valid set never ends in a lone escape
      if (_mods_pattern_class(c, (unsigned char)p[1])) return !complement;
      p += 2;
    } else if (p + 2 < close && p[1] == '-') {
      if ((unsigned char)p[0] <= c && c <= (unsigned char)p[2]) return !complement;
      p += 3;
    } else {
      if ((unsigned char)*p == c) return !complement;
      p++;
    }
  }
  return complement;
}

// The end of the single-character item at p; null (and the error) for a malformed one.
static const char *_mods_pattern_item_end(ModsPattern *m, const char *p) {
  const char *end = m->pattern_end;
  if (*p == ESCAPE) {
    if (p + 1 >= end) return _mods_pattern_fail(m, "malformed pattern (ends with '%')"), nullptr;
    return p + 2;
  }
  if (*p != '[') return p + 1;
  const char *q = p + 1;
  if (q < end && *q == '^') q++;
  do {  // the first member is taken as it is, so "[]]" holds ']'
    if (q >= end) return _mods_pattern_fail(m, "malformed pattern (missing ']')"), nullptr;
    if (*q++ == ESCAPE && q < end) q++;
  } while (q >= end || *q != ']');
  return q + 1;
}

// Whether the byte c matches the single-character item from p to item_end.
static bool _mods_pattern_single(char c, const char *p, const char *item_end) {
  unsigned char u = (unsigned char)c;
  switch (*p) {
    case '.': return true;
    case ESCAPE: return _mods_pattern_class(u, (unsigned char)p[1]);
    case '[': return _mods_pattern_set(u, p, item_end - 1);
    default: return (unsigned char)*p == u;
  }
}

static const char *_mods_pattern_items(ModsPattern *m, const char *s, const char *p);

// Matches the pattern from p on at s, one level deeper.
static const char *_mods_pattern_deeper(ModsPattern *m, const char *s, const char *p) {
  if (!_mods_pattern_step(m)) return nullptr;
  if (m->depth >= MODS_PATTERN_DEPTH) return _mods_pattern_fail(m, "pattern too complex"), nullptr;
  m->depth++;
  const char *end = _mods_pattern_items(m, s, p);
  m->depth--;
  return end;
}

// As many repetitions of the item as there are at s, then fewer, until the rest matches.
static const char *_mods_pattern_longest(ModsPattern *m, const char *s, const char *p, const char *item_end) {
  ptrdiff_t count = 0;
  while (s + count < m->subject_end && _mods_pattern_single(s[count], p, item_end)) {
    count++;
    if (!_mods_pattern_step(m)) return nullptr;
  }
  for (; count >= 0; count--) {
    const char *end = _mods_pattern_deeper(m, s + count, item_end + 1);
    if (end || m->status != MODS_PATTERN_OK) return end;
  }
  return nullptr;
}

// No repetition of the item first, then one more each time the rest does not match.
static const char *_mods_pattern_shortest(ModsPattern *m, const char *s, const char *p, const char *item_end) {
  for (;;) {
    const char *end = _mods_pattern_deeper(m, s, item_end + 1);
    if (end || m->status != MODS_PATTERN_OK) return end;
    if (s >= m->subject_end || !_mods_pattern_single(*s, p, item_end)) return nullptr;
    s++;
  }
}

static const char *_mods_pattern_open(ModsPattern *m, const char *s, const char *p, ptrdiff_t kind) {
  if (m->level >= MODS_PATTERN_CAPTURES) return _mods_pattern_fail(m, "too many captures"), nullptr;
  m->captures[m->level] = {s, kind};
  m->level++;
  const char *end = _mods_pattern_deeper(m, s, p);
  if (!end) m->level--;
  return end;
}

static const char *_mods_pattern_close(ModsPattern *m, const char *s, const char *p) {
  int open = m->level - 1;
  while (open >= 0 && m->captures[open].length != MODS_PATTERN_OPEN) open--;
  if (open < 0) return _mods_pattern_fail(m, "invalid pattern capture"), nullptr;
  m->captures[open].length = s - m->captures[open].start;
  const char *end = _mods_pattern_deeper(m, s, p);
  if (!end) m->captures[open].length = MODS_PATTERN_OPEN;
  return end;
}

// "%bxy" with the two characters at p: from an x at s to the y that balances it.
static const char *_mods_pattern_balance(ModsPattern *m, const char *s, const char *p) {
  if (p + 1 >= m->pattern_end) return _mods_pattern_fail(m, "malformed pattern (missing arguments to '%b')"), nullptr;
  if (s >= m->subject_end || *s != p[0]) return nullptr;
  ptrdiff_t open = 1;
  for (const char *c = s + 1; c < m->subject_end; c++) {
    if (!_mods_pattern_step(m)) return nullptr;
    if (*c == p[1]) {
      if (--open == 0) return c + 1;
    } else if (*c == p[0]) {
      open++;
    }
  }
  return nullptr;
}

// "%f[set]" at *p: true (and *p past it) where the character before s is not in the set and the
// one at s is; the subject's ends count as the byte 0.
static bool _mods_pattern_frontier(ModsPattern *m, const char *s, const char **p) {
  const char *open = *p + 2;
  if (open >= m->pattern_end || *open != '[') return _mods_pattern_fail(m, "missing '[' after '%f' in pattern");
  const char *end = _mods_pattern_item_end(m, open);
  if (!end) return false;
  unsigned char before = s == m->subject ? 0 : (unsigned char)s[-1];
  unsigned char at = s < m->subject_end ? (unsigned char)*s : 0;
  if (_mods_pattern_set(before, open, end - 1) || !_mods_pattern_set(at, open, end - 1)) return false;
  *p = end;
  return true;
}

// "%1" to "%9": the text of that closed capture again. A position capture matches nothing.
static const char *_mods_pattern_again(ModsPattern *m, const char *s, char digit) {
  int index = digit - '1';
  if (index < 0 || index >= m->level || m->captures[index].length == MODS_PATTERN_OPEN) {
    char message[32];
    snprintf(message, sizeof message, "invalid capture index %%%d", index + 1);
    return _mods_pattern_fail(m, message), nullptr;
  }
  ptrdiff_t length = m->captures[index].length;
  if (length < 0 || m->subject_end - s < length) return nullptr;
  if (!_mods_pattern_step(m, 1 + length / (ptrdiff_t)BYTES_PER_STEP)) return nullptr;
  return memcmp(m->captures[index].start, s, (size_t)length) == 0 ? s + length : nullptr;
}

static const char *_mods_pattern_items(ModsPattern *m, const char *s, const char *p) {
  const char *end = m->pattern_end;
  while (p < end) {
    switch (*p) {
      case '(':
        if (p + 1 < end && p[1] == ')') return _mods_pattern_open(m, s, p + 2, MODS_PATTERN_POSITION);
        return _mods_pattern_open(m, s, p + 1, MODS_PATTERN_OPEN);
      case ')': return _mods_pattern_close(m, s, p + 1);
      case '$':
        if (p + 1 == end) return s == m->subject_end ? s : nullptr;
        break;  // elsewhere a plain '$'
      case ESCAPE:
        if (p + 1 < end && p[1] == 'b') {
          s = _mods_pattern_balance(m, s, p + 2);
          if (!s) return nullptr;
          p += 4;
          continue;
        }
        if (p + 1 < end && p[1] == 'f') {
          if (!_mods_pattern_frontier(m, s, &p)) return nullptr;
          continue;
        }
        if (p + 1 < end && isdigit((unsigned char)p[1])) {
          s = _mods_pattern_again(m, s, p[1]);
          if (!s) return nullptr;
          p += 2;
          continue;
        }
        break;
    }
    const char *item_end = _mods_pattern_item_end(m, p);
    if (!item_end || !_mods_pattern_step(m)) return nullptr;
    bool here = s < m->subject_end && _mods_pattern_single(*s, p, item_end);
    switch (item_end < end ? *item_end : 0) {
      case '?':
        if (here) {
          const char *matched = _mods_pattern_deeper(m, s + 1, item_end + 1);
          if (matched || m->status != MODS_PATTERN_OK) return matched;
        }
        p = item_end + 1;
        continue;
      case '+': return here ? _mods_pattern_longest(m, s + 1, p, item_end) : nullptr;
      case '*': return _mods_pattern_longest(m, s, p, item_end);
      case '-': return _mods_pattern_shortest(m, s, p, item_end);
    }
    if (!here) return nullptr;
    s++;
    p = item_end;
  }
  return s;
}

void mods_pattern_init(ModsPattern *m, const char *subject, size_t subject_length, const char *pattern,
                       size_t pattern_length, bool (*spend)(int64_t)) {
  m->subject = subject;
  m->subject_end = subject + subject_length;
  m->pattern = pattern;
  m->pattern_end = pattern + pattern_length;
  m->level = 0;
  m->depth = 0;
  m->status = MODS_PATTERN_OK;
  m->error[0] = 0;
  m->spend = spend;
  m->unspent = 0;
}

const char *mods_pattern_match(ModsPattern *m, const char *s) {
  if (m->status != MODS_PATTERN_OK) return nullptr;
  m->level = 0;
  m->depth = 0;
  const char *end = _mods_pattern_deeper(m, s, m->pattern);
  return m->status == MODS_PATTERN_OK ? end : nullptr;
}

bool mods_pattern_is_plain(const char *pattern, size_t length) {
  for (size_t i = 0; i < length; i++) {
    if (pattern[i] && strchr(SPECIALS, pattern[i])) return false;
  }
  return true;
}

const char *mods_pattern_find_plain(ModsPattern *m, const char *from) {
  const char *haystack = from, *needle = m->pattern;
  const size_t haystack_length = (size_t)(m->subject_end - from), needle_length = (size_t)(m->pattern_end - m->pattern);
  if (needle_length == 0) return haystack;
  if (needle_length > haystack_length) return nullptr;
  const char *last = haystack + (haystack_length - needle_length);
  for (const char *at = haystack; at <= last;) {
    const char *hit = static_cast<const char *>(memchr(at, needle[0], (size_t)(last - at) + 1));
    const char *scanned = hit ? hit : last;
    if (!_mods_pattern_step(m, 1 + (scanned - at) / (ptrdiff_t)BYTES_PER_STEP)) return nullptr;
    if (!hit) return nullptr;
    if (!_mods_pattern_step(m, 1 + (ptrdiff_t)(needle_length / BYTES_PER_STEP))) return nullptr;
    if (memcmp(hit + 1, needle + 1, needle_length - 1) == 0) return hit;
    at = hit + 1;
  }
  return nullptr;
}
