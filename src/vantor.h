// The match world's records: items, particles and the world that holds them.
//
// An Item is the unit of network sync and of the mods' field access: its 544 bytes travel raw,
// so every field sits at a fixed offset and flags are single bytes, never bool.
#pragma once

#include <cstddef>
#include <cstdint>

// Slots in the item and particle tables. Item 0 is never used: item number 0 means "none".
constexpr int VANTOR_ITEMS = 4096;
constexpr int VANTOR_PARTS = 4096;
constexpr float VANTOR_PI = 3.14159265358979f;

// One sphere layer of a planet's look: 32 bytes inside the Item.
struct PlanetStyleSphere {
  uint32_t color;  // 0xRRGGBB
  char texture[16];
  uint32_t color2;  // colour of the inner sphere (flag 0x4000)
  uint32_t flags;   // 0 = layer not drawn
  float intensity;
};

// One flat sprite drawn over a planet: 24 bytes inside the Item.
struct PlanetStyleOverlay {
  uint32_t color;  // 0xRRGGBB
  char texture[16];
  uint32_t enabled;
};

// One entity of the match: its role is given by the flag bytes.
struct Item {
  uint32_t in_use;
  uint32_t n;      // own slot index
  uint32_t ticks;  // simulation steps lived
  uint8_t has_position;
  uint8_t has_image;
  uint8_t has_user;
  uint8_t has_bot;
  uint8_t has_player;  // the local player's user item
  uint8_t has_ships;
  uint8_t has_label;
  uint8_t has_fleet;
  uint8_t has_owner;
  uint8_t has_team;  // matched by the finder's word "team"; set by no creator
  uint8_t has_title;
  uint8_t is_ship;  // moved by the simulation step
  uint8_t has_planet;
  uint8_t has_collide;
  uint8_t is_object;  // teams, users, planets and fleets: the items mods can list
  uint8_t is_body;    // planets and ships: picked and drawn as bodies
  uint8_t has_draw;
  uint8_t synced;  // sent to clients; ships are built by each side itself
  uint8_t has_button;
  uint8_t reserved31;
  uint8_t has_render;
  uint8_t reserved33[11];
  uint32_t sync_id;   // world-unique serial given on allocation
  uint32_t dirty;     // 1: the server sends the whole record again
  uint32_t server_n;  // client copies: the item's index on the server; 0 on the server
  float position_x;
  float position_y;
  float collide_r;
  float mass;
  uint32_t partner;  // item last touched in the collision pass
  uint32_t collide_group;
  uint32_t collide_mask;  // groups (bitwise) that push this item
  uint32_t collide_same;  // group whose members push this item
  float bounds[4];        // min x, min y, max x, max y
  uint32_t render_color;
  int16_t render_alpha;
  int16_t render_blend;
  char image_src[16];
  float image_w;
  float image_h;
  float image_cx;
  float image_cy;
  float image_scale;
  float image_a;      // drawing angle, radians
  uint32_t fleet_n;   // ship: its fleet
  uint32_t target_n;  // ship: the planet it flies to
  uint32_t arrived;   // ship: touched its target
  float speed;        // ship: world units per second
  float heading;      // ship: radians
  float prev_x;       // ship: position before the last move
  float prev_y;
  float heading_set;  // ship: heading as last set by steering
  float turn_rate;    // ship: radians per step unit
  float turn_time;    // ship: accumulated turning
  float bank;         // ship: smoothed direction of motion
  uint32_t bank_steps;
  float ships_value;
  float ships_production;
  uint32_t ships_production_enabled;
  float ships_production_factor;  // user: multiplier of its planets' production
  float ships_value_factor;       // user: multiplier of new planets' ships
  uint32_t fleet_live;            // fleet: ships still alive
  float fleet_ships;              // fleet: ship value still carried
  uint32_t fleet_target;
  float fleet_v_factor;  // user: ship speed factor
  uint32_t fleet_color;
  char fleet_image[16];
  int32_t fleet_crash;  // attack strength, 0 counts as 100
  char title_value[16];
  int32_t user_team_n;  // user: team item (own index when no team)
  uint32_t user_neutral;
  char user_rank[4];
  char user_uid[16];
  uint32_t user_reveal;
  uint8_t ui_ships_show_mask;  // relation bits whose ship counts are shown
  uint8_t ui_to_mask;          // relation bits of planets that may be targeted
  uint8_t ui_fleet_redirect;
  uint8_t reserved311;
  float body_r;  // picking and drawing radius
  int32_t owner_n;
  float planet_r;
  uint32_t planet_seed;  // 0..9998: the planet's spin and look
  uint32_t planet_color;
  int32_t planet_crash;  // nonzero: enemy ships crash on the planet
  PlanetStyleSphere planet_style[2];
  PlanetStyleOverlay planet_overlay[2];
  char button_name[16];
  char label_text[40];
  char label_font[16];
  int32_t label_size;
  int16_t label_align;
  int16_t label_valign;
  int32_t draw_type;  // a character code
  float draw_r;
  float draw_x2;
  float draw_y2;
};

