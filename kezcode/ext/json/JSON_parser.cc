// JSON push parser: a table-driven automaton over character classes with a stack of open containers.
//
// Each byte is classified, and the table gives for (state, class) either the next state or an action.
// Plain transitions only collect bytes: string content, number text and the digits of a \u escape.
// Actions do everything else (open and close containers, end tokens, escapes, comments) and report
// the tokens. A number has no closing byte, so the byte after it completes it and is then read again
// as if it followed a finished value.
#include "JSON_parser.h"

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>

// Character classes: the columns of the table.
enum {
  C_SPACE,  // space
  C_WHITE,  // TAB, LF, CR: blanks between tokens, refused inside strings
  C_LCURB,
  C_RCURB,
  C_LSQRB,
  C_RSQRB,
  C_COLON,
  C_COMMA,
  C_QUOTE,
  C_BACKS,
  C_SLASH,
  C_PLUS,
  C_MINUS,
  C_POINT,
  C_ZERO,
  C_DIGIT,  // 1-9
  C_LOW_A,
  C_LOW_B,
  C_LOW_C,  // c, d: hex digits only
  C_LOW_E,
  C_LOW_F,
  C_LOW_L,
  C_LOW_N,
  C_LOW_R,
  C_LOW_S,
  C_LOW_T,
  C_LOW_U,
  C_ABCDF,  // A-D, F: hex digits only
  C_E,      // E
  C_STAR,
  C_ETC,   // every other byte from 0x20 up, 0x80-0xFF included: itself inside strings
  C_CTRL,  // other bytes below 0x20: refused except inside comments
  NR_CLASSES
};

// States: the rows of the table.
enum {
  GO,  // start: blanks until the first object or array
  OK,  // a value is complete
  OB,  // after "{": a key or "}"
  KE,  // after "," in an object: a key
  CO,  // after a key: ":"
  VA,  // a value is required
  AR,  // after "[": a value or "]"
  ST,  // inside a string
  ES,  // after a backslash
  U1,  // the four hex digits of \u
  U2,
  U3,
  U4,
  MI,  // after a minus
  ZE,  // a leading zero
  IN,  // integer digits
  FR,  // fraction digits
  FS,  // a point with no digits after it yet
  E1,  // after e or E
  E2,  // after the exponent's sign
  E3,  // exponent digits
  T1,  // the letters of true, false and null
  T2,
  T3,
  F1,
  F2,
  F3,
  F4,
  N1,
  N2,
  N3,
  C1,  // after "/": "*" must follow
  C2,  // inside a comment
  C3,  // after "*" inside a comment
  D1,  // after a high surrogate: "\" must follow
  D2,  // then "u"
  NR_STATES
};

// Actions: the negative table entries.
enum {
  XX = -1,   // syntax error
  BO = -2,   // "{"
  EO = -3,   // "}"
  BA = -4,   // "["
  EA = -5,   // "]"
  QT = -6,   // closing quote
  CM = -7,   // ","
  CL = -8,   // ":"
  NM = -9,   // the byte after a number: complete it, then read the byte again in state OK
  EC = -10,  // a one-letter escape
  UX = -11,  // the fourth hex digit of \u
  SL = -12,  // "/" where blanks may stand: a comment starts
  CE = -13,  // "/" after "*": the comment ends
  TR = -14,  // the last letter of true
  FA = -15,  // ... of false
  NU = -16,  // ... of null
};

