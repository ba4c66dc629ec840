// The account and settings pages: a strip of tabs (Account, Audio, Video, Control, More) over one page
// each. Every page fills its widgets from the settings record, copies their values back in its loop
// and writes the settings files when it is left.
#pragma once

#include "menus.h"

// Appends the tab strip to the root with the tab named `tab` ("account", "audio", ...) marked current.
void settings_tabs(Container &root, const char *tab);

// "menus_login" (the Account tab): user name, password, New Account and Sign In.
class MenusLogin : public MenusSaving {
 public:
  using MenusSaving::MenusSaving;
  void init() override;
  // Copies the trimmed fields into the settings; a changed field logs the player out.
  void loop(float dt) override;
  // Tabs first; "login" queues the web login, "new" and "beta" open the web service's pages.
  void event(Event e) override;
};

// "menus_settings_audio": the music and sound-effect volume sliders.
class MenusSettingsAudio : public MenusSaving {
 public:
  using MenusSaving::MenusSaving;
  void init() override;
  // Copies the volumes (held within 0..100); the music follows its slider at once.
  void loop(float dt) override;
  // Releasing the sfx slider plays a ping at the new volume; then the tabs.
  void event(Event e) override;
};

// "menus_settings_video": window mode, UI size and resolution; a choice applies at once.
class MenusSettingsVideo : public MenusSaving {
 public:
  using MenusSaving::MenusSaving;
  void init() override;
  // Stores a changed choice, applies the video mode and rebuilds the page.
  void loop(float dt) override;
};

// "menus_settings_controls": default percent, left-handed, colour-blind and percent-slider switches.
class MenusSettingsControls : public MenusSaving {
 public:
  using MenusSaving::MenusSaving;
  void init() override;
  // Copies every ui word that has a widget on the page.
  void loop(float dt) override;
};

// "menus_settings_options": the More tab's selection and dragging switches.
class MenusSettingsOptions : public MenusSaving {
 public:
  using MenusSaving::MenusSaving;
  void init() override;
  // Copies every ui word that has a widget on the page.
  void loop(float dt) override;
};

// "menus_settings": forwards to the Account tab.
class MenusSettings : public MenusForward {
 public:
  explicit MenusSettings(Game *g) : MenusForward(g, "menus_login") {}
};

// "menus_settings_account": forwards to the Account tab.
class MenusSettingsAccount : public MenusForward {
 public:
  explicit MenusSettingsAccount(Game *g) : MenusForward(g, "menus_login") {}
};

// "menus_settings_popup": the settings opened over a match; forwards to the Audio tab.
class MenusSettingsPopup : public MenusForward {
 public:
  explicit MenusSettingsPopup(Game *g) : MenusForward(g, "menus_settings_audio") {}
};
