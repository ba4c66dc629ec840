// Markup builder: recursive descent over the markup tokens into widgets, action values and the Tab chain.
#include "gui_build.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "art.h"
#include "kez_font.h"
#include "kez_gfx-tex.h"
#include "kez_log.h"
#include "kez_markup.h"

static const char *FONT_NAME = "font";
static const float LABEL_MARGIN = 6;  // kept free at each side of a control's label, inside its border
constexpr size_t DROPPED_SHOWN = 8;  // elements left out that a report names; the rest are counted

// Charges units to the build; false once the build has stopped (a cap, or the spend function said no).
static bool _gui_spend(GuiBuildCtx &ctx, int64_t units) {
  if (!ctx.stopped && ctx.report && ctx.report->spend && !ctx.report->spend(units)) ctx.stopped = true;
  return !ctx.stopped;
}

// Tells the caller the markup went past a cap (the first one it met).
static void _gui_capped(GuiBuildCtx &ctx, const std::string &why) {
  if (!ctx.stopped && ctx.report && ctx.report->error.empty()) ctx.report->error = why;
}

// Stops the build at a cap, telling why.
static void _gui_stop(GuiBuildCtx &ctx, const std::string &why) {
  _gui_capped(ctx, why);
  ctx.stopped = true;
}

// Counts an element about to be built; false when the build has stopped (at the element cap too).
static bool _gui_element(GuiBuildCtx &ctx) {
  if (++ctx.elements > GUI_BUILD_ELEMENTS_MAX) {
    _gui_stop(ctx, "markup of more than " + std::to_string(GUI_BUILD_ELEMENTS_MAX) + " elements");
  }
  return _gui_spend(ctx, GUI_BUILD_ELEMENT_UNITS);
}

// A token's attribute; none when missing (reading a dict by key would add the key).
static var _gui_attr(const var &t, const char *key) { return t.type() == VAR_DICT && t.has(key) ? t[key] : var(); }

static bool _gui_has(const var &t, const char *key) { return t.type() == VAR_DICT && t.has(key); }

static std::string _gui_str(const var &t, const char *key) { return _gui_attr(t, key).str(); }

// An attribute read as a number: its leading numeric text ("50%" reads 50); "nan" reads 0.
static double _gui_num(const var &t, const char *key) {
  const double v = _gui_attr(t, key).number();
  return v == v ? v : 0;
}

static int _gui_int(const var &t, const char *key) { return widget_trunc(_gui_num(t, key)); }

static bool _gui_closed(const var &t) { return _gui_int(t, "closed") != 0; }

// The tags the dispatcher and the table builder make something of.
static bool _gui_known_tag(const std::string &tag) {
  static const char *const KNOWN[] = {"table", "tr", "td",  "th",   "p",       "h1",     "h2",
                                      "h3",    "h4", "img", "rank", "vectors", "pixart", "input"};
  return std::find_if(std::begin(KNOWN), std::end(KNOWN), [&](const char *k) { return tag == k; }) != std::end(KNOWN);
}

// An end tag: closed, and nothing but its name. It closes an element rather than making one.
static bool _gui_end_tag(const var &t) { return _gui_closed(t) && t.len() <= 2; }

// Notes an element the page rules leave out, with the rule's reason; end tags are no elements.
static void _gui_drop(GuiBuildCtx &ctx, const var &t, const char *why) {
  if (_gui_end_tag(t)) return;
  if (ctx.dropped_shown.size() < DROPPED_SHOWN) {
    ctx.dropped_shown.push_back("<" + _gui_str(t, "tag") + "> (" + why + ")");
  }
  ctx.dropped++;
}

// A size from markup, held within 0..GUI_SIZE_MAX: a page is a few thousand units wide, and layout sums
// of larger values lose their units or overflow.
static float _gui_size(double v) { return v > 0 ? (float)std::min(v, (double)GUI_SIZE_MAX) : 0.0f; }

// "rrggbb" or "#rrggbb" as a colour; any further digits are dropped, so a tint never leaves 0xRRGGBB
// (where it could read as the unset marker).
static int32_t _gui_colour(const std::string &text) {
  const char *digits = text.c_str() + (text.empty() || text[0] != '#' ? 0 : 1);
  return (int32_t)(strtoul(digits, nullptr, 16) & 0xFFFFFF);
}