static const signed char TRANSITIONS[NR_STATES][NR_CLASSES] = {
    /*      sp  ws   {   }   [   ]   :   ,   "   \   /   +   -   .   0  19
             a   b  cd   e   f   l   n   r   s   t   u  AF   E   * etc ctl */
    /*GO*/ {GO, GO, BO, XX, BA, XX, XX, XX, XX, XX, SL, XX, XX, XX, XX, XX,
            XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX},
    /*OK*/ {OK, OK, XX, EO, XX, EA, XX, CM, XX, XX, SL, XX, XX, XX, XX, XX,
            XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX},
    /*OB*/ {OB, OB, XX, EO, XX, XX, XX, XX, ST, XX, SL, XX, XX, XX, XX, XX,
            XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX},
    /*KE*/ {KE, KE, XX, XX, XX, XX, XX, XX, ST, XX, SL, XX, XX, XX, XX, XX,
            XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX},
    /*CO*/ {CO, CO, XX, XX, XX, XX, CL, XX, XX, XX, SL, XX, XX, XX, XX, XX,
            XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX},
    /*VA*/ {VA, VA, BO, XX, BA, XX, XX, XX, ST, XX, SL, XX, MI, XX, ZE, IN,
            XX, XX, XX, XX, F1, XX, N1, XX, XX, T1, XX, XX, XX, XX, XX, XX},
    /*AR*/ {AR, AR, BO, XX, BA, EA, XX, XX, ST, XX, SL, XX, MI, XX, ZE, IN,
            XX, XX, XX, XX, F1, XX, N1, XX, XX, T1, XX, XX, XX, XX, XX, XX},
    /*ST*/ {ST, XX, ST, ST, ST, ST, ST, ST, QT, ES, ST, ST, ST, ST, ST, ST,
            ST, ST, ST, ST, ST, ST, ST, ST, ST, ST, ST, ST, ST, ST, ST, XX},
    /*ES*/ {XX, XX, XX, XX, XX, XX, XX, XX, EC, EC, EC, XX, XX, XX, XX, XX,
            XX, EC, XX, XX, EC, XX, EC, EC, XX, EC, U1, XX, XX, XX, XX, XX},
    /*U1*/ {XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, U2, U2,
            U2, U2, U2, U2, U2, XX, XX, XX, XX, XX, XX, U2, U2, XX, XX, XX},
    /*U2*/ {XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, U3, U3,
            U3, U3, U3, U3, U3, XX, XX, XX, XX, XX, XX, U3, U3, XX, XX, XX},
    /*U3*/ {XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, U4, U4,
            U4, U4, U4, U4, U4, XX, XX, XX, XX, XX, XX, U4, U4, XX, XX, XX},
    /*U4*/ {XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, UX, UX,
            UX, UX, UX, UX, UX, XX, XX, XX, XX, XX, XX, UX, UX, XX, XX, XX},
    /*MI*/ {XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, ZE, IN,
            XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX},
    /*ZE*/ {NM, NM, XX, NM, XX, NM, XX, NM, XX, XX, NM, XX, XX, FS, XX, XX,
            XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX},
    /*IN*/ {NM, NM, XX, NM, XX, NM, XX, NM, XX, XX, NM, XX, XX, FS, IN, IN,
            XX, XX, XX, E1, XX, XX, XX, XX, XX, XX, XX, XX, E1, XX, XX, XX},
    /*FR*/ {NM, NM, XX, NM, XX, NM, XX, NM, XX, XX, NM, XX, XX, XX, FR, FR,
            XX, XX, XX, E1, XX, XX, XX, XX, XX, XX, XX, XX, E1, XX, XX, XX},
    /*FS*/ {NM, NM, XX, NM, XX, NM, XX, NM, XX, XX, XX, XX, XX, XX, FR, FR,
            XX, XX, XX, E1, XX, XX, XX, XX, XX, XX, XX, XX, E1, XX, XX, XX},
    /*E1*/ {XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, E2, E2, XX, E3, E3,
            XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX},
    /*E2*/ {XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, E3, E3,
            XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX},
    /*E3*/ {NM, NM, XX, NM, XX, NM, XX, NM, XX, XX, XX, XX, XX, XX, E3, E3,
            XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX},
    /*T1*/ {XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX,
            XX, XX, XX, XX, XX, XX, XX, T2, XX, XX, XX, XX, XX, XX, XX, XX},
    /*T2*/ {XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX,
            XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, T3, XX, XX, XX, XX, XX},
    /*T3*/ {XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX,
            XX, XX, XX, TR, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX},
    /*F1*/ {XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX,
            F2, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX},
    /*F2*/ {XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX,
            XX, XX, XX, XX, XX, F3, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX},
    /*F3*/ {XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX,
            XX, XX, XX, XX, XX, XX, XX, XX, F4, XX, XX, XX, XX, XX, XX, XX},
    /*F4*/ {XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX,
            XX, XX, XX, FA, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX},
    /*N1*/ {XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX,
            XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, N2, XX, XX, XX, XX, XX},
    /*N2*/ {XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX,
            XX, XX, XX, XX, XX, N3, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX},
    /*N3*/ {XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX,
            XX, XX, XX, XX, XX, NU, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX},
    /*C1*/ {XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX,
            XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, C2, XX, XX},
    /*C2*/ {C2, C2, C2, C2, C2, C2, C2, C2, C2, C2, C2, C2, C2, C2, C2, C2,
            C2, C2, C2, C2, C2, C2, C2, C2, C2, C2, C2, C2, C2, C3, C2, C2},
    /*C3*/ {C2, C2, C2, C2, C2, C2, C2, C2, C2, C2, CE, C2, C2, C2, C2, C2,
            C2, C2, C2, C2, C2, C2, C2, C2, C2, C2, C2, C2, C2, C3, C2, C2},
    /*D1*/ {XX, XX, XX, XX, XX, XX, XX, XX, XX, D2, XX, XX, XX, XX, XX, XX,
            XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX},
    /*D2*/ {XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, XX,
            XX, XX, XX, XX, XX, XX, XX, XX, XX, XX, U1, XX, XX, XX, XX, XX},
};

