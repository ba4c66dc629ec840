// Markup builder: turns a screen's markup into a widget tree with its Tab order and action values.
//
// The builder walks the parser's token list (kez_markup.h) by recursive descent. It knows a fixed set of
// tags (table, td, th, tr, p, h1-h4, img, rank, vectors, pixart, input) and skips every other tag
// silently. A page is one element, as a rule one <table>: only the first buildable element becomes the
// root. Buttons answer a click with {"type": "onclick", "value": onclick}; sliders, toggles and options
// answer a change with {"type": "onchange", "value": onchange}.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>

#include "controls.h"

constexpr int GUI_BUILD_DEPTH_MAX = 64;  // nested elements built; deeper ones are left out
constexpr int GUI_FLOW_BLOCKS_MAX = 64;  // elements gui_build_flow stacks; later ones are left out
constexpr float GUI_SIZE_MAX = 65536;    // sizes from markup are held within 0..GUI_SIZE_MAX units

// The state of one gui_build call.
struct GuiBuildCtx {
  // Focusable widgets by (tabindex, build sequence): ascending order is the Tab order.
  std::map<std::pair<int32_t, int32_t>, Widget *> tabs;
  std::unordered_map<Widget *, std::pair<int32_t, int32_t>> tab_keys;  // each entry's key in `tabs`
  int32_t sequence = 0;                                                // entries put into `tabs` so far
  var style;                                                           // the page's style dictionary; read only
  // The first option of each group name in this build: the group's leader.
  std::map<std::string, OptionBox *> options;
  int32_t depth = 0;  // gui_build_tags calls under way
};

// The widget tree of `markup` with its Tab chain linked; `style` may hold "p:max-width". Never null: a
// markup without a buildable element gives an empty plain Widget. The caller owns the root.
Widget *gui_build(const std::string &markup, const var &style);
// Every element of `markup`, one below the other in a one-column Table, for text written elsewhere (a
// web service's reply) that need not follow the page rules: its text is kept around tags the builder
// does not know (b, i, span, ...), after closing tags and before the first tag, in paragraphs of its
// own; <br> in any spelling breaks the line. At most GUI_FLOW_BLOCKS_MAX elements. Never null.
Widget *gui_build_flow(const std::string &markup, const var &style);
// True when the text holds a tag the builder knows, a line break or an HTML text-formatting tag (b, i,
// u, em, strong, span, font, small, big, a, code, div): markup rather than text that happens to hold a
// '<', such as "a <name> is needed", "a < b" or "x<3". The name must follow the '<' (or "</") at once.
bool gui_markup_is(const std::string &text);
// Builds at most one widget from tokens i..n-1 into `out` (untouched when nothing was built); the index
// of the first token not consumed. Nothing is built beyond GUI_BUILD_DEPTH_MAX levels.
int gui_build_tags(GuiBuildCtx &ctx, const var &tokens, int i, int n, Widget *&out);
// Builds the Table whose token is at i into `out`; the index after its closing tag (n when unclosed).
int gui_build_table(GuiBuildCtx &ctx, const var &tokens, int i, int n, Widget *&out);
// Builds the cell whose td or th token is at i into `table`; the index of the token that ended it.
int gui_build_cell(GuiBuildCtx &ctx, const var &tokens, int i, int n, Table *table);
// Builds the input whose token is at i into `out`; the next index.
int gui_build_input(GuiBuildCtx &ctx, const var &tokens, int i, int n, Widget *&out);
// Applies a token's common attributes (sizes, align, tabindex, name, background, disabled, class) to w;
// returns w.
Widget *gui_apply_attrs(GuiBuildCtx &ctx, Widget *w, const var &token);
// Applies the box classes "error", "box", "box2" and "box3" of a token's "class"; other classes do nothing.
void gui_apply_class(Widget *w, const var &token);
// A plain widget showing image `src` ("/" and "\\" read as "_", an optional ":#rrggbb" tint), sized
// `width` x `height`; a size of 0 follows the image, keeping its aspect when the other one is given.
Widget *gui_image_widget(const std::string &src, float width = 0, float height = 0);
