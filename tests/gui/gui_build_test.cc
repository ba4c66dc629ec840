// Markup builder: pages built from markup (cells and rows, labels, buttons and their actions, option
// groups, inputs and pictures, Tab order, images), hostile or broken markup, and a built page's pixels.
#include "gui_build.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "art.h"
#include "gui_test_support.h"

namespace {

using Page = std::unique_ptr<Widget>;

// Writes the face "font" that the builder uses: the support header's "mono" face under that name.
void write_font(const std::string &folder) {
  FILE *f = fopen((folder + "/font.fnt").c_str(), "w");
  fputs("common lineHeight=10 base=8 scaleW=10 scaleH=10 pages=1\npage id=0 file=\"font.png\"\n", f);
  fclose(f);
  gl_test_png(folder + "/font.png", 10, 10, [](int, int) { return 0xFFFFFFu; });
}

class Build : public GuiFiles {
 protected:
  void SetUp() override {
    GuiFiles::SetUp();
    write_font(folder);
  }
};

// The contents of a table's cells in document order (the builder wraps each in a Box).
std::vector<Widget *> cells(Widget *root) {
  std::vector<Widget *> out;
  for (Widget *w : static_cast<Table *>(root)->items) {
    if (w != static_cast<Table *>(root)->spacer) out.push_back(static_cast<Box *>(w)->items[0]);
  }
  return out;
}

const StyleRecord &base(const Widget *w) { return w->style.records[STYLE_BASE]; }

float font_size(const Widget *w) {
  const Label *l = dynamic_cast<const Label *>(w);
  return l && font_get(l->font) ? font_get(l->font)->size : 0;
}

std::string text(const Widget *w) { return dynamic_cast<const Label *>(w) ? static_cast<const Label *>(w)->text : ""; }

void settle(Widget *root) {
  root->style.update();
  root->layout();
}

}  // namespace

TEST_F(Build, the_first_buildable_element_is_the_page_and_markup_without_one_is_an_empty_widget) {
  Page empty(gui_build("just text <b>bold</b><span>x</span>", var()));
  EXPECT_EQ(dynamic_cast<Container *>(empty.get()), nullptr);
  Page p(gui_build("<b>skipped</b><p>one<br/>two</p><p>three</p>", var()));
  EXPECT_EQ(text(p.get()), "one\ntwo");
}

TEST_F(Build, cells_fill_rows_from_zero_hold_one_element_and_text_cells_share_the_cell_style) {
  var style;
  var_dict0(style);
  style["p:max-width"] = var(300);
  Page page(
      gui_build("<table><td><h1>a</h1></td><td colspan=0><h4>b</h4></td><tr><td colspan=2 rowspan=3><p width=50>one</p>"
                "<p>two</p></td><th>c</th><tr><td class='box'>boxed</td></table>",
                style));
  std::vector<Widget *> c = cells(page.get());
  ASSERT_EQ(c.size(), 5u);
  const int want[5][4] = {{0, 0, 1, 1}, {1, 0, 1, 1}, {0, 1, 2, 3}, {2, 1, 1, 1}, {0, 2, 1, 1}};
  const float sizes[5] = {32, 16, 20, 20, 20}, widths[5] = {STYLE_UNSET_F, STYLE_UNSET_F, 50, 300, 300};
  for (int i = 0; i < 5; i++) {
    const Widget *cell = c[i]->parent;
    EXPECT_EQ(cell->column * 1000 + cell->row * 100 + cell->colspan * 10 + cell->rowspan,
              want[i][0] * 1000 + want[i][1] * 100 + want[i][2] * 10 + want[i][3])
        << i;
    EXPECT_FLOAT_EQ(font_size(c[i]), sizes[i]) << i;
    EXPECT_FLOAT_EQ(base(c[i]).width, widths[i]) << i << ": only paragraphs without a width take p:max-width";
  }
  EXPECT_EQ(text(c[2]), "one") << "a cell holds its first element only";
  for (const Widget *w : {(const Widget *)c[4], (const Widget *)c[4]->parent}) {
    EXPECT_EQ(base(w).bg_inset * 100 + base(w).padding_left * 10 + base(w).margin_top, 1041);
  }
}