// A particle: start values and rates; only its age changes while it lives.
struct Part {
  uint32_t in_use;
  char image[8];
  uint32_t texture;  // 0 until the painter looks the name up
  float age;         // seconds
  float life;        // seconds
  float x;
  float y;
  float size;
  float angle;
  float alpha;
  float vx;
  float vy;
  float size_rate;   // per second
  float angle_rate;  // radians per second
  float alpha_rate;  // per second
};

// The whole match: one fixed record inside the Game.
struct World {
  float time;       // match seconds
  int32_t started;  // wall-clock seconds at the last reset
  char background[16];
  float view_scale;  // the view's fit scale, for the backdrop painter
  char status[256];
  float view_rect[4];  // fixed view x, y, w, h; w or h 0 = none
  Item items[VANTOR_ITEMS];
  uint32_t item_cursor;  // last item slot handed out
  Part parts[VANTOR_PARTS];
  uint32_t part_cursor;                   // last particle slot handed out
  uint32_t serial;                        // last serial handed out; survives a reset
  uint32_t client_map[VANTOR_ITEMS];      // client: server index -> local index
  uint32_t remote_serials[VANTOR_ITEMS];  // client: serial last seen per server index
  Item shadows[VANTOR_ITEMS];             // server: last record sent; client: the baseline
};

static_assert(sizeof(PlanetStyleSphere) == 32, "sphere style is 32 bytes");
static_assert(offsetof(PlanetStyleSphere, texture) == 4 && offsetof(PlanetStyleSphere, color2) == 20);
static_assert(offsetof(PlanetStyleSphere, flags) == 24 && offsetof(PlanetStyleSphere, intensity) == 28);
static_assert(sizeof(PlanetStyleOverlay) == 24, "overlay style is 24 bytes");
static_assert(offsetof(PlanetStyleOverlay, texture) == 4 && offsetof(PlanetStyleOverlay, enabled) == 20);

