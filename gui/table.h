// Tables, boxes and labels: a grid of cells with column and row spans, a box that aligns one content
// widget inside itself, and a text in a bitmap font wrapped to its width.
#pragma once

#include <cstdint>
#include <string>

#include "container.h"

constexpr int TABLE_GRID_MAX = 1024;  // columns and rows a table lays out; cells beyond pile into the last

// A grid: each child's `column`, `row`, `colspan` and `rowspan` say where it sits. Every cell is
// resized to fill its grid area; the table's own width and height are minimum sizes, kept by a disabled
// spacer child that spans the whole grid.
class Table : public Container {
 public:
  int32_t cur_row = -1;      // row of the next cell; the builder moves on before a row's first cell
  int32_t cur_col = 0;       // column of the next cell
  Widget *spacer = nullptr;  // one of `items`; null once a clear or remove deleted it

  Table();
  ~Table() override;

  // Appends a cell at the cursor and moves the cursor past its columns. Spans below 1 count 1 and the
  // grid stops at TABLE_GRID_MAX; false (nothing changes) when add_at refuses the child.
  bool add_cell(Widget *child, int colspan, int rowspan);

  // Sizes the columns and rows to the cells (wider spans last), places and resizes every cell.
  void layout_inner() override;
};

// A box around one content widget, its first child, placed by `align` and `valign` (centred when
// unset). Its `width` and `height` are its outer size: it grows to fit the content unless `clip` is set.
class Box : public Container {
 public:
  // The content becomes the first child, at (0, 0).
  explicit Box(Widget *content);

  void paint_inner() override;
  void resize_inner(int w, int h) override;
  void layout_inner() override;
  // Places the content inside the content box; nothing without content.
  virtual void arrange();
};

// A text in one font; "\n" starts a new line. Without a `width` it is as wide as its widest line,
// with one it wraps and grows in height.
class Label : public Widget {
 public:
  int32_t font;      // font handle (kez_font.h)
  std::string text;  // the bytes shown

  // A label of that text (null gives the empty text).
  Label(int font, const char *text);

  // Replaces the text; the size follows at the next layout.
  void set_text(const char *text) override;
  void paint_inner() override;
  void layout_inner() override;
};
