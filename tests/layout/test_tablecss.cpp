// Tables styled by CSS: colours, borders, padding and alignment from style sheets and STYLE
// attributes, winning over the table attributes.

#include <gtest/gtest.h>

#include "tests/layout/builttest.h"

namespace kv {
namespace {

using test::Built;
using test::FirstTable;

const char* const kCells = "<tr><td>one two<td>three</tr><tr><td>four<td>five six seven</tr>";

std::string Table(std::string_view sheet, std::string_view table, std::string_view cells) {
    return "<style>" + std::string(sheet) + "</style><table " + std::string(table) + ">" +
           std::string(cells) + "</table>";
}

// A styled table paints exactly as its twin written with attributes (or plainly).
struct TStyledTwin {
    const char* name;
    const char* sheet;
    const char* table;
    const char* cells;
    const char* twinTable;
    const char* twinCells;
};

void PrintTo(const TStyledTwin& twin, std::ostream* out) {
    *out << twin.name;
}

class StyledTableTwin : public ::testing::TestWithParam<TStyledTwin> {};

TEST_P(StyledTableTwin, PaintsAsItsAttributeTwin) {
    const TStyledTwin& c = GetParam();
    const std::string cells = *c.cells ? c.cells : kCells;
    const std::string twinCells = *c.twinCells ? c.twinCells : kCells;
    Built styled(Table(c.sheet, c.table, cells), 300), twin(Table("", c.twinTable, twinCells), 300);
    EXPECT_EQ(styled.Paint(), twin.Paint());
    EXPECT_EQ(styled.height, twin.height);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, StyledTableTwin,
    ::testing::Values(
        // Backgrounds of cells (by class), rows (inline) and tables (shorthand); CSS over BGCOLOR.
        TStyledTwin{"CellClass", ".hot{background-color:#ff0000}", "",
                    "<tr><td class=hot>a<td>b</tr><tr><td>c<td class=hot>d</tr>", "",
                    "<tr><td bgcolor=#ff0000>a<td>b</tr><tr><td>c<td bgcolor=#ff0000>d</tr>"},
        TStyledTwin{"RowInline", "", "", "<tr style='background:#00ff00'><td>a<td>b</tr>", "",
                    "<tr bgcolor=#00ff00><td>a<td>b</tr>"},
        TStyledTwin{"TableShorthand", "table{background:#0000ff}", "", "", "bgcolor=#0000ff", ""},
        TStyledTwin{"CssOverBgcolor", "td{background-color:#ffff00}", "",
                    "<tr><td bgcolor=#ff0000>a</tr>", "", "<tr><td bgcolor=#ffff00>a</tr>"},
        // The CSS that draws what BORDER=1 draws; a BORDER frame given by CSS in other words.
        TStyledTwin{"BorderOne", "table{border:1px solid gray}td{border:1px solid gray}", "", "",
                    "border=1", ""},
        TStyledTwin{"BorderLonghands",
                    "table{border-width:3px;border-style:solid;border-color:gray}"
                    "td{border:thin solid gray}",
                    "", "", "border=3", ""},
        TStyledTwin{"NoneAndHidden", "table{border:4px none red}td{border:2px hidden red}", "", "",
                    "", ""},
        TStyledTwin{"CssOverBorder", "td{border:none}table{border:0}", "border=1", "", "", ""},
        // Padding over CELLPADDING; border-spacing over CELLSPACING.
        TStyledTwin{"Padding", "td{padding:7px}", "cellpadding=20", "", "cellpadding=7", ""},
        TStyledTwin{"Spacing", "table{border-spacing:9px}", "cellspacing=1", "", "cellspacing=9",
                    ""},
        // Alignment of cells and rows over ALIGN and VALIGN.
        TStyledTwin{"TextAlignCell", ".r{text-align:right}", "width=200",
                    "<tr><td class=r align=left>a<td align=center>b</tr>", "width=200",
                    "<tr><td align=right>a<td align=center>b</tr>"},
        TStyledTwin{"TextAlignRow", "tr{text-align:center}", "width=200",
                    "<tr align=right><td>a<td align=left>b</tr>", "width=200",
                    "<tr align=center><td>a<td align=left>b</tr>"},
        TStyledTwin{"VerticalAlignCell", "td{vertical-align:bottom}", "",
                    "<tr><td valign=top>a<td>b<br>c<br>d</tr>", "",
                    "<tr><td valign=bottom>a<td valign=bottom>b<br>c<br>d</tr>"},
        TStyledTwin{"VerticalAlignRow", "", "",
                    "<tr valign=bottom style='vertical-align:top'><td>a<td>b<br>c</tr>", "",
                    "<tr valign=top><td>a<td>b<br>c</tr>"}),
    [](const auto& info) { return std::string(info.param.name); });

// Cells aligned on the baseline put their first lines on one baseline: the text below a deep
// padding stays, the other cell's moves down to it, whichever of row and cell says so.
TEST(TableCss, BaselineCellsShareTheirFirstBaseline) {
    const char* cells = "<tr><td style='padding-top:20px'>a<td>b<br>c</tr>";
    for (const char* sheet : {"tr{vertical-align:baseline}", "td{vertical-align:baseline}"}) {
        Built top(Table("td{vertical-align:top}", "", cells), 300);
        Built base(Table(sheet, "", cells), 300);
        const std::string t = top.Paint(), b = base.Paint();
        EXPECT_EQ(test::TextY(b, "a"), test::TextY(t, "a")) << sheet;
        EXPECT_EQ(test::TextY(b, "b"), test::TextY(b, "a")) << sheet;
    }
}

// Each side takes its own width, style and colour; the border takes its room in the layout.
TEST(TableCss, PerSideBorderIsDrawnAndTakesItsRoom) {
    Built plain(Table("", "", "<tr><td>a<td>b</tr>"), 300);
    Built sided(Table("td.l{border-left:5px solid red;border-bottom:2px dashed #0000ff}", "",
                      "<tr><td>a<td class=l>b</tr>"),
                300);
    const TTableCell& first = *FirstTable(sided)->Rows[0].Cells[0];
    const TTableCell& last = *FirstTable(sided)->Rows[0].Cells[1];
    EXPECT_EQ(FirstTable(sided)->TableWidth, FirstTable(plain)->TableWidth + 5);
    for (const TEdge& side : first.Drawn) EXPECT_EQ(side.Width, 0);
    const std::string painted = sided.Paint();
    const int x = last.Left, bottom = last.Height + FirstTable(sided)->Rows[0].Top;
    // The left side whole, red; the bottom side in dashes of three times its width.
    EXPECT_NE(painted.find("FILL " + std::to_string(x) + " " +
                           std::to_string(FirstTable(sided)->Rows[0].Top) + " " +
                           std::to_string(x + 5) + " " + std::to_string(bottom) + " #ff0000"),
              std::string::npos)
        << painted;
    EXPECT_NE(painted.find("FILL " + std::to_string(x) + " " + std::to_string(bottom - 2) + " " +
                           std::to_string(x + 6) + " " + std::to_string(bottom) + " #0000ff"),
              std::string::npos)
        << painted;
    EXPECT_EQ(test::TextX(painted, "b"), x + 5 + 1);  // border, then CELLPADDING
}

// Separate borders keep the spacing between cells; collapsed ones share one line, the wider
// border winning, at the first and the last line of either direction.
TEST(TableCss, CollapsedBordersShareOneLine) {
    const char* cells = "<tr><td>a<td class=w>b<td>c</tr><tr><td>d<td>e<td>f</tr>";
    const char* sheet =
        "td{border:1px solid black}td.w{border-right:3px solid red}"
        "table{border:2px solid black;border-collapse:%s}";
    for (const char* mode : {"separate", "collapse"}) {
        char css[200];
        std::snprintf(css, sizeof css, sheet, mode);
        Built b(Table(css, "", cells), 300);
        const TTableBlock& t = *FirstTable(b);
        const auto& r0 = t.Rows[0].Cells;
        const auto& r1 = t.Rows[1].Cells;
        const bool collapse = std::string_view(mode) == "collapse";
        SCOPED_TRACE(mode);
        if (!collapse) {
            EXPECT_EQ(r0[1]->Left, r0[0]->Left + r0[0]->Width + 2);
            EXPECT_EQ(t.Rows[1].Top, t.Rows[0].Top + t.Rows[0].Height + 2);
            EXPECT_EQ(r0[1]->Drawn[bsRight].Width, 3);
            EXPECT_EQ(r0[2]->Drawn[bsLeft].Width, 1);
            continue;
        }
        // The outer lines: the table's 2px over the cells' 1px, first and last column and row.
        EXPECT_EQ(r0[0]->Left, t.TableLeft);
        EXPECT_EQ(r0[0]->Drawn[bsLeft].Width, 2);
        EXPECT_EQ(r0[0]->Drawn[bsTop].Width, 2);
        EXPECT_EQ(r1[2]->Drawn[bsRight].Width, 2);
        EXPECT_EQ(r1[2]->Drawn[bsBottom].Width, 2);
        EXPECT_EQ(r1[2]->Left + r1[2]->Width, t.TableLeft + t.TableWidth);
        // Inner lines: one line, overlapped by both cells; 3px red wins over 1px.
        EXPECT_EQ(r0[1]->Left, r0[0]->Left + r0[0]->Width - 1);
        EXPECT_EQ(r0[2]->Left, r0[1]->Left + r0[1]->Width - 3);
        EXPECT_EQ(r0[2]->Drawn[bsLeft], (TEdge{3, esSolid, 0x0000ff}));
        EXPECT_EQ(t.Rows[1].Top, t.Rows[0].Top + t.Rows[0].Height - 1);
        EXPECT_EQ(r1[0]->Drawn[bsTop].Width, 1);
    }
}

}  // namespace
}  // namespace kv