static_assert(sizeof(Item) == 544, "Item travels as 544 raw bytes");
static_assert(offsetof(Item, in_use) == 0);
static_assert(offsetof(Item, n) == 4);
static_assert(offsetof(Item, ticks) == 8);
static_assert(offsetof(Item, has_position) == 12);
static_assert(offsetof(Item, has_image) == 13);
static_assert(offsetof(Item, has_user) == 14);
static_assert(offsetof(Item, has_bot) == 15);
static_assert(offsetof(Item, has_player) == 16);
static_assert(offsetof(Item, has_ships) == 17);
static_assert(offsetof(Item, has_label) == 18);
static_assert(offsetof(Item, has_fleet) == 19);
static_assert(offsetof(Item, has_owner) == 20);
static_assert(offsetof(Item, has_team) == 21);
static_assert(offsetof(Item, has_title) == 22);
static_assert(offsetof(Item, is_ship) == 23);
static_assert(offsetof(Item, has_planet) == 24);
static_assert(offsetof(Item, has_collide) == 25);
static_assert(offsetof(Item, is_object) == 26);
static_assert(offsetof(Item, is_body) == 27);
static_assert(offsetof(Item, has_draw) == 28);
static_assert(offsetof(Item, synced) == 29);
static_assert(offsetof(Item, has_button) == 30);
static_assert(offsetof(Item, reserved31) == 31);
static_assert(offsetof(Item, has_render) == 32);
static_assert(offsetof(Item, reserved33) == 33);
static_assert(offsetof(Item, sync_id) == 44);
static_assert(offsetof(Item, dirty) == 48);
static_assert(offsetof(Item, server_n) == 52);
static_assert(offsetof(Item, position_x) == 56);
static_assert(offsetof(Item, position_y) == 60);
static_assert(offsetof(Item, collide_r) == 64);
static_assert(offsetof(Item, mass) == 68);
static_assert(offsetof(Item, partner) == 72);
static_assert(offsetof(Item, collide_group) == 76);
static_assert(offsetof(Item, collide_mask) == 80);
static_assert(offsetof(Item, collide_same) == 84);
static_assert(offsetof(Item, bounds) == 88);
static_assert(offsetof(Item, render_color) == 104);
static_assert(offsetof(Item, render_alpha) == 108);
static_assert(offsetof(Item, render_blend) == 110);
static_assert(offsetof(Item, image_src) == 112);
static_assert(offsetof(Item, image_w) == 128);
static_assert(offsetof(Item, image_h) == 132);
static_assert(offsetof(Item, image_cx) == 136);
static_assert(offsetof(Item, image_cy) == 140);
static_assert(offsetof(Item, image_scale) == 144);
static_assert(offsetof(Item, image_a) == 148);
static_assert(offsetof(Item, fleet_n) == 152);
static_assert(offsetof(Item, target_n) == 156);
static_assert(offsetof(Item, arrived) == 160);
static_assert(offsetof(Item, speed) == 164);
static_assert(offsetof(Item, heading) == 168);
static_assert(offsetof(Item, prev_x) == 172);
static_assert(offsetof(Item, prev_y) == 176);
static_assert(offsetof(Item, heading_set) == 180);
static_assert(offsetof(Item, turn_rate) == 184);
static_assert(offsetof(Item, turn_time) == 188);
static_assert(offsetof(Item, bank) == 192);
static_assert(offsetof(Item, bank_steps) == 196);
static_assert(offsetof(Item, ships_value) == 200);
static_assert(offsetof(Item, ships_production) == 204);
static_assert(offsetof(Item, ships_production_enabled) == 208);
static_assert(offsetof(Item, ships_production_factor) == 212);
static_assert(offsetof(Item, ships_value_factor) == 216);
static_assert(offsetof(Item, fleet_live) == 220);
static_assert(offsetof(Item, fleet_ships) == 224);
static_assert(offsetof(Item, fleet_target) == 228);
static_assert(offsetof(Item, fleet_v_factor) == 232);
static_assert(offsetof(Item, fleet_color) == 236);
static_assert(offsetof(Item, fleet_image) == 240);
static_assert(offsetof(Item, fleet_crash) == 256);
static_assert(offsetof(Item, title_value) == 260);
static_assert(offsetof(Item, user_team_n) == 276);
static_assert(offsetof(Item, user_neutral) == 280);
static_assert(offsetof(Item, user_rank) == 284);
static_assert(offsetof(Item, user_uid) == 288);
static_assert(offsetof(Item, user_reveal) == 304);
static_assert(offsetof(Item, ui_ships_show_mask) == 308);
static_assert(offsetof(Item, ui_to_mask) == 309);
static_assert(offsetof(Item, ui_fleet_redirect) == 310);
static_assert(offsetof(Item, reserved311) == 311);
static_assert(offsetof(Item, body_r) == 312);
static_assert(offsetof(Item, owner_n) == 316);
static_assert(offsetof(Item, planet_r) == 320);
static_assert(offsetof(Item, planet_seed) == 324);
static_assert(offsetof(Item, planet_color) == 328);
static_assert(offsetof(Item, planet_crash) == 332);
static_assert(offsetof(Item, planet_style) == 336);
static_assert(offsetof(Item, planet_overlay) == 400);
static_assert(offsetof(Item, button_name) == 448);
static_assert(offsetof(Item, label_text) == 464);
static_assert(offsetof(Item, label_font) == 504);
static_assert(offsetof(Item, label_size) == 520);
static_assert(offsetof(Item, label_align) == 524);
static_assert(offsetof(Item, label_valign) == 526);
static_assert(offsetof(Item, draw_type) == 528);
static_assert(offsetof(Item, draw_r) == 532);
static_assert(offsetof(Item, draw_x2) == 536);
static_assert(offsetof(Item, draw_y2) == 540);

static_assert(sizeof(Part) == 64, "a particle is 64 bytes");
static_assert(offsetof(Part, image) == 4 && offsetof(Part, texture) == 12);
static_assert(offsetof(Part, age) == 16 && offsetof(Part, life) == 20);
static_assert(offsetof(Part, x) == 24 && offsetof(Part, y) == 28 && offsetof(Part, size) == 32);
static_assert(offsetof(Part, angle) == 36 && offsetof(Part, alpha) == 40);
static_assert(offsetof(Part, vx) == 44 && offsetof(Part, vy) == 48);
static_assert(offsetof(Part, size_rate) == 52 && offsetof(Part, angle_rate) == 56);
static_assert(offsetof(Part, alpha_rate) == 60);

static_assert(offsetof(World, background) == 8 && offsetof(World, view_scale) == 24);
static_assert(offsetof(World, status) == 28 && offsetof(World, view_rect) == 284);
static_assert(offsetof(World, items) == 300);
static_assert(offsetof(World, item_cursor) == 300 + 4096 * 544);
static_assert(offsetof(World, parts) == 2228528);
static_assert(offsetof(World, part_cursor) == 2490672 && offsetof(World, serial) == 2490676);
static_assert(offsetof(World, client_map) == 2490680);
static_assert(offsetof(World, remote_serials) == 2507064);
static_assert(offsetof(World, shadows) == 2523448);
static_assert(sizeof(World) == 4751672, "the world is 4640 KiB");