// "name" or "name:#rrggbb": the image by name, and the tint when one is given.
static void _gui_image_ref(const std::string &ref, int32_t &image, int32_t &tint) {
  const size_t colon = ref.find(':');
  image = gfx_img_load(ref.substr(0, colon).c_str());
  if (colon == std::string::npos) return;
  const size_t end = ref.find(':', colon + 1);
  tint = _gui_colour(ref.substr(colon + 1, end == std::string::npos ? end : end - colon - 1));
}

// The UI screen's side in UI units: the drawing state's virtual size, which the shell keeps at the UI size.
static float _gui_screen(bool width) {
  if (!gfx_state) return 0;
  return width ? gfx_state->virtual_w : gfx_state->virtual_h;
}

// {"type": type, "value": the token's attribute key, none when missing}.
static var _gui_action(const char *type, const var &t, const char *key) {
  var a;
  var_dict2(a, "type", type, "value", _gui_attr(t, key));
  return a;
}

// A width or height attribute: a number of units, or with "%" a share of the screen's side.
static void _gui_side(float &side, const var &t, const char *key, bool width) {
  const double v = _gui_num(t, key);
  if (v != 0) side = _gui_size(v);
  if (_gui_str(t, key).find('%') != std::string::npos) side = _gui_size(v * _gui_screen(width) / 100);
}

// An alignment word: neg -1, mid 0, pos 1; any other word leaves the property alone.
static void _gui_align(int32_t &prop, const var &t, const char *key, const char *neg, const char *mid,
                       const char *pos) {
  const std::string word = _gui_str(t, key);
  if (word == neg) prop = -1;
  if (word == mid) prop = 0;
  if (word == pos) prop = 1;
}

static void _gui_tabindex(GuiBuildCtx &ctx, Widget *w, const var &t) {
  const double index = _gui_num(t, "tabindex");
  if (index < 0) return;  // kept out of the Tab chain
  const std::pair<int32_t, int32_t> key = {widget_trunc(index), ctx.sequence};
  ctx.tabs[key] = w;
  ctx.tab_keys[w] = key;
  ctx.sequence++;
}

Widget *gui_apply_attrs(GuiBuildCtx &ctx, Widget *w, const var &t) {
  StyleRecord &b = w->style.records[STYLE_BASE];
  _gui_side(b.width, t, "width", true);
  _gui_side(b.height, t, "height", false);
  _gui_align(b.align, t, "align", "left", "center", "right");
  _gui_align(b.valign, t, "valign", "top", "middle", "bottom");
  if (w->focusable) _gui_tabindex(ctx, w, t);
  if (_gui_has(t, "name")) w->id = _gui_str(t, "name");
  if (_gui_has(t, "background")) _gui_image_ref(_gui_str(t, "background"), b.bg_image, b.bg_tint);
  if (_gui_has(t, "disabled")) w->disabled = 1;
  gui_apply_class(w, t);
  return w;
}

struct BoxClass {
  const char *cls, *image;
  int32_t padding, margin;  // margin -1: unchanged
};

static const BoxClass BOX_CLASSES[] = {
    {"error", "gui-error", 10, -1},
    {"box", "gui-box1", 4, 1},
    {"box2", "gui-box2", 4, 1},
    {"box3", "gui-box3", 4, 1},
};

void gui_apply_class(Widget *w, const var &t) {
  const std::string cls = _gui_str(t, "class");
  for (const BoxClass &c : BOX_CLASSES) {
    if (cls != c.cls) continue;
    StyleRecord &b = w->style.records[STYLE_BASE];
    b.bg_image = gfx_img_load(c.image);
    b.bg_inset = 10;
    b.padding_top = b.padding_right = b.padding_bottom = b.padding_left = c.padding;
    if (c.margin >= 0) b.margin_top = b.margin_right = b.margin_bottom = b.margin_left = c.margin;
    return;
  }
}

// The image's untrimmed size in pixels, each side at least 1 (a missing image measures 1 x 1).
static void _gui_image_size(int image, float &iw, float &ih) {
  const GfxImage *img = gfx_img_get(image);
  iw = img ? std::max(1.0f, std::trunc(img->full_w)) : 1.0f;
  ih = img ? std::max(1.0f, std::trunc(img->full_h)) : 1.0f;
}