TEST_F(Build, headings_are_plain_labels_of_sizes_32_26_20_and_16) {
  Page page(gui_build("<table><tr><td><h1>a</h1><tr><td><h2>b</h2><tr><td><h3>c</h3><tr><td><h4>d</h4></table>", var()));
  const std::vector<Widget *> c = cells(page.get());
  ASSERT_EQ(c.size(), 4u);
  const float sizes[] = {32, 26, 20, 16};
  for (size_t i = 0; i < c.size(); i++) {
    EXPECT_FLOAT_EQ(font_size(c[i]), sizes[i]) << i;
    EXPECT_TRUE(base(c[i]).text_color == STYLE_UNSET && base(c[i]).margin_top == STYLE_UNSET) << i;
  }
}

TEST_F(Build, buttons_hold_their_content_or_value_and_a_click_answers_the_onclick_dict) {
  gl_test_png(folder + "/icon-play.png", 8, 8, [](int, int) { return 0xFFFFFFu; });
  gfx_init();  // images without a GL context: sizes only
  Page page(gui_build(
      "<table><tr><td><input type='button' class='ibutton1' icon='icon-play' onclick='menus_login' value='Play' "
      "height=66 name='play'><h1>PLAY</h1></input></td><td><input type='button' value='Back' onclick='popup:done' "
      "name='popup:done' width=90 height=$HEIGHT class='tiny1' /></td></tr></table>",
      var()));
  Box *play = static_cast<Box *>(page->find("play")), *back = static_cast<Box *>(page->find("popup:done"));
  EXPECT_EQ(text(play->items[0]), "PLAY") << "icon has no effect";
  EXPECT_FLOAT_EQ(font_size(play->items[0]), 32);
  EXPECT_FLOAT_EQ(base(play).height, 66);
  EXPECT_EQ(text(back->items[0]), "Back");
  EXPECT_FLOAT_EQ(font_size(back->items[0]), 20);
  EXPECT_FLOAT_EQ(base(back).width * 1000 + base(back).height, 90044) << "$HEIGHT reads 0: the button's own 44";

  settle(page.get());
  const GfxRect r = play->get_rect(true);
  Event down = gui_event(EVT_DOWN, r.x + r.w / 2, r.y + r.h / 2);
  down.button = 1;
  page->event(down);
  const var a = page->event(gui_event(EVT_UP, down.x, down.y));
  ASSERT_EQ(a.type(), VAR_DICT);
  EXPECT_EQ(a.len(), 2);
  EXPECT_EQ(a["type"].str(), "onclick");
  EXPECT_EQ(a["value"].str(), "menus_login");
  gfx_deinit();
}

TEST_F(Build, controls_too_narrow_for_their_label_grow_to_keep_a_margin_but_tabs_keep_their_width) {
  FILE *f = fopen((folder + "/font.fnt").c_str(), "w");  // a 10-unit face: "a" advances 10 units
  fputs("common lineHeight=10 base=8 scaleW=10 scaleH=10 pages=1\npage id=0 file=\"font.png\"\n"
        "char id=97 x=0 y=0 width=10 height=10 xoffset=0 yoffset=0 xadvance=10 page=0\n", f);
  fclose(f);
  Page page(gui_build(
      "<table><tr><td><input type='button' value='aaaaaaaaaa' width=100 name='wide' />"
      "<td><input type='button' value='a' width=100 name='short' />"
      "<td><input type='option' name='pick' value='1' title='aaaaaaaaaa' />"
      "<td><input type='button' value='aaaaaaaaaa' width=100 name='tab' class='tab' /></table>",
      var()));
  for (const char *name : {"wide", "pick"}) {
    SCOPED_TRACE(name);
    Box *control = static_cast<Box *>(page->find(name));
    ASSERT_TRUE(control);
    settle(control);
    const Widget *label = control->items[0];
    EXPECT_GE(label->pos_x, 6) << "a margin at the left of the label";
    EXPECT_LE(label->pos_x + label->outer_w, control->content_w - 6) << "and at its right";
  }
  EXPECT_FLOAT_EQ(base(page->find("short")).width, 100) << "a label that fits leaves the width alone";
  EXPECT_FLOAT_EQ(base(page->find("tab")).width, 100);
}

