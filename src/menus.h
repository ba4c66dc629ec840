// Menu pages: the state family every screen outside a match belongs to, the page frame (background and
// bottom bar), the scrolling page box, the tab handler and the registration of every menu state.
//
// A menu state is created once by menus_init and reused: each time it becomes current its init resets
// the root and rebuilds the page from markup. Pages keep no widget pointers between frames; they look
// widgets up by name, so a rebuild never leaves one dangling.
#pragma once

#include <string>
#include <vector>

#include "container.h"
#include "state.h"
#include "table.h"

struct Game;

// The height of a page's bottom bar and of a tab strip: the bar's button keeps its default height,
// and tabs are as high.
constexpr int MENUS_BAR_HEIGHT = 44;
// Units above and below a page's content in its page box.
constexpr int MENUS_PAGE_PADDING = 5;

// The shared menu state: the Game and the root container the page's widgets hang from.
class MenusState : public State {
 public:
  explicit MenusState(Game *g) : game(g) {}
  // Clears the screen at the UI size, then lays out and paints the root.
  void paint() override;
  // Routes the event through the root and offers its action to menus_tabs_handle.
  void event(Event e) override;
  // The root's per-frame update; dt is not used.
  void loop(float dt) override;

  Game *game;
  Container root;
};

// A menu page that writes both settings files when it is left (the login and settings pages).
class MenusSaving : public MenusState {
 public:
  using MenusState::MenusState;
  void deinit() override;
};

// A name that only forwards to another page: its init changes to the target with a cross-fade.
class MenusForward : public State {
 public:
  MenusForward(Game *g, const char *forward_to) : game(g), target(forward_to) {}
  void init() override;

  Game *game;
  const char *target;
};

// The page background: the match backdrop and star field under the "vignette" image.
class MenusBG : public Widget {
 public:
  explicit MenusBG(Game *g) : game(g) {}
  void paint_inner() override;

  Game *game;
};

// One tab of a "tabs" list: its click carries "tab:" + name; it shows the label.
struct MenusTabEntry {
  std::string name, label;
};

// Creates and registers every menu state by name.
void menus_init(Game *game);
// Empties the root for a fresh page: a new container's fields, no children, no hover or focus.
void menus_page_reset(Container &root);
// Appends the background and, when popup_bar is set, the "Main Menu" (or "Back") bar at the bottom.
void menus_frame(Game *game, Container &root, bool popup_bar);
// Appends the full-width "Main Menu" (or "Back") bar along the bottom edge; its click is "popup:done".
// A label, when given, replaces either.
void menus_bottom_bar(Game *game, Container &root, const char *label = nullptr);
// The root's action for the event; Escape presses the page's bottom bar, when it has one.
var menus_page_action(Container &root, const Event &e);
// Routes the event through the page (menus_page_action) and offers its action to menus_tabs_handle;
// true, with the click's value, for a click that neither took.
bool menus_page_click(Game *game, Container &root, const Event &e, std::string &value);
// The tabs of a "tabs" list: entries separated by ",", each "name" or "name=Label" (the label is the
// name when none is given), spaces around either dropped, empty entries skipped. False, with no tabs,
// for a text that lists none, and for markup (a text beginning with '<'), which mods build themselves.
bool menus_tabs_parse(const std::string &text, std::vector<MenusTabEntry> &tabs);
// Appends the strip of the listed tabs along the top of root: every tab UI width / n wide and 44
// high, all labels at the one font size at which the widest fits; the tab named `current` has the
// selected skin. The strip takes no focus, so keys stay with the page. False (nothing added) when the
// text lists no tab.
bool menus_tabs_strip(Container &root, const std::string &text, const std::string &current);
// A new full-width box of UI height + height_offset holding content, scrolling when it does not fit.
Box *menus_page_box(Widget *content, int height_offset);
// A new box of the given base size holding the widget tree of markup (empty style).
Box *menus_markup_box(const std::string &markup, int width, int height);
// True when a menu page was opened over a running match or lobby.
bool menus_is_overlay(Game *game);
// Turns tab and popup clicks into state changes; true when the action was handled. The bottom bar
// pops back to the screen below; a page with nothing below it goes home (mods_back).
bool menus_tabs_handle(Game *game, var a);
// Sets the Game's mod file; false (the field unchanged, the error page saying why) when the path
// does not fit it.
bool menus_mod_file_set(Game *game, const std::string &path);
// Points the Game's mod file at a data file and starts the mod, as menus_mod_start_path does.
bool menus_mod_start_data(Game *game, const char *name);
// Starts the mod at path. False when it cannot start (its path does not fit the mod file field, or
// mods_start fails): nothing of it runs, and the error page says why over the current screen.
bool menus_mod_start_path(Game *game, const std::string &path);
// For a page that only starts the mod at path: menus_mod_start_path, except that on a failure the
// page is left first (mods_back), so that Continue leads back to where the player was.
void menus_mod_launch(Game *game, const std::string &path);
// Opens the error page with a markup text (only logs when there is no error page).
void menus_error_show(Game *game, const char *text);
// Logs a plain text and opens the error page with it, shown as written.
void menus_error_text(Game *game, const std::string &text);
// text with '&', '<', '>', '"' and '\'' written as entities, so it reads as plain text in markup.
std::string menus_markup_escape(const std::string &text);
