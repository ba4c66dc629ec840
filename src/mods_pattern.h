// Lua 5.2 patterns over byte strings, with every step of the matcher counted: a pattern made to
// backtrack for ever stops as soon as its steps are refused, and a malformed one reports what is
// wrong instead of raising. No Lua here; mods_library turns the results into Lua values.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int MODS_PATTERN_CAPTURES = 32;  // captures a pattern may hold
constexpr int MODS_PATTERN_DEPTH = 200;    // nested quantifiers and captures before "pattern too complex"
constexpr ptrdiff_t MODS_PATTERN_OPEN = -1;      // length of a capture whose ')' is not reached yet
constexpr ptrdiff_t MODS_PATTERN_POSITION = -2;  // length of a position capture "()"

enum ModsPatternStatus {
  MODS_PATTERN_OK = 0,
  MODS_PATTERN_MALFORMED,  // error holds the message
  MODS_PATTERN_SPENT,      // the step budget refused more steps
};

struct ModsPatternCapture {
  const char *start;
  ptrdiff_t length;  // bytes, or MODS_PATTERN_OPEN / MODS_PATTERN_POSITION
};

// One match in progress: the subject, the pattern, the captures and the step account.
struct ModsPattern {
  const char *subject = nullptr, *subject_end = nullptr;
  const char *pattern = nullptr, *pattern_end = nullptr;
  int level = 0;  // captures opened so far
  ModsPatternCapture captures[MODS_PATTERN_CAPTURES] = {};
  int depth = 0;
  int status = MODS_PATTERN_OK;
  char error[64] = "";
  // Called with the steps taken since its last call; false stops the match with MODS_PATTERN_SPENT.
  bool (*spend)(int64_t steps) = nullptr;
  int64_t unspent = 0;  // steps not yet handed to spend
};

// Sets m up for subject and pattern (the pattern without a leading anchor).
void mods_pattern_init(ModsPattern *m, const char *subject, size_t subject_length, const char *pattern,
                       size_t pattern_length, bool (*spend)(int64_t));
// Tries a match starting exactly at s; the end of the match, or null when there is none or the
// status is no longer MODS_PATTERN_OK. The captures of a match stay in m.
const char *mods_pattern_match(ModsPattern *m, const char *s);
// Hands the steps not yet spent to spend; false when they are refused.
bool mods_pattern_flush(ModsPattern *m);
// True when the pattern holds none of the characters that make it more than a plain text.
bool mods_pattern_is_plain(const char *pattern, size_t length);
// The first place of the pattern, as plain text, in the subject from `from` on, or null; counts a
// step per 16 bytes compared.
const char *mods_pattern_find_plain(ModsPattern *m, const char *from);
