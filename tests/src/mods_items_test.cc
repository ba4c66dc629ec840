// Item access by key for mods: conversions, ranges, bounds, items_find and planet styles.
#include "mods_items.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <memory>

#include "game.h"
#include "mods_api.h"
#include "vantor_fleet.h"
#include "vantor_step.h"
#include "vantor_world.h"

namespace {

// Two users (green owns a planet, neutral a second one), a team, and a fleet of green's flying to
// the neutral planet.
class ModsItems : public testing::Test {
 protected:
  void SetUp() override {
    g.reset(new Game());
    g->headless = 1;
    vantor_world_reset(world());
    api.reset(new ModsAPI(g.get()));
    team = api->team_init("blue", 0x0000FF);
    green = api->user_init("green", 0x00FF00, 0);
    neutral = api->user_init("neutral", 0x808080, 0);
    world()->items[neutral].user_neutral = 1;
    home = api->planet_init(green, 0, 0, 50, 20);
    away = api->planet_init(neutral, 400, 0, 50, 20);
    fleet = api->fleet_init(green, home, away, 2);
  }
  World *world() { return &g->data.vantor; }
  Item &item(int n) { return world()->items[n]; }
  std::string last_line() const { return api->console_lines.empty() ? "" : api->console_lines.front(); }
  // The found numbers of a query, space separated.
  std::string find(const std::string &query) {
    var found = api->items_find(query);
    std::string out;
    for (int i = 0; i < found.len(); i++) out += (i ? " " : "") + found[i].str();
    return out;
  }
  // Sets and returns the error text, clearing it.
  std::string set(int n, const char *key, const var &value) {
    api->item_set(n, key, value);
    std::string error = api->error_flag ? api->error_get() : "";
    api->error_flag = 0;
    return error;
  }

  std::unique_ptr<Game> g;
  std::unique_ptr<ModsAPI> api;
  int team, green, neutral, home, away, fleet;
};

}  // namespace

TEST_F(ModsItems, get_converts_each_field_type) {
  Item &p = item(home);
  p.render_alpha = -3;
  p.ui_to_mask = 0xFF;
  p.user_reveal = 7;
  p.draw_type = 'c';
  memset(p.title_value, 'x', sizeof p.title_value);  // a synced field may arrive without its NUL
  EXPECT_EQ(api->item_get(home, "has_planet").type(), VAR_BOOL);
  EXPECT_TRUE(api->item_get(home, "has_planet").truth());
  EXPECT_EQ(api->item_get(home, "user_reveal").type(), VAR_BOOL);
  EXPECT_EQ(api->item_get(home, "ships_value").number(), 20);
  EXPECT_EQ(api->item_get(home, "owner_n").number(), green);
  EXPECT_EQ(api->item_get(home, "render_alpha").number(), -3);
  EXPECT_EQ(api->item_get(home, "ui_to_mask").number(), -1);
  EXPECT_EQ(api->item_get(home, "draw_type").number(), 'c');
  EXPECT_EQ(api->item_get(home, "title_value").str(), std::string(16, 'x'));
  EXPECT_EQ(api->item_get(fleet, "fleet_target").number(), away);
}

TEST_F(ModsItems, set_checks_ranges_on_the_truncated_integer) {
  EXPECT_EQ(set(100, "owner_n", var(0)), "invalid item");
  EXPECT_EQ(set(home, "owner_n", var(0)), "out of range");
  EXPECT_EQ(last_line(), "ModsAPI::item_set(" + std::to_string(home) + ",\"owner_n\",0) out of range");
  EXPECT_EQ(set(home, "owner_n", var(4096)), "out of range");
  EXPECT_EQ(set(home, "owner_n", var(4095)), "");
  EXPECT_EQ(item(home).owner_n, 4095);
  EXPECT_EQ(set(home, "render_color", var(-1)), "out of range");
  EXPECT_EQ(set(home, "render_color", var(16777215)), "");
  EXPECT_EQ(set(home, "label_align", var(1.9)), "");
  EXPECT_EQ(item(home).label_align, 1);
  EXPECT_EQ(set(home, "label_align", var(2)), "out of range");
  EXPECT_EQ(set(home, "label_align", var(-1.5)), "");
  EXPECT_EQ(item(home).label_align, -1);
  // Numbers no 32-bit integer holds saturate instead of converting undefinedly.
  EXPECT_EQ(set(home, "fleet_crash", var(1e12)), "out of range");
  EXPECT_EQ(last_line(), "ModsAPI::item_set(" + std::to_string(home) + ",\"fleet_crash\",2147483647) out of range");
  EXPECT_EQ(set(home, "label_size", var(NAN)), "");
  EXPECT_EQ(item(home).label_size, 0);
}

TEST_F(ModsItems, text_writes_are_cut_keep_their_nul_and_clear_old_bytes) {
  EXPECT_EQ(set(home, "title_value", var("abcdefghijklmnopqrst")), "");
  EXPECT_STREQ(item(home).title_value, "abcdefghijklmno");
  EXPECT_EQ(set(home, "title_value", var(std::string("ab\0cd", 5))), "");
  char expected[16] = "ab";
  EXPECT_EQ(memcmp(item(home).title_value, expected, sizeof expected), 0);
  EXPECT_EQ(set(green, "user_rank", var("major")), "");
  EXPECT_STREQ(item(green).user_rank, "maj");
  EXPECT_EQ(set(home, "draw_type", var("circle")), "");
  EXPECT_EQ(item(home).draw_type, 'c');
  EXPECT_EQ(set(home, "draw_type", var("")), "");
  EXPECT_EQ(item(home).draw_type, 0);
}