Widget *gui_image_widget(const std::string &src, float width, float height) {
  Widget *w = new Widget();
  StyleRecord &b = w->style.records[STYLE_BASE];
  std::string name = src;
  std::replace(name.begin(), name.end(), '/', '_');
  std::replace(name.begin(), name.end(), '\\', '_');
  _gui_image_ref(name, b.fg_image, b.fg_tint);
  float iw, ih;
  _gui_image_size(b.fg_image, iw, ih);
  if (width == 0 && height == 0) {
    width = iw;
    height = ih;
  } else if (height == 0) {
    height = ih * width / iw;
  } else if (width == 0) {
    width = iw * height / ih;
  }
  b.width = _gui_size(width);
  b.height = _gui_size(height);
  return w;
}

// A text label in font "font" at `size` showing the token's content. A paragraph without a width of its
// own takes the page's "p:max-width".
static Label *_gui_text(GuiBuildCtx &ctx, const var &t, int size, bool paragraph) {
  Label *l = new Label(font_load(FONT_NAME, size), _gui_str(t, "content").c_str());
  gui_apply_attrs(ctx, l, t);
  float &width = l->style.records[STYLE_BASE].width;
  if (paragraph && width == STYLE_UNSET_F && _gui_has(ctx.style, "p:max-width")) {
    width = _gui_size(ctx.style["p:max-width"].number());
  }
  return l;
}

// A backer rank badge: flag, stars and wings images stacked in a 33 x 22 box, chosen by the first three
// hexadecimal digits of the value.
static Widget *_gui_rank(GuiBuildCtx &ctx, const var &t) {
  Container *c = new Container();
  StyleRecord &b = c->style.records[STYLE_BASE];
  b.width = 33;
  b.height = 22;
  gui_apply_attrs(ctx, c, t);
  int32_t images[3];
  art_rank_images(_gui_str(t, "value"), images);
  for (int32_t image : images) {  // flag at the back, wings in front
    Widget *layer = new Widget();
    layer->style.records[STYLE_BASE].fg_image = image;
    layer->style.records[STYLE_BASE].width = b.width;
    layer->style.records[STYLE_BASE].height = b.height;
    c->add_at(layer, 0, 0);
  }
  return c;
}

// Deletes a widget the builder made but does not use, after forgetting every reference the build keeps
// to it or its descendants: a Tab link or a group leader must never point at a deleted widget. The work
// is by the widgets deleted, never by the size of the page built so far.
static void _gui_discard(GuiBuildCtx &ctx, Widget *w) {
  std::vector<Widget *> gone = w->children();
  gone.push_back(w);
  for (Widget *x : gone) {
    auto tab = ctx.tab_keys.find(x);
    if (tab != ctx.tab_keys.end()) {
      ctx.tabs.erase(tab->second);
      ctx.tab_keys.erase(tab);
    }
    OptionBox *o = dynamic_cast<OptionBox *>(x);
    auto group = o ? ctx.options.find(o->id) : ctx.options.end();  // a leader's id is its group's name
    if (group != ctx.options.end() && group->second == o) ctx.options.erase(group);
  }
  delete w;
}

// An option of the token's group; the first of a name leads its group for the rest of the build.
static Widget *_gui_option(GuiBuildCtx &ctx, const var &t, Widget *content) {
  const std::string name = _gui_str(t, "name");
  auto found = ctx.options.find(name);
  OptionBox *leader = found == ctx.options.end() ? nullptr : found->second;
  if (!content) content = new Label(font_load(FONT_NAME, 16), _gui_str(t, "title").c_str());
  OptionBox *o = gui_option(content, _gui_attr(t, "value"), leader);
  if (!leader) ctx.options[name] = o;
  o->action.change = _gui_action("onchange", t, "onchange");
  if (_gui_num(t, "checked") == 1) o->event(Event(EVT_CLICK));
  return o;
}

static Widget *_gui_slider(const var &t) {
  const int high = _gui_int(t, "high"), step = _gui_int(t, "step");
  NumSlider *s = gui_num_slider(_gui_str(t, "name").c_str(), _gui_int(t, "value"), _gui_int(t, "low"),
                                high != 0 ? high : 100, step != 0 ? step : 1);
  s->action.change = _gui_action("onchange", t, "onchange");
  return s;
}

// A text input; "textarea" is multi-line and "password" shows asterisks.
static Widget *_gui_text_input(const var &t, const std::string &type) {
  TextInput *in = gui_text_input(_gui_str(t, "name").c_str(), _gui_str(t, "value").c_str());
  in->multi_line = type == "textarea";
  in->password = type == "password";
  return in;
}