TEST_F(Build, inputs_and_pictures_take_their_attributes_and_defaults) {
  Page page(gui_build(
      "<table><td><input type='text' name='nick' value='Ann'><p>dropped</p></input></td>"
      "<td><input type='textarea' name='note'/></td><td><input type='password' name='pw'/></td>"
      "<td><input type='slider' low='5' high='100' step=5 name='pct'/></td><td><input type='slider' name='plain'/>"
      "</td><td><vectors name='v' width=30 data='T PX0Y0 PX9Y0 PX0Y9 Cff0000'/></td>"
      "<td><pixart name='pix' edit=1 width=42 data=''/></td></table>",
      var()));
  TextInput *nick = static_cast<TextInput *>(page->find("nick"));
  EXPECT_EQ(nick->get_value().str(), "Ann");
  EXPECT_EQ(nick->multi_line * 10 + nick->password, 0);
  EXPECT_EQ(static_cast<TextInput *>(page->find("note"))->multi_line, 1);
  EXPECT_EQ(static_cast<TextInput *>(page->find("pw"))->password, 1);
  EXPECT_EQ(base(nick).padding_top, 11) << "(42 - a line of the size-20 font) / 2";
  NumSlider *pct = static_cast<NumSlider *>(page->find("pct")), *plain = static_cast<NumSlider *>(page->find("plain"));
  EXPECT_EQ(pct->low * 10000 + pct->high * 10 + pct->step, 50000 + 1000 + 5);
  EXPECT_EQ(plain->low * 10000 + plain->high * 10 + plain->step, 1000 + 1);
  EXPECT_EQ(static_cast<VectorArt *>(page->find("v"))->tris.size(), 1u);
  EXPECT_EQ(static_cast<PixArt *>(page->find("pix"))->editable, 1);
  EXPECT_EQ(page->find("plain")->tab_next, page->find("pix")) << "an editable picture is in the Tab chain";
}

TEST_F(Build, tab_order_is_by_tabindex_then_document_order_and_minus_one_stays_out) {
  Page page(gui_build(
      "<table><td><input type='button' name='a' tabindex=10/></td><td><input type='button' name='b' tabindex=5/>"
      "</td><td><input type='button' name='c' tabindex=10/></td><td><input type='button' name='d' tabindex=-1/>"
      "</td><td><input type='button' name='e'/></td></table>",
      var()));
  Widget *a = page->find("a"), *b = page->find("b"), *c = page->find("c"), *d = page->find("d");
  EXPECT_EQ(page->find("e")->tab_next, b);
  EXPECT_EQ(b->tab_next, a);
  EXPECT_EQ(a->tab_next, c);
  EXPECT_EQ(c->tab_next, nullptr) << "no wrap-around";
  EXPECT_EQ(d->tab_next, nullptr);
  for (Widget *w : page->children()) EXPECT_NE(w->tab_next, d);
}

TEST_F(Build, sizes_follow_the_ui_screen_and_numbers_from_markup_are_held_in_range) {
  gfx_init();  // no GL here: only markup without images while the drawing state exists
  gfx_state->virtual_w = 640;
  Page half(gui_build("<table width='50%' height=0>", var()));
  gfx_deinit();
  EXPECT_FLOAT_EQ(base(half.get()).width, 320);
  EXPECT_FLOAT_EQ(base(half.get()).height, STYLE_UNSET_F);
  Page page(gui_build(
      "<table><td width='1e40' height='-5'><input type='button' name='a' tabindex='40000'/></td>"
      "<td width='nan' colspan='1e12' background='x:#ff000001'><input type='button' name='b' tabindex=5/></td>"
      "<td width=0><input type='slider' name='s' low='1e30' high='-1e30' value='nan' step='1e20'/></td></table>",
      var()));
  std::vector<Widget *> c = cells(page.get());
  EXPECT_FLOAT_EQ(base(c[0]->parent).width, GUI_SIZE_MAX);
  EXPECT_FLOAT_EQ(base(c[0]->parent).height, 0);
  EXPECT_FLOAT_EQ(base(c[1]->parent).width, STYLE_UNSET_F);
  EXPECT_FLOAT_EQ(base(c[2]->parent).width, STYLE_UNSET_F);
  EXPECT_EQ(c[1]->parent->colspan, TABLE_GRID_MAX - 1);
  EXPECT_EQ(base(c[1]->parent).bg_tint, 0x000001) << "a tint stays 0xRRGGBB (and never reads as unset)";
  EXPECT_EQ(page->find("b")->tab_next, page->find("a")) << "a tabindex past 32767 must not wrap below 5";
  EXPECT_EQ(static_cast<NumSlider *>(c[2])->low, 1000000000);
}