TEST_F(ModsItems, a_write_changes_only_its_field_and_bools_take_the_truth) {
  EXPECT_EQ(set(home, "has_label", var("yes")), "");
  EXPECT_EQ(item(home).has_label, 1);
  EXPECT_EQ(set(home, "has_label", var()), "");
  EXPECT_EQ(item(home).has_label, 0);
  Item before = item(home);
  EXPECT_EQ(set(home, "ships_production_enabled", var(0.5)), "");
  EXPECT_EQ(memcmp(&before, &item(home), offsetof(Item, ships_production_enabled)), 0);
  EXPECT_EQ(item(home).ships_production_enabled, 1u);
  EXPECT_EQ(memcmp(&before.ships_production_factor, &item(home).ships_production_factor,
                   sizeof(Item) - offsetof(Item, ships_production_factor)),
            0);
}

TEST_F(ModsItems, unknown_read_only_and_write_only_keys_are_invalid) {
  EXPECT_EQ(set(home, "has_fleet", var(true)), "invalid key");
  EXPECT_EQ(last_line(), "ModsAPI::item_set(" + std::to_string(home) + ",\"has_fleet\",?) invalid key");
  EXPECT_EQ(set(home, "n", var(1)), "invalid key");
  EXPECT_EQ(set(home, "in_use", var(0)), "invalid key");
  EXPECT_EQ(item(home).in_use, 1u);
  EXPECT_EQ(api->item_get(home, "planet_style").type(), VAR_NONE);
  EXPECT_EQ(last_line(), "ModsAPI::item_get(" + std::to_string(home) + ",\"planet_style\") invalid key");
  EXPECT_EQ(api->item_get(home, std::string("owner_n\0x", 9)).type(), VAR_NONE);
}

TEST_F(ModsItems, item_numbers_outside_the_table_or_free_are_invalid) {
  for (int n : {0, -1, 4096, 1 << 30, fleet + 100}) {
    EXPECT_EQ(api->item_get(n, "has_user").type(), VAR_NONE);
    EXPECT_EQ(last_line(), "ModsAPI::item_get:n:" + std::to_string(n) + " invalid item");
  }
}

TEST_F(ModsItems, find_selects_by_kind_owner_and_groups) {
  std::string planets = std::to_string(home) + " " + std::to_string(away);
  EXPECT_EQ(find("planet -user"), planets);
  EXPECT_EQ(find("fleet OR planet"), planets + " " + std::to_string(fleet));
  EXPECT_EQ(find("planet OR fleet -neutral"), std::to_string(home) + " " + std::to_string(fleet));
  EXPECT_EQ(find("owner:" + std::to_string(green) + " planet"), std::to_string(home));
  EXPECT_EQ(find("target:" + std::to_string(away)), std::to_string(fleet));
  EXPECT_EQ(find("owner:0"), "");
  EXPECT_EQ(find("owner:x"), "");
  EXPECT_EQ(find(""), "");
  EXPECT_EQ(find("team"), "");  // no creator sets the team flag
  int objects = 0;
  for (const Item &it : world()->items) objects += it.in_use && it.is_object;
  EXPECT_EQ(api->items_find("-team").len(), objects);
}

TEST_F(ModsItems, find_never_lists_ships_and_reads_owners_bounds_checked) {
  int ships = 0;
  for (const Item &it : world()->items) ships += it.in_use && it.is_ship;
  ASSERT_GT(ships, 0);
  EXPECT_EQ(find("-planet -user -fleet"), std::to_string(team));  // the team, never a ship
  item(home).owner_n = 1 << 30;                                   // as a bad sync could leave it
  EXPECT_EQ(find("planet neutral"), std::to_string(away));
}

TEST_F(ModsItems, planet_style_sets_layer_zero_and_the_team_aura) {
  item(home).user_team_n = team;
  item(team).render_color = 0x123456;
  item(home).planet_style[1].flags = 9;
  EXPECT_EQ(set(home, "planet_style", var("{\"texture\":\"rocky\",\"alpha\":0.5,\"ambient\":0,\"core\":255}")), "");
  const PlanetStyleSphere &sphere = item(home).planet_style[0];
  EXPECT_STREQ(sphere.texture, "planet-rocky");
  EXPECT_EQ(sphere.intensity, 0.5f);
  EXPECT_EQ(sphere.flags, 0x200u | 0x4000u | 0x1u);
  EXPECT_EQ(sphere.color2, 255u);
  EXPECT_EQ(sphere.color, item(home).planet_color);
  EXPECT_EQ(item(home).planet_style[1].flags, 0u);
  EXPECT_EQ(item(home).planet_overlay[1].color, 0x123456u);
  EXPECT_STREQ(item(home).planet_overlay[1].texture, "planet-aura");
  EXPECT_EQ(item(home).planet_overlay[1].enabled, 1u);

  planet_style_set(world(), &item(home), "{\"texture\":\"averyverylongname\"}");
  EXPECT_STREQ(item(home).planet_style[0].texture, "planet-averyver");
  planet_style_set(world(), &item(home), "{\"alpha\":-1e39}");
  EXPECT_EQ(item(home).planet_style[0].intensity, -FLT_MAX);
  planet_style_set(world(), &item(home), "not json");
  EXPECT_STREQ(item(home).planet_style[0].texture, "planet-tex0");
  EXPECT_EQ(item(home).planet_style[0].flags, 1u);
}