static Widget *_gui_toggle(const var &t) {
  MyToggle *m = gui_toggle(_gui_str(t, "name").c_str(), _gui_int(t, "value"));
  m->action.change = _gui_action("onchange", t, "onchange");
  return m;
}

// Tabs share a strip's width between them: they keep the width they are given.
static bool _gui_tab_class(const var &t) { return _gui_str(t, "class").rfind("tab", 0) == 0; }

// The width a control's text or content needs; 0 for controls without one.
static float _gui_label_width(Widget *w) {
  if (MyToggle *toggle = dynamic_cast<MyToggle *>(w)) return font_text_width(toggle->font, "< OFF >");
  Box *box = dynamic_cast<Box *>(w);
  if (!box || box->items.empty() || dynamic_cast<TextInput *>(w)) return 0;
  Widget *content = box->items[0];
  content->style.update();
  content->layout();
  return content->outer_w;
}

// A control given a width too narrow for its label grows to keep LABEL_MARGIN beside it, inside its
// margin, border and padding.
static void _gui_fit_label(Widget *w, const var &t) {
  const float text = _gui_label_width(w);
  if (text <= 0 || _gui_tab_class(t)) return;
  StyleRecord &b = w->style.records[STYLE_BASE];
  const float sides = (float)(widget_style_or(b.margin_left, 0) + widget_style_or(b.margin_right, 0) +
                              widget_style_or(b.padding_left, 0) + widget_style_or(b.padding_right, 0) +
                              widget_style_or(b.border_left, 0) + widget_style_or(b.border_right, 0));
  const float need = std::ceil(text + 2 * LABEL_MARGIN + sides);
  if (b.width != STYLE_UNSET_F && b.width < need) b.width = need;
}

// The widget of an input of that type; `inner` becomes null when the widget took it.
static Widget *_gui_input_widget(GuiBuildCtx &ctx, const var &t, const std::string &type, Widget *&inner) {
  Widget *w = nullptr;
  if (type == "button") {
    w = gui_button_by_class(_gui_action("onclick", t, "onclick"), inner, t);
    inner = nullptr;
  } else if (type == "text" || type == "textarea" || type == "password") {
    w = _gui_text_input(t, type);
  } else if (type == "image") {
    Widget *picture =
        gui_image_widget(_gui_str(t, "src"), _gui_size(_gui_num(t, "width")), _gui_size(_gui_num(t, "height")));
    w = gui_button_by_class(_gui_action("onclick", t, "onclick"), picture, t);
  } else if (type == "slider") {
    w = _gui_slider(t);
  } else if (type == "toggle") {
    w = _gui_toggle(t);
  } else if (type == "option") {
    w = _gui_option(ctx, t, inner);
    inner = nullptr;
  } else {
    w = new Widget();
  }
  return w;
}

int gui_build_input(GuiBuildCtx &ctx, const var &tokens, int i, int n, Widget *&out) {
  const var &t = tokens[i];
  Widget *inner = nullptr;
  const int next = _gui_closed(t) ? i + 1 : gui_build_tags(ctx, tokens, i + 1, n, inner);
  Widget *w = _gui_input_widget(ctx, t, _gui_str(t, "type"), inner);
  if (inner) _gui_discard(ctx, inner);
  out = gui_apply_attrs(ctx, w, t);
  _gui_fit_label(out, t);
  return next;
}

int gui_build_cell(GuiBuildCtx &ctx, const var &tokens, int i, int n, Table *table) {
  if (!_gui_element(ctx)) return n;
  const var &c = tokens[i];
  Widget *content = nullptr;
  const int k = gui_build_tags(ctx, tokens, i + 1, n, content);
  if (!content) content = _gui_text(ctx, tokens[k - 1], 20, true);  // a text-only cell: its own token
  Box *box = new Box(content);
  if (_gui_attr(c, "clip").truth()) box->style.records[STYLE_BASE].clip = 1;
  gui_apply_attrs(ctx, box, c);  // align and valign place the content
  const int colspan = _gui_int(c, "colspan"), rowspan = _gui_int(c, "rowspan");
  table->add_cell(box, colspan != 0 ? colspan : 1, rowspan != 0 ? rowspan : 1);
  return k;
}

