// Layer states: the mod's own screen drawn over a match screen that stays visible underneath (pause
// over play, pause2 over play2, dialog and overlay over the scene). A networked match keeps running
// under a layer; a local one stands still.
#pragma once

#include <cstdint>
#include <map>

#include "state.h"

struct Game;
class StatesMatch;

// The shared layer: the mod screen over an underlying play-side screen looked up by name.
class StatesLayer : public State {
 public:
  StatesLayer(Game *g, const char *layer_under) : game(g), under_name(layer_under) {}
  void init() override;
  void deinit() override;
  void event(Event e) override;
  void loop(float dt) override;
  // The underlying screen's picture, dimmed unless the layer is not, then the mod screen and console.
  void paint() override;

  Game *game;
  const char *under_name;
  StatesMatch *under = nullptr;  // looked up again at init and at each event
  bool dimmed = true;            // the picture underneath is darkened (states_dim)

 protected:
  // Rebuilds the underlying screen without its pause icons.
  virtual void under_enter();
};

// "states_pause": the mod screen dimmed over the one-player match.
class StatesPause : public StatesLayer {
 public:
  explicit StatesPause(Game *g) : StatesLayer(g, "states_play") {}
};

// "states_pause2": the mod screen dimmed over the two-player match. The screen is laid out for one
// half and shown in both, each copy turned the way of its half, so both players read it and either
// can answer it.
class StatesPause2 : public StatesLayer {
 public:
  explicit StatesPause2(Game *g) : StatesLayer(g, "states_play2") {}
  void deinit() override {}
  void event(Event e) override;
  void loop(float dt) override;
  void paint() override;

  std::map<int32_t, int> pointers;  // a pressed pointer's button word -> the half it went down in

 protected:
  void under_enter() override;

 private:
  // The event as the copy of the screen it concerns sees it (out); false for a pointer that
  // concerns neither copy.
  bool screen_event(const Event &e, Event &out);
};

// "states_dialog": the mod screen dimmed over the scene.
class StatesDialog : public StatesLayer {
 public:
  explicit StatesDialog(Game *g) : StatesLayer(g, "states_scene") {}

 protected:
  void under_enter() override;
};

// "states_overlay": the mod screen over the scene, not dimmed.
class StatesOverlay : public StatesDialog {
 public:
  explicit StatesOverlay(Game *g) : StatesDialog(g) { dimmed = false; }
};

// Dims the whole UI area with black at alpha 170.
void states_dim();