TEST_F(Build, deeply_nested_markup_is_cut_off_instead_of_exhausting_the_stack) {
  std::string tables, inputs;
  for (int i = 0; i < 3000; i++) {
    tables += "<table><tr><td>";
    inputs += "<input type='button'>";
  }
  for (const std::string &markup : {tables, inputs}) {
    Page page(gui_build(markup, var()));
    int depth = 0;
    for (Widget *w = page.get(); w; depth++) {
      Container *c = dynamic_cast<Container *>(w);
      w = c && !c->items.empty() ? c->items.back() : nullptr;
    }
    EXPECT_LE(depth, 2 * GUI_BUILD_DEPTH_MAX + 2);
    EXPECT_GE(depth, GUI_BUILD_DEPTH_MAX);
  }
}

namespace {

int64_t units_left;
bool spend_some(int64_t units) {
  units_left -= units;
  return units_left >= 0;
}

// The report of building markup, with the page's root kind: "table", "widget" (empty) or "other".
GuiBuildReport report_of(const std::string &markup, std::string *root = nullptr) {
  GuiBuildReport report;
  Page page(gui_build(markup, var(), &report));
  if (root) *root = dynamic_cast<Table *>(page.get()) ? "table" : typeid(*page) == typeid(Widget) ? "widget" : "other";
  return report;
}

std::string repeat(const std::string &text, int times) {
  std::string out;
  for (int i = 0; i < times; i++) out += text;
  return out;
}

}  // namespace

// The cap building markup meets; checking it without building must find the same one.
std::string cap_of(const std::string &markup, std::string *root = nullptr) {
  GuiBuildReport checked;
  gui_markup_check(markup, &checked);
  const std::string built = report_of(markup, root).error;
  EXPECT_EQ(checked.error, built) << markup.substr(0, 64);
  return built;
}

TEST_F(Build, caps_stop_a_build_with_their_reason_and_what_the_page_rules_leave_out_is_named) {
  std::string root;
  EXPECT_EQ(cap_of(repeat("<table><tr><td>", 100), &root), "markup nested deeper than 64 elements");
  EXPECT_EQ(root, "table") << "what was built before the cap stays";
  EXPECT_EQ(cap_of(std::string(GUI_BUILD_TEXT_MAX + 1, ' '), &root), "markup longer than 1048576 bytes");
  EXPECT_EQ(root, "widget");
  EXPECT_EQ(cap_of("<table>" + repeat("<td>x", 5000)), "markup of more than 4096 elements");
  EXPECT_EQ(cap_of("<table><tr><td><input type='button'>" + repeat("<table><td>", 70)),
            "markup nested deeper than 64 elements");
  EXPECT_EQ(cap_of("<p>x</p>" + repeat("<b>", 20000)), "markup of more than 16384 tags");
  EXPECT_EQ(cap_of("<p>x" + repeat("<br/>", 16384)), "markup of more than 16384 tags");
  EXPECT_EQ(cap_of("<table>" + repeat("<td><p>x", 2047) + "</table>" + repeat("<br/>", 16384 - 4096)), "")
      << "4095 elements and 16384 tags, line breaks included, are within the caps";
  GuiBuildReport fine = report_of("<table><tr><td><p>a</p></td></tr></table>");
  EXPECT_EQ(fine.error, "");
  EXPECT_EQ(fine.dropped, "");

  EXPECT_EQ(report_of("<b>x</b><table><tr><td><p>a</p><p>b</p><span>c</span></td></tr></table><p>after</p>").dropped,
            "<b> (unknown), <p> (a cell holds one element), <span> (unknown), <p> (a page is one element)");
  EXPECT_EQ(report_of("<p>x</p>" + repeat("<i>", 10)).dropped,
            repeat("<i> (a page is one element), ", 7) + "<i> (a page is one element) and 2 more");

  // The spend function's no stops the build where it is, keeping what it made.
  GuiBuildReport limited;
  limited.spend = spend_some;
  units_left = 10 * GUI_BUILD_ELEMENT_UNITS;
  Page page(gui_build("<table>" + repeat("<tr><td><p>row</p>", 100) + "</table>", var(), &limited));
  EXPECT_LT(cells(page.get()).size(), 10u);
  EXPECT_GT(cells(page.get()).size(), 0u);
  EXPECT_EQ(limited.error, "") << "the caller knows why its spend function said no";
}