int gui_build_table(GuiBuildCtx &ctx, const var &tokens, int i, int n, Widget *&out) {
  Table *table = new Table();
  out = table;
  gui_apply_attrs(ctx, table, tokens[i]);
  for (int j = i + 1; j < n && _gui_spend(ctx, GUI_BUILD_TAG_UNITS);) {
    const var &t = tokens[j];
    const std::string tag = _gui_str(t, "tag");
    const bool closed = _gui_closed(t);
    if (tag == "table" && closed) return j + 1;
    if ((tag == "td" || tag == "th") && !closed) {
      j = gui_build_cell(ctx, tokens, j, n, table);
      continue;
    }
    if (tag == "tr" && !closed) {
      table->cur_row = std::min(table->cur_row + 1, TABLE_GRID_MAX - 1);  // rows past the grid pile into its last
      table->cur_col = 0;
    } else if (tag != "tr" && tag != "td" && tag != "th") {
      _gui_drop(ctx, t, _gui_known_tag(tag) ? "a cell holds one element" : "unknown");
    }
    j++;
  }
  return n;
}

// The size of a text tag's label; 0 for other tags.
static int _gui_text_size(const std::string &tag) {
  if (tag == "p") return 20;
  if (tag == "h1") return 32;
  if (tag == "h2") return 26;
  if (tag == "h3") return 20;
  if (tag == "h4") return 16;
  return 0;
}

// Builds the first buildable element from j on (see gui_build_tags).
static int _gui_dispatch(GuiBuildCtx &ctx, const var &tokens, int j, int n, Widget *&out) {
  for (; j < n && _gui_spend(ctx, GUI_BUILD_TAG_UNITS); j++) {
    const var &t = tokens[j];
    const std::string tag = _gui_str(t, "tag");
    if (tag == "table" && _gui_closed(t)) return j;
    if (tag == "td" || tag == "th" || tag == "tr") return j;  // the enclosing table's business
    if (!_gui_known_tag(tag)) {
      _gui_drop(ctx, t, "unknown");
      continue;
    }
    if (!_gui_element(ctx)) return n;
    if (tag == "table") return gui_build_table(ctx, tokens, j, n, out);
    if (tag == "input") return gui_build_input(ctx, tokens, j, n, out);
    if (const int size = _gui_text_size(tag)) {
      out = _gui_text(ctx, t, size, tag == "p");
      return j + 1;
    }
    if (tag == "img") {
      out = gui_image_widget(_gui_str(t, "src"), _gui_size(_gui_num(t, "width")), _gui_size(_gui_num(t, "height")));
      return j + 1;
    }
    if (tag == "vectors") {
      out = gui_apply_attrs(ctx, new VectorArt(_gui_str(t, "data").c_str()), t);
      return j + 1;
    }
    if (tag == "pixart") {
      out = gui_apply_attrs(ctx, new PixArt(_gui_str(t, "data"), _gui_int(t, "edit")), t);
      return j + 1;
    }
    if (tag == "rank") {
      out = _gui_rank(ctx, t);
      return j + 1;
    }
  }
  return n;
}

// True when one more nested level would pass the depth cap; the build then stops, telling why. Each
// level costs stack: markup from a mod is not trusted.
static bool _gui_too_deep(GuiBuildCtx &ctx) {
  if (ctx.depth < GUI_BUILD_DEPTH_MAX) return false;
  _gui_stop(ctx, "markup nested deeper than " + std::to_string(GUI_BUILD_DEPTH_MAX) + " elements");
  return true;
}

int gui_build_tags(GuiBuildCtx &ctx, const var &tokens, int i, int n, Widget *&out) {
  if (_gui_too_deep(ctx)) return i;
  ctx.depth++;
  const int next = _gui_dispatch(ctx, tokens, i, n, out);
  ctx.depth--;
  return next;
}

// Links each widget of the Tab map to the next one; the last keeps no link (no wrap-around).
static void _gui_link_tabs(GuiBuildCtx &ctx) {
  Widget *prev = nullptr;
  for (auto &entry : ctx.tabs) {
    if (prev) prev->tab_next = entry.second;
    prev = entry.second;
  }
}

// The name of the tag that starts after the '<' at pos, read as the parser reads it; empty when it has none.
static std::string _gui_tag_name(const std::string &text, size_t pos) {
  var token;
  var_dict0(token);
  markup_read_tag(token, text, pos);
  return _gui_str(token, "tag");
}

