// Tables, boxes and labels: grid layout with spans, aligned single content, wrapped text.
#include "table.h"

#include <algorithm>
#include <vector>

#include "kez_font.h"

// The table's minimum-size cell. It tells its table when it is deleted (by a clear or remove), so the
// table never writes through a stale pointer and makes a new one at its next layout.
class TableSpacer : public Widget {
 public:
  explicit TableSpacer(Table *t) : table(t) {}
  ~TableSpacer() override {
    if (table) table->spacer = nullptr;
  }
  Table *table;
};

static void _table_spacer_add(Table &t) {
  TableSpacer *s = new TableSpacer(&t);
  t.spacer = s;
  t.add_at(s, 0, 0);
  s->disabled = 1;
}

Table::Table() { _table_spacer_add(*this); }

Table::~Table() {
  if (spacer) static_cast<TableSpacer *>(spacer)->table = nullptr;  // the table is gone before its children
}

// A span from markup or a mod: at least 1, and ending inside the grid.
static int _table_span(int start, int span) { return std::clamp(span, 1, TABLE_GRID_MAX - start); }

bool Table::add_cell(Widget *child, int cs, int rs) {
  if (!add_at(child, 0, 0)) return false;
  cur_row = std::clamp(cur_row, 0, TABLE_GRID_MAX - 1);
  child->row = cur_row;
  child->column = std::min(cur_col, TABLE_GRID_MAX - 1);
  child->colspan = _table_span(child->column, cs);
  child->rowspan = _table_span(child->row, rs);
  cur_col = std::min(cur_col + child->colspan, TABLE_GRID_MAX);
  return true;
}

// Keeps a cell inside the grid whatever its fields were set to: they index the size tables.
static void _table_fit(Widget &w) {
  w.column = std::clamp(w.column, 0, TABLE_GRID_MAX - 1);
  w.row = std::clamp(w.row, 0, TABLE_GRID_MAX - 1);
  w.colspan = _table_span(w.column, w.colspan);
  w.rowspan = _table_span(w.row, w.rowspan);
}

static double _table_sum(const std::vector<double> &size, int first, int span) {
  double sum = 0;
  for (int c = first; c < first + span; c++) sum += size[c];
  return sum;
}

// Spreads what a cell needs beyond its lines' sizes over them; the remainder goes one unit each to the
// lines whose index modulo the span comes first.
static void _table_spread(std::vector<double> &size, int first, int span, float need) {
  const double have = _table_sum(size, first, span);
  if (!(need > have)) return;
  const int extra = widget_trunc(need - have), share = extra / span, rest = extra % span;
  for (int c = first; c < first + span; c++) size[c] += share + (rest != 0 && c % span < rest ? 1 : 0);
}

static std::vector<double> _table_starts(const std::vector<double> &size) {
  std::vector<double> start(size.size(), 0);
  for (size_t i = 1; i < size.size(); i++) start[i] = start[i - 1] + size[i - 1];
  return start;
}

void Table::layout_inner() {
  if (!spacer) _table_spacer_add(*this);
  Container::layout_inner();
  int columns = 0, rows = 0;
  for (Widget *w : items) {
    _table_fit(*w);
    columns = std::max(columns, w->column + w->colspan);
    rows = std::max(rows, w->row + w->rowspan);
  }
  const StyleRecord &c = style.records[STYLE_CURRENT];
  spacer->column = spacer->row = 0;
  spacer->colspan = columns;
  spacer->rowspan = rows;
  spacer->pos_x = spacer->pos_y = 0;
  spacer->outer_w = widget_style_or_f(c.width, 0);
  spacer->outer_h = widget_style_or_f(c.height, 0);

  // Narrow cells first, so a wide cell only adds what its columns still lack. Stable, so cells of one
  // span keep their document order in `items` (paint order and the first-hover rule read it).
  std::vector<double> widths(columns, 0), heights(rows, 0);
  std::stable_sort(items.begin(), items.end(), [](Widget *a, Widget *b) { return a->colspan < b->colspan; });
  for (Widget *w : items) _table_spread(widths, w->column, w->colspan, w->outer_w);
  std::stable_sort(items.begin(), items.end(), [](Widget *a, Widget *b) { return a->rowspan < b->rowspan; });
  for (Widget *w : items) _table_spread(heights, w->row, w->rowspan, w->outer_h);

  const std::vector<double> xs = _table_starts(widths), ys = _table_starts(heights);
  for (Widget *w : items) {
    w->pos_x = (float)xs[w->column];
    w->pos_y = (float)ys[w->row];
    const double cw = _table_sum(widths, w->column, w->colspan), ch = _table_sum(heights, w->row, w->rowspan);
    if (cw != w->outer_w || ch != w->outer_h) w->resize(widget_trunc(cw), widget_trunc(ch));
  }
  content_w = (float)_table_sum(widths, 0, columns);
  content_h = (float)_table_sum(heights, 0, rows);
}