TEST_F(Build, options_of_one_name_form_a_group_that_checked_1_selects_and_a_dropped_option_leaves_none) {
  Page page(
      gui_build("<table><td><input type='toggle' name='t'><input type='option' name='res' value='1'/></input></td>"
                "<td><input type='option' name='res' value='320' title='small' onchange='res'/></td>"
                "<td><input type='option' name='res' value='480' checked=1/></td>"
                "<td><input type='option' name='other' value='x' checked=2/></td></table>",
                var()));
  std::vector<Widget *> c = cells(page.get());
  OptionBox *first = static_cast<OptionBox *>(c[1]), *second = static_cast<OptionBox *>(c[2]);
  EXPECT_EQ(first->leader, first) << "the option the toggle dropped led no group";
  EXPECT_EQ(second->leader, first);
  EXPECT_EQ(page->find("res"), first);
  EXPECT_EQ(first->get_value().str(), "480");
  EXPECT_EQ(first->style.selected * 10 + second->style.selected, 1);
  EXPECT_EQ(c[3]->get_value().type(), VAR_NONE);
  EXPECT_EQ(text(first->items[0]), "small");
  EXPECT_EQ(first->action.change["type"].str() + ":" + first->action.change["value"].str(), "onchange:res");
  EXPECT_EQ(c[0]->tab_next, first) << "no Tab link through the dropped option";
}

TEST_F(GuiGl, images_read_slashes_as_underscores_keep_their_aspect_and_paint_in_their_tint) {
  const int art = image("menu_art", 40, 20, 0xFFFFFF), wings = image("wings0", 4, 4, 0xFFFFFF);
  Page one(gui_build("<img src='menu/art:#ff0000' width=100 />", var()));
  EXPECT_EQ(base(one.get()).fg_image, art);
  EXPECT_FLOAT_EQ(base(one.get()).height, 50);
  Page two(gui_build("<img src='menu\\art' />", var()));
  EXPECT_FLOAT_EQ(base(two.get()).width * 1000 + base(two.get()).height, 40020);
  Page missing(gui_build("<img src='nothing' height=8 />", var()));
  EXPECT_FLOAT_EQ(base(missing.get()).width, 8) << "a missing image measures 1 x 1";
  Page rank(gui_build("<rank value='a3' />", var()));
  EXPECT_EQ(base(static_cast<Container *>(rank.get())->items[2]).fg_image, wings) << "a3 gives wings0 in front";

  settle(one.get());
  one->paint();
  expect_pixel(50, 25, 0xFF0000);
}

TEST_F(GuiGl, a_built_button_shows_its_skin_and_fades_in_the_over_image_when_the_page_focuses_it) {
  image("gui-button2", 30, 30, 0x0000FF);
  image("gui-button2o", 30, 30, 0xFFFF00);
  image("gui-box1", 30, 30, 0x00FF00);
  Page page(
      gui_build("<table><td><input type='button' class='button2' value='' width=100 height=40/></td>"
                "<td class='box' width=60 height=40>&nbsp;</td></table>",
                var()));
  settle(page.get());
  page->paint();
  expect_pixel(50, 20, 0x0000FF);   // the over image is still at alpha 0
  expect_pixel(130, 20, 0x00FF00);  // the box class behind a cell
  page->loop();                     // the first-hover rule hovers and focuses the button
  for (int i = 0; i < 8; i++) settle(page.get());
  gl_test_frame();
  page->paint();
  expect_pixel(50, 20, 0xFFFF00);
}