// Modes: what the open container expects; one per level of the mode stack.
enum { MODE_DONE, MODE_KEY, MODE_OBJECT, MODE_ARRAY };

// The token buffer starts inside the parser; only a longer token moves it to the heap.
constexpr size_t JSON_INLINE_BUFFER = 3500;

struct JSON_parser {
  JSON_parser_callback callback;
  void *context;
  int depth;
  bool allow_comments;
  bool floats_as_text;
  char decimal_point;  // the locale's, read once: strtod reads numbers with it
  signed char state;
  signed char state_before_comment;
  signed char modes[JSON_PARSER_MAX_DEPTH + 1];  // modes[0] is MODE_DONE
  int top;                                       // index of the innermost mode; -1 once the end check passed
  unsigned hex;                                  // the \u digits read so far
  unsigned high_surrogate;                       // a pending first half of a pair, 0 when none
  bool cut;                                      // an escaped NUL ended the string's text
  char *buffer;                                  // the pending string or number, NUL-terminated
  size_t length;
  size_t capacity;
  char inline_buffer[JSON_INLINE_BUFFER];
};

static int _json_class(int c) {
  switch (c) {
    case ' ': return C_SPACE;
    case '\t':
    case '\n':
    case '\r': return C_WHITE;
    case '{': return C_LCURB;
    case '}': return C_RCURB;
    case '[': return C_LSQRB;
    case ']': return C_RSQRB;
    case ':': return C_COLON;
    case ',': return C_COMMA;
    case '"': return C_QUOTE;
    case '\\': return C_BACKS;
    case '/': return C_SLASH;
    case '+': return C_PLUS;
    case '-': return C_MINUS;
    case '.': return C_POINT;
    case '0': return C_ZERO;
    case 'a': return C_LOW_A;
    case 'b': return C_LOW_B;
    case 'c':
    case 'd': return C_LOW_C;
    case 'e': return C_LOW_E;
    case 'f': return C_LOW_F;
    case 'l': return C_LOW_L;
    case 'n': return C_LOW_N;
    case 'r': return C_LOW_R;
    case 's': return C_LOW_S;
    case 't': return C_LOW_T;
    case 'u': return C_LOW_U;
    case 'E': return C_E;
    case '*': return C_STAR;
  }
  if (c >= '1' && c <= '9') return C_DIGIT;
  if (c >= 'A' && c <= 'F') return C_ABCDF;
  return c < 0x20 ? C_CTRL : C_ETC;
}

static unsigned _json_hex_value(int c) {
  if (c <= '9') return unsigned(c - '0');
  return unsigned((c | 0x20) - 'a' + 10);  // the table lets only hex digits through
}

static bool _json_report(JSON_parser *p, int type, const JSON_value *value) {
  static const JSON_value NO_VALUE = {};
  return p->callback(p->context, type, value ? value : &NO_VALUE) != 0;
}

static bool _json_grow(JSON_parser *p) {
  size_t capacity = p->capacity * 2;
  char *block = static_cast<char *>(malloc(capacity));
  if (!block) return false;
  memcpy(block, p->buffer, p->length + 1);
  if (p->buffer != p->inline_buffer) free(p->buffer);
  p->buffer = block;
  p->capacity = capacity;
  return true;
}

