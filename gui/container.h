// Container: the widget that owns children. It keeps, at every level, the child on the path to the
// hovered widget and the child on the path to the focused one, routes events along those paths, turns
// pointer releases and Space or Enter into clicks, sizes itself to its children and paints them in order.
//
// Ownership: a container deletes its children when they are removed, cleared or when it is deleted.
// A container is never copied (its children would have two owners); a page resets its root by
// assigning a fresh one through the Widget part, then clearing it:
//   static_cast<Widget &>(root) = Container();
//   root.clear();
#pragma once

#include <cstdint>
#include <vector>

#include "widget.h"

// The key field of the events a container makes: a click made from Space or Enter, and a press that
// moved the focus to the child it is handed to.
constexpr int32_t CLICK_FROM_KEYS = 7;
constexpr int32_t DOWN_MOVED_FOCUS = 23;

class Container : public Widget {
 public:
  std::vector<Widget *> items;    // paint order: the last child is on top; owned
  Widget *hover_child = nullptr;  // the child on the hover path; not owning
  Widget *focus_child = nullptr;  // the child on the focus path; not owning
  int32_t hover_first_busy = 0;   // re-entry guard of the first-hover rule

  Container() = default;
  Container(const Container &) = delete;
  Container &operator=(const Container &) = delete;
  ~Container() override;

  // Places the child at (x, y), appends it and restyles it; the container takes ownership. Nothing is
  // laid out: a tree is laid out once it is built, never per insertion. false (nothing changes, the
  // caller keeps the widget) for null, for a widget that already has a parent, and for this
  // container or one of its ancestors.
  bool add_at(Widget *child, int x, int y);
  // Deletes a child; a widget that is not a child is left alone. Hover and focus pointers and tab links
  // that led to it are cleared.
  void remove(Widget *child);
  // Deletes every child in order; the hover and focus pointers and tab links into them are cleared.
  void clear();

  // The first hit among the children (in order), else this container when its id is `name`.
  Widget *find(const char *name) override;
  // The deepest widget on the hover path; null without a hovered child.
  Widget *get_hovered() override;
  // Every descendant in pre-order (the container itself is not in the list).
  std::vector<Widget *> children() override;
  // False while a child is on the focus path: only the end of the path has focus.
  bool has_focus() override;
  // Routes an event along the hover and focus paths; the last action that was not none.
  var on_event(Event e) override;
  // A root without a focused widget focuses its first focusable one; then every child's loop.
  void loop() override;
  // Paints every child that passes the clip test, at its position.
  void paint_inner() override;
  // Restyles and lays out every child; the content box encloses them.
  void layout_inner() override;
};
