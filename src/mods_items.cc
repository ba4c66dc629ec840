// Item access for mods: the id check, fields by key, the items_find query language and planet styles.
#include "mods_items.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "game.h"
#include "kez_json.h"
#include "kez_log.h"
#include "mods_api.h"
#include "vantor_world.h"

// How a key's field is stored and converted.
enum ModsKeyType {
  KEY_BOOL8,   // one byte 0/1, a bool var
  KEY_BOOL32,  // a 32-bit word 0/1, a bool var
  KEY_FLOAT,
  KEY_INT,    // 32-bit, written from the truncated number
  KEY_INT16,  // read sign-extended
  KEY_INT8,   // read sign-extended
  KEY_TEXT,   // NUL-terminated within the field
  KEY_CHAR,   // a 32-bit character code, written from the first byte of the value's text
};

enum { KEY_GET = 1, KEY_SET = 2, KEY_BOTH = 3 };

// One field a mod can name.
struct ModsItemKey {
  const char *name;
  uint8_t type;
  uint8_t access;
  uint16_t offset;
  uint16_t size;  // bytes of the field
  bool ranged;    // a write must lie in low..high
  int32_t low, high;
};

#define KEY(field, type, access) \
  { #field, type, access, offsetof(Item, field), sizeof(Item::field), false, 0, 0 }
#define RANGED(field, type, low, high) \
  { #field, type, KEY_BOTH, offsetof(Item, field), sizeof(Item::field), true, low, high }

constexpr int32_t COLOR_MAX = 0xFFFFFF;
constexpr int32_t ITEM_MAX = VANTOR_ITEMS - 1;

static const ModsItemKey MODS_ITEM_KEYS[] = {
    KEY(has_position, KEY_BOOL8, KEY_BOTH),
    KEY(has_image, KEY_BOOL8, KEY_BOTH),
    KEY(has_user, KEY_BOOL8, KEY_BOTH),
    KEY(has_bot, KEY_BOOL8, KEY_BOTH),
    KEY(has_player, KEY_BOOL8, KEY_BOTH),
    KEY(has_ships, KEY_BOOL8, KEY_BOTH),
    KEY(has_label, KEY_BOOL8, KEY_BOTH),
    KEY(has_fleet, KEY_BOOL8, KEY_GET),
    KEY(has_owner, KEY_BOOL8, KEY_BOTH),
    KEY(has_title, KEY_BOOL8, KEY_GET),
    KEY(has_planet, KEY_BOOL8, KEY_GET),
    KEY(has_collide, KEY_BOOL8, KEY_BOTH),
    KEY(has_draw, KEY_BOOL8, KEY_BOTH),
    KEY(has_button, KEY_BOOL8, KEY_BOTH),
    KEY(has_render, KEY_BOOL8, KEY_BOTH),
    KEY(position_x, KEY_FLOAT, KEY_BOTH),
    KEY(position_y, KEY_FLOAT, KEY_BOTH),
    KEY(collide_r, KEY_FLOAT, KEY_GET),
    RANGED(render_color, KEY_INT, 0, COLOR_MAX),
    RANGED(render_alpha, KEY_INT16, 0, 255),
    RANGED(render_blend, KEY_INT16, 0, 255),
    KEY(image_src, KEY_TEXT, KEY_BOTH),
    KEY(image_w, KEY_FLOAT, KEY_BOTH),
    KEY(image_h, KEY_FLOAT, KEY_BOTH),
    KEY(image_cx, KEY_FLOAT, KEY_BOTH),
    KEY(image_cy, KEY_FLOAT, KEY_BOTH),
    KEY(image_scale, KEY_FLOAT, KEY_BOTH),
    KEY(image_a, KEY_FLOAT, KEY_BOTH),
    KEY(ships_value, KEY_FLOAT, KEY_BOTH),
    KEY(ships_production, KEY_FLOAT, KEY_BOTH),
    KEY(ships_production_enabled, KEY_BOOL32, KEY_BOTH),
    KEY(ships_production_factor, KEY_FLOAT, KEY_BOTH),
    KEY(ships_value_factor, KEY_FLOAT, KEY_BOTH),
    KEY(fleet_ships, KEY_FLOAT, KEY_GET),
    KEY(fleet_target, KEY_INT, KEY_GET),
    KEY(fleet_v_factor, KEY_FLOAT, KEY_BOTH),
    RANGED(fleet_color, KEY_INT, 0, COLOR_MAX),
    KEY(fleet_image, KEY_TEXT, KEY_BOTH),
    RANGED(fleet_crash, KEY_INT, 0, 1000),
    KEY(title_value, KEY_TEXT, KEY_BOTH),
    RANGED(user_team_n, KEY_INT, 1, ITEM_MAX),
    KEY(user_neutral, KEY_BOOL32, KEY_BOTH),
    KEY(user_rank, KEY_TEXT, KEY_BOTH),
    KEY(user_uid, KEY_TEXT, KEY_BOTH),
    KEY(user_reveal, KEY_BOOL32, KEY_BOTH),
    RANGED(ui_ships_show_mask, KEY_INT8, 0, 31),
    RANGED(ui_to_mask, KEY_INT8, 0, 15),
    KEY(ui_fleet_redirect, KEY_BOOL8, KEY_BOTH),
    RANGED(owner_n, KEY_INT, 1, ITEM_MAX),
    KEY(planet_r, KEY_FLOAT, KEY_GET),
    RANGED(planet_color, KEY_INT, 0, COLOR_MAX),
    RANGED(planet_crash, KEY_INT, 0, 1),
    KEY(button_name, KEY_TEXT, KEY_BOTH),
    KEY(label_text, KEY_TEXT, KEY_BOTH),
    KEY(label_font, KEY_TEXT, KEY_BOTH),
    KEY(label_size, KEY_INT, KEY_BOTH),
    RANGED(label_align, KEY_INT16, -1, 1),
    RANGED(label_valign, KEY_INT16, -1, 1),
    KEY(draw_type, KEY_CHAR, KEY_BOTH),
    KEY(draw_r, KEY_FLOAT, KEY_BOTH),
    KEY(draw_x2, KEY_FLOAT, KEY_BOTH),
    KEY(draw_y2, KEY_FLOAT, KEY_BOTH),
};

#undef KEY
#undef RANGED

// The key record of that name allowing that access, or null.
static const ModsItemKey *_mods_item_key(const std::string &name, int access) {
  for (const ModsItemKey &key : MODS_ITEM_KEYS) {
    if (name == key.name) return (key.access & access) ? &key : nullptr;
  }
  return nullptr;
}

bool ModsAPI::item_lookup(int n, const char *tag) {
  if (vantor_item_live(&game->data.vantor, n)) return true;
  logf("ModsAPI::%s:%d invalid item\n", tag, n);
  error_set("invalid item");
  return false;
}

bool ModsAPI::item_is(int n, const char *tag, const char *kind) {
  if (!item_lookup(n, tag)) return false;
  const Item &item = game->data.vantor.items[n];
  const std::string k = kind;
  if ((k == "user" && item.has_user) || (k == "planet" && item.has_planet) || (k == "fleet" && item.has_fleet)) {
    return true;
  }
  logf("ModsAPI::%s:%d not a %s\n", tag, n, kind);
  error_set("not a " + k);
  return false;
}

// The field's value as its key's type says.
static var _mods_field_read(const Item &item, const ModsItemKey &key) {
  const char *field = reinterpret_cast<const char *>(&item) + key.offset;
  switch (key.type) {
    case KEY_BOOL8: return var(*field != 0);
    case KEY_BOOL32: {
      uint32_t word;
      memcpy(&word, field, sizeof word);
      return var(word != 0);
    }
    case KEY_FLOAT: {
      float f;
      memcpy(&f, field, sizeof f);
      return var((double)f);
    }
    case KEY_INT16: {
      int16_t half;
      memcpy(&half, field, sizeof half);
      return var((int)half);
    }
    case KEY_INT8: return var((int)(int8_t)*field);
    case KEY_TEXT: return var(std::string(field, strnlen(field, key.size)));  // a synced field may lack its NUL
    default: {
      int32_t word;
      memcpy(&word, field, sizeof word);
      return var((int)word);
    }
  }
}

var ModsAPI::item_get(int n, const std::string &key) {
  if (!item_lookup(n, "item_get:n")) return var();
  const ModsItemKey *record = _mods_item_key(key, KEY_GET);
  if (!record) {
    logf("ModsAPI::item_get(%d,\"%s\") invalid key\n", n, key.c_str());
    error_set("invalid key");
    return var();
  }
  return _mods_field_read(game->data.vantor.items[n], *record);
}

// The integer a numeric key stores for value: the truncated number, or a character code.
static int32_t _mods_field_int(const ModsItemKey &key, const var &value) {
  if (key.type != KEY_CHAR) return mods_number_int(value.number());
  std::string text = value.str();
  return text.empty() ? 0 : (int32_t)(signed char)text[0];
}

// Stores value into the field as its key's type says (the range is already checked).
static void _mods_field_write(Item *item, const ModsItemKey &key, const var &value) {
  char *field = reinterpret_cast<char *>(item) + key.offset;
  switch (key.type) {
    case KEY_BOOL8: *field = value.truth() ? 1 : 0; return;
    case KEY_BOOL32: {
      uint32_t word = value.truth() ? 1 : 0;
      memcpy(field, &word, sizeof word);
      return;
    }
    case KEY_FLOAT: {
      float f = (float)value.number();
      memcpy(field, &f, sizeof f);
      return;
    }
    case KEY_TEXT:
      memset(field, 0, key.size);  // no bytes of the old text survive behind the new NUL
      vantor_text_copy(field, key.size, value.str().c_str());
      return;
    case KEY_INT16: {
      int16_t half = (int16_t)_mods_field_int(key, value);
      memcpy(field, &half, sizeof half);
      return;
    }
    case KEY_INT8: *field = (char)_mods_field_int(key, value); return;
    default: {
      int32_t word = _mods_field_int(key, value);
      memcpy(field, &word, sizeof word);
      return;
    }
  }
}

void ModsAPI::item_set(int n, const std::string &key, const var &value) {
  if (!item_lookup(n, "item_set:n")) return;
  Item *item = &game->data.vantor.items[n];
  if (key == "planet_style") {
    planet_style_set(&game->data.vantor, item, value.str());
    return;
  }
  const ModsItemKey *record = _mods_item_key(key, KEY_SET);
  if (!record) {
    logf("ModsAPI::item_set(%d,\"%s\",?) invalid key\n", n, key.c_str());
    error_set("invalid key");
    return;
  }
  if (record->type == KEY_FLOAT && !mods_number_finite(value.number())) {
    logf("ModsAPI::item_set(%d,\"%s\",%g) not a finite number\n", n, key.c_str(), value.number());
    error_set("not a finite number");
    return;
  }
  if (record->ranged) {
    int32_t v = _mods_field_int(*record, value);
    if (v < record->low || v > record->high) {
      logf("ModsAPI::item_set(%d,\"%s\",%d) out of range\n", n, key.c_str(), v);
      error_set("out of range");
      return;
    }
  }
  _mods_field_write(item, *record, value);
}

// items_find: a query is up to 15 terms; a term after "OR" joins the one before it into a group,
// and groups are joined by AND.
constexpr int FIND_TERMS_MAX = 15;

enum {
  FIND_USER = 1,
  FIND_PLANET = 2,
  FIND_FLEET = 3,
  FIND_TEAM_FLAG = 4,
  FIND_OWNER = 5,
  FIND_NEUTRAL = 6,
  FIND_TEAM = 7,
  FIND_TARGET = 8,
};

struct ModsFindTerm {
  bool joined;  // preceded by "OR"
  bool negate;
  int kind;
  int32_t value;
};

// The words that make a term by themselves, and the keys of the "key:N" words.
static const struct {
  const char *word;
  int kind;
} FIND_WORDS[] = {{"user", FIND_USER},
                  {"planet", FIND_PLANET},
                  {"fleet", FIND_FLEET},
                  {"team", FIND_TEAM_FLAG},
                  {"neutral", FIND_NEUTRAL}},
  FIND_KEYS[] = {{"owner", FIND_OWNER}, {"team", FIND_TEAM}, {"target", FIND_TARGET}};

// The term a word makes (its negation already taken off); false when it makes none.
static bool _mods_find_term(const std::string &word, ModsFindTerm *term) {
  size_t colon = word.find(':');
  if (colon == std::string::npos) {
    for (const auto &w : FIND_WORDS) {
      if (word == w.word) {
        term->kind = w.kind;
        term->value = 1;
        return true;
      }
    }
    return false;
  }
  term->value = mods_number_int(atof(word.c_str() + colon + 1));
  if (term->value == 0) return false;  // also a text that is no number
  for (const auto &k : FIND_KEYS) {
    if (word.compare(0, colon, k.word) == 0) {
      term->kind = k.kind;
      return true;
    }
  }
  return false;
}

// The query's terms, in order.
static std::vector<ModsFindTerm> _mods_find_parse(const std::string &query) {
  std::vector<ModsFindTerm> terms;
  bool pending_or = false;
  size_t start = 0;
  while (start <= query.size() && terms.size() < FIND_TERMS_MAX) {
    size_t end = query.find(' ', start);
    if (end == std::string::npos) end = query.size();
    std::string word = query.substr(start, end - start);
    start = end + 1;
    if (word.size() == 1) continue;  // keeps a pending "OR"
    if (word == "OR") {
      pending_or = true;
      continue;
    }
    ModsFindTerm term = {pending_or, word[0] == '-', 0, 0};
    pending_or = false;
    if (_mods_find_term(term.negate ? word.substr(1) : word, &term)) terms.push_back(term);
  }
  return terms;
}

// The term's test on item; numbers that name other items are read bounds-checked.
static bool _mods_find_test(const World *world, const Item &item, const ModsFindTerm &term) {
  const Item &owner = vantor_item_get(world, item.owner_n);
  switch (term.kind) {
    case FIND_USER: return item.has_user == 1;
    case FIND_PLANET: return item.has_planet == 1;
    case FIND_FLEET: return item.has_fleet == 1;
    case FIND_TEAM_FLAG: return item.has_team == 1;
    case FIND_OWNER: return item.owner_n == term.value;
    case FIND_NEUTRAL: return owner.user_neutral == 1;
    case FIND_TEAM: return owner.user_team_n == term.value;
    default: return (int64_t)item.fleet_target == term.value;
  }
}

// Whether the terms take the item: a failing term rejects it unless an "OR" term follows.
static bool _mods_find_take(const World *world, const Item &item, const std::vector<ModsFindTerm> &terms) {
  bool r = false;
  for (size_t i = 0; i < terms.size(); i++) {
    if (terms[i].joined && r) continue;
    r = _mods_find_test(world, item, terms[i]) != terms[i].negate;
    if (!r && !(i + 1 < terms.size() && terms[i + 1].joined)) return false;
  }
  return r;
}

var ModsAPI::items_find(const std::string &query) {
  std::vector<ModsFindTerm> terms = _mods_find_parse(query);
  var found;
  var_new_list(found);
  const World *world = &game->data.vantor;
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    const Item &item = world->items[n];
    if (item.in_use == 1 && item.is_object && _mods_find_take(world, item, terms)) found.append(var(n));
  }
  return found;
}

// Planet style flags of the sphere layer.
enum {
  STYLE_DRAWN = 0x1,
  STYLE_NORMAL = 0x4,
  STYLE_ADDITION = 0x8,
  STYLE_AMBIENT = 0x200,
  STYLE_DRAWBACK = 0x400,
  STYLE_LIGHTING = 0x800,
  STYLE_REFLECTION = 0x1000,
  STYLE_CORE = 0x4000,
};

constexpr size_t STYLE_TEXTURE_NAME_MAX = 31;  // characters of "texture" used before the cut to the field

// Sphere layer 0 of a decoded style object (a dict, or none for the plain look).
static PlanetStyleSphere _mods_style_sphere(const Item &item, const var &style) {
  bool dict = style.type() == VAR_DICT;
  auto has = [&](const char *key) { return dict && style.has(var(key)); };
  PlanetStyleSphere sphere;
  memset(&sphere, 0, sizeof sphere);
  sphere.color = item.planet_color;
  sphere.intensity = has("alpha") ? vantor_finite(style["alpha"].number()) : 1.0f;  // the text may hold 1e39
  std::string texture = "planet-tex0";
  if (has("texture")) texture = "planet-" + style["texture"].str().substr(0, STYLE_TEXTURE_NAME_MAX);
  vantor_text_copy(sphere.texture, sizeof sphere.texture, texture.c_str());  // long names are cut
  sphere.flags = has("ambient") ? STYLE_AMBIENT : 0;
  static const struct {
    const char *key;
    uint32_t flag;
  } effects[] = {{"lighting", STYLE_LIGHTING}, {"addition", STYLE_ADDITION},     {"normal", STYLE_NORMAL},
                 {"drawback", STYLE_DRAWBACK}, {"reflection", STYLE_REFLECTION}, {"core", STYLE_CORE}};
  for (const auto &effect : effects) {
    if (has(effect.key)) sphere.flags |= effect.flag;
  }
  sphere.color2 = has("core") ? (uint32_t)mods_number_int(style["core"].number()) : 0;
  sphere.flags |= STYLE_DRAWN;
  return sphere;
}

void planet_style_set(World *world, Item *item, const std::string &style) {
  memset(item->planet_style, 0, sizeof item->planet_style);
  LOG_PRINTF("planet_style_set: %s\n", style.c_str());
  var decoded = json_decode_string(style);
  if (decoded.type() == VAR_DICT) {
    var key, value;
    for (var it = decoded.iter(); it.next_kv(key, value);) {
      LOG_PRINTF(" %s = %s\n", key.str().c_str(), value.str().c_str());
    }
  }
  item->planet_style[0] = _mods_style_sphere(*item, decoded);
  PlanetStyleOverlay &aura = item->planet_overlay[1];
  memset(&aura, 0, sizeof aura);
  aura.color = vantor_item_get(world, item->user_team_n).render_color;
  vantor_text_copy(aura.texture, sizeof aura.texture, "planet-aura");
  aura.enabled = 1;
}
