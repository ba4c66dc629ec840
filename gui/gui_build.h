// Markup builder: turns a screen's markup into a widget tree with its Tab order and action values.
//
// The builder walks the parser's token list (kez_markup.h) by recursive descent. It knows a fixed set of
// tags (table, td, th, tr, p, h1-h4, img, rank, vectors, pixart, input) and leaves every other element
// out. A page is one element, as a rule one <table>: only the first buildable element becomes the
// root, and a table cell holds one element. Buttons answer a click with {"type": "onclick", "value":
// onclick}; sliders, toggles and options answer a change with {"type": "onchange", "value": onchange}.
//
// A build's work grows with the markup and nothing else: no widget is laid out while the tree grows
// (its owner lays the finished tree out once), and the caps below bound the tree.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "controls.h"

// The caps of a build: what lies beyond one is left out, and the build stops there.
constexpr int GUI_BUILD_DEPTH_MAX = 64;         // nested elements
constexpr size_t GUI_BUILD_TEXT_MAX = 1 << 20;  // bytes of markup; a longer one builds nothing
constexpr int GUI_BUILD_TAGS_MAX = 16384;       // tags read
constexpr int GUI_BUILD_ELEMENTS_MAX = 4096;    // elements built (table cells included)
constexpr int GUI_FLOW_BLOCKS_MAX = 64;         // elements gui_build_flow stacks; later ones are left out
constexpr float GUI_SIZE_MAX = 65536;           // sizes from markup are held within 0..GUI_SIZE_MAX units
// The work a build charges to its report's spend function: a unit per GUI_BUILD_SCAN_BYTES bytes
// of markup, GUI_BUILD_TAG_UNITS per tag read and GUI_BUILD_ELEMENT_UNITS per element built.
constexpr int GUI_BUILD_SCAN_BYTES = 4;
constexpr int GUI_BUILD_TAG_UNITS = 16;
constexpr int GUI_BUILD_ELEMENT_UNITS = 64;

// What a build may spend and what it tells its caller, for markup the caller answers for (a mod's).
struct GuiBuildReport {
  // Charged as the build goes; when it returns false the build stops, keeping what it has built.
  bool (*spend)(int64_t units) = nullptr;
  std::string error;    // why the build stopped short at one of the caps; "" when it did not
  std::string dropped;  // the elements left out (unknown ones, a second one in a cell, ...); "" for none
};

// The state of one gui_build call.
struct GuiBuildCtx {
  // Focusable widgets by (tabindex, build sequence): ascending order is the Tab order.
  std::map<std::pair<int32_t, int32_t>, Widget *> tabs;
  std::unordered_map<Widget *, std::pair<int32_t, int32_t>> tab_keys;  // each entry's key in `tabs`
  int32_t sequence = 0;                                                // entries put into `tabs` so far
  var style;                                                           // the page's style dictionary; read only
  // The first option of each group name in this build: the group's leader.
  std::map<std::string, OptionBox *> options;
  int32_t depth = 0;                       // gui_build_tags calls under way
  GuiBuildReport *report = nullptr;        // spending, and why the build stopped; null: no limit but the caps
  bool stopped = false;                    // a cap or the spend function ended the build
  int32_t elements = 0;                    // elements built so far
  int32_t dropped = 0;                     // elements left out
  std::vector<std::string> dropped_shown;  // the first of them, in document order
};

// The widget tree of `markup` with its Tab chain linked; `style` may hold "p:max-width". Never null: a
// markup without a buildable element gives an empty plain Widget. The caller owns the root and lays it
// out. A build stopped by a cap keeps what it built; with a report, the cap and the elements left out
// are told there, else each is logged in one line.
Widget *gui_build(const std::string &markup, const var &style, GuiBuildReport *report = nullptr);
// The cap a build of `markup` would stop at, told in report->error as gui_build tells it ("" for none),
// found without building anything; the work is charged to report->spend as a build's is. Elements left
// out are not told.
void gui_markup_check(const std::string &markup, GuiBuildReport *report);
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
// of the first token not consumed. Nothing is built beyond GUI_BUILD_DEPTH_MAX levels: the build stops
// there.
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