bool gui_markup_is(const std::string &text) {
  static const char *const FORMATTING[] = {"br",   "b",     "i",   "u", "em",   "strong", "span",
                                           "font", "small", "big", "a", "code", "div"};
  for (size_t at = text.find('<'); at != std::string::npos; at = text.find('<', at + 1)) {
    const size_t start = at + 1 < text.size() && text[at + 1] == '/' ? at + 2 : at + 1;
    if (start >= text.size() || !isalpha((unsigned char)text[start])) continue;  // "a < b" is no tag
    const std::string name = _gui_tag_name(text, at + 1);
    if (_gui_known_tag(name)) return true;
    for (const char *f : FORMATTING)
      if (name == f) return true;
  }
  return false;
}

// Opens a paragraph at the end of the flow's tokens for text that no element of its own holds; returns it.
static var _gui_flow_paragraph(const var &tokens) {
  var p;
  var_dict2(p, "tag", "p", "align", "center");
  p["flow"] = var(1);
  p["content"] = var("");
  tokens.append(p);
  return p;
}

// The tokens of the markup (all of its text kept), as the builder takes them: tags it does not know
// are left out and their text joins the text around them, every <br> is a line break, and a paragraph
// opens at the start and after every closed tag, for text that would otherwise have no element.
static var _gui_flow_tokens(const std::string &markup) {
  var out;
  var_new_list(out);
  var receiver = _gui_flow_paragraph(out);  // the token that the text read next belongs to
  std::string text;                          // its text so far
  const var tokens = markup_parse_text(markup);
  var it = tokens.iter(), t;
  while (it.next(t)) {
    const std::string tag = _gui_str(t, "tag");
    if (!_gui_known_tag(tag)) {
      text += (tag == "br" ? "\n" : "") + _gui_str(t, "content");
      continue;
    }
    receiver["content"] = var(text);
    out.append(t);
    receiver = _gui_closed(t) ? _gui_flow_paragraph(out) : t;
    text = _gui_str(receiver, "content");
  }
  receiver["content"] = var(text);
  return out;
}

// A paragraph the flow opened that holds no text worth a row.
static bool _gui_flow_blank(const var &t, Widget *w) {
  const Label *l = dynamic_cast<const Label *>(w);
  return l && _gui_has(t, "flow") && str_strip(l->text).empty();
}

Widget *gui_build_flow(const std::string &markup, const var &style) {
  const var tokens = _gui_flow_tokens(markup);
  GuiBuildCtx ctx;
  ctx.style = style;
  Table *column = new Table();
  int blocks = 0;
  for (int j = 0, n = tokens.len(); j < n && blocks < GUI_FLOW_BLOCKS_MAX;) {
    if (_gui_end_tag(tokens[j])) {
      j++;
      continue;
    }
    Widget *w = nullptr;
    const int k = gui_build_tags(ctx, tokens, j, n, w);
    if (w && _gui_flow_blank(tokens[k - 1], w)) {
      _gui_discard(ctx, w);
      w = nullptr;
    }
    if (w) {
      column->cur_row++;
      column->cur_col = 0;
      column->add_cell(new Box(w), 1, 1);
      blocks++;
    }
    j = k > j ? k : j + 1;  // a cell or row outside any table ends nothing here
  }
  _gui_link_tabs(ctx);
  return column;
}

// The elements left out, in words: the first few by name, then how many more.
static std::string _gui_dropped_text(const GuiBuildCtx &ctx) {
  std::string text;
  for (const std::string &d : ctx.dropped_shown) text += (text.empty() ? "" : ", ") + d;
  const size_t more = (size_t)ctx.dropped - ctx.dropped_shown.size();
  if (more) text += " and " + std::to_string(more) + " more";
  return text;
}

