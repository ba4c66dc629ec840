// Controls and skins for markup pages: the skinned button and its class table, the text-input maker,
// and three small controls: a horizontal integer slider, an on/off toggle and a one-of-N option box.
//
// Every skin is a pair of named images: the normal one as the background and the over one as an overlay
// that fades in with hover (85), and fully with focus (255). All text is in the font "font".
#pragma once

#include <cstdint>
#include <vector>

#include "table.h"
#include "text_input.h"

// The size every control writes its text at, in UI units.
constexpr int GUI_CONTROL_FONT_SIZE = 20;

// A horizontal integer slider: a track, a knob and the value printed at the right. Arrow keys move it
// only while it is held; the page hears of a change through `change` at the release.
class NumSlider : public Widget {
 public:
  int32_t low, high, value;
  int32_t knob_w;  // computed once, at construction
  int32_t text_w;  // room kept at the right for the printed value: the width of "  888"
  int32_t step;    // never 0: the snap divides by it
  int32_t font;
  int32_t dragging;  // 1 between a press inside the slider and the next release

  // A 160 x 44 slider; a step of 0 counts 1.
  NumSlider(int value, int low, int high, int step);

  int get_int() override { return value; }
  // Stores v as given (a stored setting may lie outside low..high until the next drag), then `changed`.
  void set_int(int v) override;
  var get_value() override;
  void set_value(var v) override;
  var on_event(Event e) override;
  void paint_inner() override;
  // Runs after every set_int; nothing here.
  virtual void changed() {}
};

// An on/off switch showing "< ON >" or "< OFF >". Value 1 is on, -1 off, 0 unset (shown as off).
class MyToggle : public Widget {
 public:
  int32_t font;
  int32_t value;

  // Sized to " <XXX> " in the font; `selected` while the value is 1.
  MyToggle(int value, int font);

  int get_int() override { return value; }
  void set_int(int v) override;
  var get_value() override;
  void set_value(var v) override;
  // A click turns it on, or off when it is on, and answers `change`.
  var on_event(Event e) override;
  void paint_inner() override;
};

// One member of a one-of-N group. The first member is the group's leader: it keeps the member list (in
// creation order) and the selected value, and any member answers for the whole group.
class OptionBox : public Box {
 public:
  var value;                         // this member's own value
  OptionBox *leader;                 // the group's first member (itself for the first); not owning
  std::vector<OptionBox *> members;  // on the leader only, the leader first; not owning
  var selected;                      // on the leader only: the group's value, none before any selection

  // Joins the group of `leader`, or starts a group of its own when it is null.
  OptionBox(Widget *content, const var &value, OptionBox *leader);
  // Leaves its group; a leader's remaining members stand alone from then on. Either way no member is
  // left pointing at a deleted one.
  ~OptionBox() override;

  // Selects the members whose value reads as v (by text) and keeps v as the group's value.
  void select_value(const var &v);
  // The group's selected value.
  var get_value() override { return leader->selected; }
  void set_value(var v) override { select_value(v); }
  // A click selects this member's value and answers `change`.
  var on_event(Event e) override;
};

// A 160 x 44 button of skin "gui-button1" holding `content` (owned), answering a click with `click`.
Box *gui_button(const var &click, Widget *content);
// gui_button with another pair of images.
Box *gui_button_skin(const var &click, Widget *content, const char *normal, const char *over);
// gui_button of the tab skin "gui-tab1", without padding or margin.
Box *gui_button_tab(const var &click, Widget *content);
// A button skinned by the markup token's "class"; a null content becomes a label of its "value".
Box *gui_button_by_class(const var &click, Widget *content, const var &token);
// A single-line text input of skin "gui-input1" named `name`.
TextInput *gui_text_input(const char *name, const char *text);
// A slider named `name`; a step of 0 counts 1.
NumSlider *gui_num_slider(const char *name, int value, int low, int high, int step);
// A toggle named `name`.
MyToggle *gui_toggle(const char *name, int value);
// An option joining `leader`'s group (a new group for null) holding `content` (owned).
OptionBox *gui_option(Widget *content, const var &value, OptionBox *leader);