// The rows of a flow, each row's one element.
std::vector<Widget *> rows(Widget *flow) {
  std::vector<Widget *> out = cells(flow);
  for (size_t i = 0; i < out.size(); i++) EXPECT_EQ(out[i]->parent->row, int(i));
  return out;
}

TEST_F(Build, a_flow_stacks_every_element_and_keeps_the_text_the_page_rules_drop) {
  Page flow(
      gui_build_flow("lead <h1>Title</h1>Text <b>bold</b> end<p>One</p> tail <table><tr><td>A<td><i>B</i> c"
                     "</table><img src='logo' width=20 />Line<br>two<br />three</p>",
                     var()));
  std::vector<Widget *> r = rows(flow.get());
  ASSERT_EQ(r.size(), 8u);
  EXPECT_EQ(text(r[0]), "lead ");
  EXPECT_EQ(text(r[1]), "Title");
  EXPECT_EQ(font_size(r[1]), 32);
  EXPECT_EQ(text(r[2]), "Text bold end") << "the text around an inline tag stays one paragraph";
  EXPECT_EQ(text(r[3]), "One");
  EXPECT_EQ(text(r[4]), " tail ");
  std::vector<Widget *> table = cells(r[5]);
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(text(table[0]), "A");
  EXPECT_EQ(text(table[1]), "B c");
  EXPECT_EQ(base(r[6]).width, 20);  // the picture
  EXPECT_EQ(dynamic_cast<Label *>(r[6]), nullptr);
  EXPECT_EQ(text(r[7]), "Line\ntwo\nthree");
}

TEST_F(Build, a_flow_builds_no_empty_rows_for_end_tags_or_blank_text_and_stops_at_its_cap) {
  Page flow(gui_build_flow("<p>x</p>\n  </td></tr></table></input></p><p>&nbsp;</p>", var()));
  std::vector<Widget *> r = rows(flow.get());
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(text(r[0]), "x");
  EXPECT_EQ(text(r[1]), " ") << "a paragraph written as a spacer is kept";
  std::string many;
  for (int i = 0; i < 3 * GUI_FLOW_BLOCKS_MAX; i++) many += "<h2>row</h2>";
  Page capped(gui_build_flow(many, var()));
  EXPECT_EQ(rows(capped.get()).size(), size_t(GUI_FLOW_BLOCKS_MAX));
  Page empty(gui_build_flow("", var()));
  EXPECT_TRUE(rows(empty.get()).empty());
  Page last(gui_build_flow("<p>x</p>and the last words", var()));
  ASSERT_EQ(rows(last.get()).size(), 2u);
  EXPECT_EQ(text(rows(last.get())[1]), "and the last words") << "text after the last tag is kept";
}

TEST_F(Build, a_flow_links_its_inputs_in_tab_order_and_quoted_brackets_stay_in_their_tag) {
  var style;
  var_dict0(style);
  style["p:max-width"] = var(240);
  Page flow(
      gui_build_flow("<input type='text' name='b' tabindex=2 /><a title='x>y'>link</a> text"
                     "<input type='text' name='a' tabindex=1 />",
                     style));
  std::vector<Widget *> r = rows(flow.get());
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(text(r[1]), "link text");
  EXPECT_EQ(base(r[1]).width, 240);
  EXPECT_EQ(r[2]->tab_next, r[0]);
  EXPECT_EQ(r[0]->tab_next, nullptr);
}

TEST_F(Build, markup_is_told_from_text_by_its_tags) {
  for (const char *markup : {"<p>x</p>", "Text <b>bold</b> end", "one<br/>two", "bad</table>", "<img src='a'>",
                             "<a href='x'>link</a>", "x <span class='y'>z"})
    EXPECT_TRUE(gui_markup_is(markup)) << markup;
  for (const char *text : {"", "Tom & Jerry", "a < b", "x<3", "1</2", "a <name> is needed", "<password>", "<"})
    EXPECT_FALSE(gui_markup_is(text)) << text;
}
