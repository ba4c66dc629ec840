// Container: owned children, the hover and focus paths, event routing, layout and painting of children.
#include "container.h"

#include <algorithm>
#include <functional>

#include "kez_log.h"

// A tree must stay a tree: a widget with two owners is deleted twice, and a container inside itself
// sends every walk up or down the tree round for ever.
static bool _container_can_adopt(const Container *c, const Widget *child) {
  if (!child || child->parent) return false;
  for (const Widget *w = c; w; w = w->parent) {
    if (w == child) return false;
  }
  return true;
}

// Clears the tab links anywhere in c's tree that lead to one of `gone`: Tab must never reach a deleted
// widget.
static void _container_untab(Container *c, std::vector<Widget *> gone) {
  if (gone.empty()) return;
  std::sort(gone.begin(), gone.end(), std::less<Widget *>());
  Widget *root = c;
  while (root->parent) root = root->parent;
  std::vector<Widget *> all = root->children();
  all.push_back(root);
  for (Widget *w : all) {
    if (std::binary_search(gone.begin(), gone.end(), w->tab_next, std::less<Widget *>())) w->tab_next = nullptr;
  }
}

Container::~Container() {
  for (Widget *w : items) delete w;
}

bool Container::add_at(Widget *child, int x, int y) {
  if (!_container_can_adopt(this, child)) {
    LOG_PRINTF("Container::add_at: refused a widget that has a parent or holds this container\n");
    return false;
  }
  child->pos_x = (float)x;
  child->pos_y = (float)y;
  items.push_back(child);
  child->parent = this;
  child->style.update();
  return true;
}

void Container::remove(Widget *child) {
  if (child == hover_child) hover_child = nullptr;
  if (child == focus_child) focus_child = nullptr;
  auto it = std::find(items.begin(), items.end(), child);
  if (it == items.end()) return;
  items.erase(it);
  std::vector<Widget *> gone = child->children();
  gone.push_back(child);
  _container_untab(this, gone);
  delete child;
}

void Container::clear() {
  hover_child = focus_child = nullptr;  // they would point at deleted children
  std::vector<Widget *> gone = children(), old;
  old.swap(items);
  _container_untab(this, gone);
  for (Widget *w : old) delete w;
}

Widget *Container::find(const char *name) {
  for (Widget *w : items) {
    if (Widget *hit = w->find(name)) return hit;
  }
  return Widget::find(name);
}

Widget *Container::get_hovered() {
  if (!hover_child) return nullptr;
  Widget *deeper = hover_child->get_hovered();
  return deeper ? deeper : hover_child;
}

std::vector<Widget *> Container::children() {
  std::vector<Widget *> out;
  for (Widget *w : items) {
    out.push_back(w);
    const std::vector<Widget *> below = w->children();
    out.insert(out.end(), below.begin(), below.end());
  }
  return out;
}

bool Container::has_focus() { return !focus_child && style.focus != 0; }

// The last enabled child (and focusable, when asked) whose outer box holds the event's point.
static Widget *_container_pick(const Container &c, const Event &e, bool focusable) {
  for (size_t i = c.items.size(); i-- > 0;) {
    Widget *w = c.items[i];
    if (w->disabled || (focusable && !w->focusable)) continue;
    if (w->pos_x <= e.x && e.x < w->pos_x + w->outer_w && w->pos_y <= e.y && e.y < w->pos_y + w->outer_h) return w;
  }
  return nullptr;
}

// The event moved into a child's coordinates.
static Event _container_local(Event e, const Widget *child) {
  e.x -= child->pos_x;
  e.y -= child->pos_y;
  return e;
}

// A copy of e with another type.
static Event _container_retyped(Event e, int32_t type) {
  e.type = type;
  return e;
}

// A screen rotation reaches every enabled child, top first.
static void _container_rotate(Container &c, const Event &e, var &result) {
  for (size_t i = c.items.size(); i-- > 0;) {
    if (i < c.items.size() && !c.items[i]->disabled) widget_keep(result, c.items[i]->event(e));
  }
}