static bool _json_append(JSON_parser *p, int c) {
  if (p->cut) return true;
  if (c == 0) {  // the text is handed over NUL-terminated, so it ends here
    p->cut = true;
    return true;
  }
  if (p->length + 2 > p->capacity && !_json_grow(p)) return false;  // room for the byte and a NUL
  p->buffer[p->length++] = char(c);
  p->buffer[p->length] = 0;
  return true;
}

static void _json_clear_token(JSON_parser *p) {
  p->length = 0;
  p->buffer[0] = 0;
  p->cut = false;
}

static bool _json_append_utf8(JSON_parser *p, unsigned code) {
  if (code < 0x80) return _json_append(p, int(code));
  unsigned char bytes[4];
  int n;
  if (code < 0x800) {
    bytes[0] = 0xC0 | (code >> 6);
    n = 2;
  } else if (code < 0x10000) {
    bytes[0] = 0xE0 | (code >> 12);
    n = 3;
  } else {
    bytes[0] = 0xF0 | (code >> 18);
    n = 4;
  }
  for (int i = 1; i < n; i++) bytes[i] = 0x80 | ((code >> (6 * (n - 1 - i))) & 0x3F);
  for (int i = 0; i < n; i++)
    if (!_json_append(p, bytes[i])) return false;
  return true;
}

static bool _json_push(JSON_parser *p, signed char mode) {
  if (p->top >= p->depth) return false;  // one container too many
  p->modes[++p->top] = mode;
  return true;
}

static bool _json_pop(JSON_parser *p, signed char mode) {
  if (p->top < 0 || p->modes[p->top] != mode) return false;
  p->top--;
  return true;
}

static bool _json_open(JSON_parser *p, signed char mode, int type, signed char state) {
  if (!_json_push(p, mode)) return false;
  p->state = state;
  return _json_report(p, type, nullptr);
}

static bool _json_close(JSON_parser *p, signed char mode, int type) {
  if (!_json_pop(p, mode)) return false;
  p->state = OK;
  return _json_report(p, type, nullptr);
}

static bool _json_end_string(JSON_parser *p) {
  JSON_value value = {};
  value.text = p->buffer;
  value.length = p->length;
  bool key = p->modes[p->top] == MODE_KEY;
  p->state = key ? CO : OK;
  bool go_on = _json_report(p, key ? JSON_T_KEY : JSON_T_STRING, &value);
  _json_clear_token(p);
  return go_on;
}

static bool _json_report_float(JSON_parser *p) {
  JSON_value value = {};
  if (p->floats_as_text) {
    value.text = p->buffer;
    value.length = p->length;
  } else {
    char *point = strchr(p->buffer, '.');
    if (point) *point = p->decimal_point;
    value.number = strtod(p->buffer, nullptr);
  }
  return _json_report(p, JSON_T_FLOAT, &value);
}

static bool _json_end_number(JSON_parser *p) {
  bool go_on;
  if (p->state == ZE || p->state == IN) {
    JSON_value value = {};
    errno = 0;
    value.integer = strtoll(p->buffer, nullptr, 10);
    // Beyond 64 bits the text still names a number: strtod rounds it to the nearest double.
    go_on = errno == ERANGE ? _json_report_float(p) : _json_report(p, JSON_T_INTEGER, &value);
  } else {
    go_on = _json_report_float(p);
  }
  _json_clear_token(p);
  p->state = OK;
  return go_on;
}

static bool _json_comma(JSON_parser *p) {
  if (p->top < 0) return false;
  signed char &mode = p->modes[p->top];
  if (mode == MODE_OBJECT) {
    mode = MODE_KEY;
    p->state = KE;
    return true;
  }
  if (mode != MODE_ARRAY) return false;  // nothing is open
  p->state = VA;
  return true;
}

static bool _json_colon(JSON_parser *p) {
  p->modes[p->top] = MODE_OBJECT;  // CO is reached only after a key
  p->state = VA;
  return true;
}