// The tokens of a page into tokens[0..n), within the caps of length and tags; false when there is
// nothing to build (the markup is too long, or the spend function said no). A "<br/>" is a tag of the
// markup that the builder reads as a line break in the text: it counts towards the tag cap. Past the
// cap the first tokens are kept, fewer the more line breaks there are.
static bool _gui_page_tokens(GuiBuildCtx &ctx, const std::string &markup, var &tokens, int &n) {
  if (markup.size() > GUI_BUILD_TEXT_MAX) {
    _gui_stop(ctx, "markup longer than " + std::to_string(GUI_BUILD_TEXT_MAX) + " bytes");
    return false;
  }
  if (!_gui_spend(ctx, (int64_t)(markup.size() / GUI_BUILD_SCAN_BYTES))) return false;
  const std::string text = str_replace(markup, "<br/>", "\n");
  const size_t breaks = (markup.size() - text.size()) / 4;  // each took five bytes and leaves one
  const size_t listed = GUI_BUILD_TAGS_MAX - std::min(breaks, (size_t)GUI_BUILD_TAGS_MAX);
  tokens = markup_parse(text, listed + 1);
  n = tokens.len();
  if ((size_t)n + breaks > (size_t)GUI_BUILD_TAGS_MAX) {  // what the first tags make is still built
    n = (int)std::min((size_t)n, listed);
    _gui_capped(ctx, "markup of more than " + std::to_string(GUI_BUILD_TAGS_MAX) + " tags");
  }
  return true;
}

// The widgets of the markup's first element into out; what follows it is left out.
static void _gui_build_page(GuiBuildCtx &ctx, const std::string &markup, Widget *&out) {
  var tokens;
  int n = 0;
  if (!_gui_page_tokens(ctx, markup, tokens, n)) return;
  for (int j = gui_build_tags(ctx, tokens, 0, n, out); j < n && !ctx.stopped; j++) {
    _gui_drop(ctx, tokens[j], "a page is one element");
  }
}

// ---- checking markup without building it ----
// The builder's walk (gui_build_tags, the table, its cells, an input's content) with nothing built:
// the same elements and levels are counted, so markup meets the same cap checked as built.

static int _gui_check_tags(GuiBuildCtx &ctx, const var &tokens, int i, int n);

static int _gui_check_table(GuiBuildCtx &ctx, const var &tokens, int i, int n) {
  for (int j = i + 1; j < n && _gui_spend(ctx, GUI_BUILD_TAG_UNITS);) {
    const var &t = tokens[j];
    const std::string tag = _gui_str(t, "tag");
    if (tag == "table" && _gui_closed(t)) return j + 1;
    if ((tag == "td" || tag == "th") && !_gui_closed(t)) {
      j = _gui_element(ctx) ? _gui_check_tags(ctx, tokens, j + 1, n) : n;
      continue;
    }
    j++;
  }
  return n;
}

static int _gui_check_dispatch(GuiBuildCtx &ctx, const var &tokens, int j, int n) {
  for (; j < n && _gui_spend(ctx, GUI_BUILD_TAG_UNITS); j++) {
    const var &t = tokens[j];
    const std::string tag = _gui_str(t, "tag");
    if ((tag == "table" && _gui_closed(t)) || tag == "td" || tag == "th" || tag == "tr") return j;
    if (!_gui_known_tag(tag)) continue;
    if (!_gui_element(ctx)) return n;
    if (tag == "table") return _gui_check_table(ctx, tokens, j, n);
    if (tag == "input" && !_gui_closed(t)) return _gui_check_tags(ctx, tokens, j + 1, n);
    return j + 1;
  }
  return n;
}

static int _gui_check_tags(GuiBuildCtx &ctx, const var &tokens, int i, int n) {
  if (_gui_too_deep(ctx)) return i;
  ctx.depth++;
  const int next = _gui_check_dispatch(ctx, tokens, i, n);
  ctx.depth--;
  return next;
}

void gui_markup_check(const std::string &markup, GuiBuildReport *report) {
  GuiBuildCtx ctx;
  ctx.report = report;
  var tokens;
  int n = 0;
  if (_gui_page_tokens(ctx, markup, tokens, n)) _gui_check_tags(ctx, tokens, 0, n);
}

Widget *gui_build(const std::string &markup, const var &style, GuiBuildReport *report) {
  GuiBuildReport own;
  GuiBuildCtx ctx;
  ctx.style = style;
  ctx.report = report ? report : &own;
  Widget *out = nullptr;
  _gui_build_page(ctx, markup, out);
  if (!out) out = new Widget();
  _gui_link_tabs(ctx);
  ctx.report->dropped = _gui_dropped_text(ctx);
  if (report) return out;
  if (!own.error.empty()) LOG_PRINTF("gui_build: %s: the rest is left out\n", own.error.c_str());
  if (!own.dropped.empty()) LOG_PRINTF("gui_build: left out %s\n", own.dropped.c_str());
  return out;
}