// Pointer presses, releases and button-less moves pick the hovered child; a drag keeps it.
static void _container_track_hover(Container &c, const Event &e, var &result) {
  Widget *candidate = c.hover_child;
  if (e.type == EVT_DOWN || e.type == EVT_UP || (e.type == EVT_MOVE && e.button == 0)) {
    candidate = _container_pick(c, e, false);
  } else if (e.type == EVT_LEAVE) {
    candidate = nullptr;
  }
  if (candidate == c.hover_child) return;
  if (c.hover_child) widget_keep(result, c.hover_child->event(_container_retyped(e, EVT_LEAVE)));
  if (candidate) widget_keep(result, candidate->event(_container_retyped(e, EVT_ENTER)));
  c.hover_child = candidate;
}

// A press focuses the focusable child under it; true when that moved the focus at this level.
static bool _container_pointer_focus(Container &c, const Event &e, var &result) {
  Widget *w = _container_pick(c, e, true);
  if (!w || w == c.focus_child) return false;
  widget_keep(result, w->focus());
  return true;
}

// Everything else travels down the focus path; a release over the focused child and a Space or Enter
// release are clicks on it.
static void _container_to_focus(Container &c, const Event &e, var &result) {
  widget_keep(result, c.focus_child->event(_container_local(e, c.focus_child)));
  Widget *f = c.focus_child;  // read again: the child may have moved the focus or been removed
  if (!f) return;
  if (e.type == EVT_UP && c.hover_child == f) {
    widget_keep(result, f->event(_container_local(_container_retyped(e, EVT_CLICK), f)));
  }
  if (e.type == EVT_KEYUP && (e.key == KEY_SPACE || e.key == KEY_ENTER)) {
    Event click = _container_retyped(e, EVT_CLICK);
    click.x = f->outer_w / 2;
    click.y = f->outer_h / 2;
    click.key = CLICK_FROM_KEYS;
    widget_keep(result, f->event(click));
  }
}

var Container::on_event(Event e) {
  var result = Widget::on_event(e);
  if (e.type == EVT_CLICK || e.type == EVT_ENTER || e.type == EVT_FOCUS) return result;
  if (e.type == EVT_ROTATE) {
    _container_rotate(*this, e, result);
    return result;
  }
  _container_track_hover(*this, e, result);
  if (e.type == EVT_LEAVE) return result;
  const bool moved = e.type == EVT_DOWN && _container_pointer_focus(*this, e, result);
  if (e.type == EVT_BLUR) {
    if (focus_child) widget_keep(result, focus_child->event(e));
    focus_child = nullptr;
    return result;
  }
  if (hover_child && (e.type == EVT_DOWN || e.type == EVT_MOVE || e.type == EVT_WHEEL)) {
    Event local = _container_local(e, hover_child);
    if (e.type == EVT_DOWN) local.key = moved ? DOWN_MOVED_FOCUS : 0;
    widget_keep(result, hover_child->event(local));
    return result;
  }
  if (focus_child) _container_to_focus(*this, e, result);
  return result;
}

// Hovers and focuses the first enabled focusable widget of the tree, so keyboard and joystick users
// always start on one.
static void _container_first_hover(Container &root) {
  if (root.hover_first_busy) return;
  root.hover_first_busy = 1;
  for (Widget *w : root.children()) {
    if (w->disabled || !w->focusable) continue;
    w->hover();
    w->focus();
    break;
  }
  root.hover_first_busy = 0;
}

void Container::loop() {
  if (!parent && !focus_child) _container_first_hover(*this);
  for (size_t i = 0; i < items.size(); i++) items[i]->loop();
}

void Container::paint_inner() {
  for (Widget *w : items) {
    GfxRect r = {w->pos_x, w->pos_y, w->outer_w, w->outer_h};
    if (!gfx_clip_test(r, nullptr)) continue;
    widget_translate(w->pos_x, w->pos_y);
    w->paint();
    widget_translate(-w->pos_x, -w->pos_y);
  }
}

void Container::layout_inner() {
  double right = 0, bottom = 0;
  for (Widget *w : items) {
    w->style.update();
    w->layout();
    right = std::max(right, (double)w->pos_x + w->outer_w);
    bottom = std::max(bottom, (double)w->pos_y + w->outer_h);
  }
  content_w = (float)widget_trunc(right);
  content_h = (float)widget_trunc(bottom);
}