static bool _json_escape(JSON_parser *p, int c) {
  static const char FROM[] = "\"\\/bfnrt";
  static const char TO[] = "\"\\/\b\f\n\r\t";
  p->state = ST;
  return _json_append(p, TO[strchr(FROM, c) - FROM]);  // the table passes only these letters
}

static bool _json_unicode(JSON_parser *p) {
  unsigned code = p->hex;
  bool low = code >= 0xDC00 && code <= 0xDFFF;
  if (p->high_surrogate) {  // the second half of a pair
    if (!low) return false;
    code = 0x10000 + ((p->high_surrogate - 0xD800) << 10) + (code - 0xDC00);
    p->high_surrogate = 0;
  } else if (code >= 0xD800 && code <= 0xDBFF) {
    p->high_surrogate = code;
    p->state = D1;
    return true;
  } else if (low) {
    return false;  // a second half with no first
  }
  p->state = ST;
  return _json_append_utf8(p, code);
}

static bool _json_comment(JSON_parser *p) {
  if (!p->allow_comments) return false;
  p->state_before_comment = p->state;
  p->state = C1;
  return true;
}

static bool _json_literal(JSON_parser *p, int type) {
  p->state = OK;
  return _json_report(p, type, nullptr);
}

static bool _json_act(JSON_parser *p, int action, int c) {
  switch (action) {
    case BO: return _json_open(p, MODE_KEY, JSON_T_OBJECT_BEGIN, OB);
    case EO: return _json_close(p, p->state == OB ? MODE_KEY : MODE_OBJECT, JSON_T_OBJECT_END);
    case BA: return _json_open(p, MODE_ARRAY, JSON_T_ARRAY_BEGIN, AR);
    case EA: return _json_close(p, MODE_ARRAY, JSON_T_ARRAY_END);
    case QT: return _json_end_string(p);
    case CM: return _json_comma(p);
    case CL: return _json_colon(p);
    case EC: return _json_escape(p, c);
    case UX: p->hex = p->hex * 16 + _json_hex_value(c); return _json_unicode(p);
    case SL: return _json_comment(p);
    case CE: p->state = p->state_before_comment; return true;
    case TR: return _json_literal(p, JSON_T_TRUE);
    case FA: return _json_literal(p, JSON_T_FALSE);
    case NU: return _json_literal(p, JSON_T_NULL);
  }
  return false;  // XX
}

// A plain transition: collects the byte where the state pair says it belongs to a token.
static bool _json_shift(JSON_parser *p, int c, int next) {
  int from = p->state;
  p->state = static_cast<signed char>(next);
  if (from >= U1 && from <= U3)
    p->hex = p->hex * 16 + _json_hex_value(c);
  else if (next == U1)
    p->hex = 0;
  if ((from == ST && next == ST) || (next >= MI && next <= E3)) return _json_append(p, c);
  return true;
}

JSON_parser *JSON_parser_new(const JSON_config *config) {
  if (!config->callback || config->depth < 1 || config->depth > JSON_PARSER_MAX_DEPTH) return nullptr;
  JSON_parser *p = static_cast<JSON_parser *>(calloc(1, sizeof *p));
  if (!p) return nullptr;
  p->callback = config->callback;
  p->context = config->context;
  p->depth = config->depth;
  p->allow_comments = config->allow_comments;
  p->floats_as_text = config->floats_as_text;
  p->decimal_point = *localeconv()->decimal_point;
  p->state = GO;
  p->modes[0] = MODE_DONE;
  p->buffer = p->inline_buffer;
  p->capacity = JSON_INLINE_BUFFER;
  return p;
}

bool JSON_parser_char(JSON_parser *p, int c) {
  if (c < 0 || c > 255) return false;
  int cls = _json_class(c);
  int next = TRANSITIONS[p->state][cls];
  if (next == NM) {
    if (!_json_end_number(p)) return false;
    next = TRANSITIONS[OK][cls];
  }
  return next >= 0 ? _json_shift(p, c, next) : _json_act(p, next, c);
}

bool JSON_parser_end(JSON_parser *p) {
  return (p->state == GO || p->state == OK) && p->top == 0 && _json_pop(p, MODE_DONE);
}

void JSON_parser_free(JSON_parser *p) {
  if (!p) return;
  if (p->buffer != p->inline_buffer) free(p->buffer);
  free(p);
}