Box::Box(Widget *content) { add_at(content, 0, 0); }

// The first child, or null when it was removed.
static Widget *_box_content(const Box &b) { return b.items.empty() ? nullptr : b.items[0]; }

void Box::layout_inner() {
  Container::layout_inner();
  const StyleRecord &c = style.records[STYLE_CURRENT];
  const WidgetSides s = widget_sides(*this);
  const Widget *content = _box_content(*this);
  const double cw = content ? content->outer_w : 0, ch = content ? content->outer_h : 0;
  const double width = widget_style_or_f(c.width, 0) - (s.left + s.right);
  const double height = widget_style_or_f(c.height, 0) - (s.top + s.bottom);
  if (widget_style_or(c.clip, 0) == 0) {
    content_w = (float)std::max(widget_trunc(cw), widget_trunc(width));
    content_h = (float)std::max(widget_trunc(ch), widget_trunc(height));
  } else {
    content_w = (float)(widget_trunc(widget_style_or_f(c.width, 0)) != 0 ? width : cw);
    content_h = (float)(widget_trunc(widget_style_or_f(c.height, 0)) != 0 ? height : ch);
  }
  arrange();
}

void Box::arrange() {
  Widget *content = _box_content(*this);
  if (!content) return;
  const StyleRecord &c = style.records[STYLE_CURRENT];
  const int64_t align = widget_style_or(c.align, 0), valign = widget_style_or(c.valign, 0);
  content->pos_x = (float)((align + 1) * widget_trunc(content_w - content->outer_w) / 2);
  content->pos_y = (float)((valign + 1) * widget_trunc(content_h - content->outer_h) / 2);
}

// The table that resizes a cell has just laid it out: laying the content out again would make each
// level of nested tables lay out its whole subtree twice over.
void Box::resize_inner(int w, int h) {
  content_w = (float)w;
  content_h = (float)h;
  arrange();
}

void Box::paint_inner() {
  const bool clip = widget_style_or(style.records[STYLE_CURRENT].clip, 0) != 0;
  if (clip) gfx_clip_push(0, 0, content_w, content_h);
  Container::paint_inner();
  if (clip) gfx_clip_pop();
}

Label::Label(int f, const char *t) : font(f), text(t ? t : "") {}

void Label::set_text(const char *t) { text = t ? t : ""; }

void Label::layout_inner() {
  const float width = style.records[STYLE_CURRENT].width;
  content_w = width != STYLE_UNSET_F ? width : (float)widget_trunc(font_text_width(font, text.c_str()));
  content_h = (float)widget_trunc(font_text_height(font, text.c_str(), (float)widget_trunc(content_w)));
}

void Label::paint_inner() {
  const StyleRecord &c = style.records[STYLE_CURRENT];
  widget_draw_color(c.text_color, c.text_alpha);
  font_draw(font, text.c_str(), 0, 0, (float)widget_trunc(content_w), widget_style_or(c.align, -1));
  widget_draw_color(0xFFFFFF, 255);
}
