// Form controls: what the builder makes of forms, how controls size, break and align in lines,
// what a submission sends, print copies and live widgets, and hostile forms.

#include <gtest/gtest.h>

#include "tests/common/testhost.h"
#include "tests/common/testutil.h"
#include "tests/layout/formtest.h"

namespace kv {
namespace {

using test::FormDoc;

// A live widget that only records what the document asks of it.
struct FakeWindow : TControlWindow {
    void Place(int x, int y) override { ++placed, lastX = x, lastY = y, visible = true; }
    void Hide() override { ++hidden, visible = false; }
    bool Focused() const override { return focused; }
    void Refresh() override { ++refreshed; }
    int placed = 0, hidden = 0, refreshed = 0, lastX = 0, lastY = 0;
    bool visible = false, focused = false;
};

TEST(FormControls, SizeFollowsSizeColsAndRows) {
    FormDoc d(
        "<input size=10><input size=20><textarea cols=10 rows=2></textarea>"
        "<textarea cols=10 rows=5></textarea><select size=3><option>a</select>"
        "<select size=6><option>a</select><input size=999999999>"
        "<textarea cols=999999999 rows=999999999></textarea>");
    // Ten more characters of the 6-pixel test font; three more text rows of 13 pixels.
    EXPECT_EQ(d.Control(1).Width - d.Control(0).Width, 60);
    EXPECT_EQ(d.Control(0).Height, d.Control(1).Height);
    EXPECT_EQ(d.Control(2).Width, d.Control(3).Width);
    EXPECT_EQ(d.Control(3).Height - d.Control(2).Height, 3 * 13);
    EXPECT_EQ(d.Control(5).Height - d.Control(4).Height, 3 * 13);
    EXPECT_GT(d.Control(0).Height, 13);  // the box holds a line of text
    // Hostile sizes stay bounded, and the document still lays out.
    for (std::size_t i : {6u, 7u}) {
        EXPECT_GT(d.Control(i).Width, 0);
        EXPECT_LE(d.Control(i).Width, 20000);
        EXPECT_LE(d.Control(i).Height, 20000);
    }
    EXPECT_GT(d.height, 0);
}

TEST(FormControls, PlaceholderTwoBreaksSixDoesNot) {
    FormDoc breaking("wordwordword<input size=5>wordwordword", 100);
    const auto texts = breaking.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->Text, u"wordwordword\x02wordwordword");
    EXPECT_GE(texts[0]->LineCount(), 2);
    FormDoc joined("<nobr>wordwordword<input size=5>wordwordword</nobr>", 100);
    ASSERT_EQ(joined.Texts().size(), 1u);
    EXPECT_EQ(joined.Texts()[0]->Text, u"wordwordword\x06wordwordword");
    EXPECT_EQ(joined.Texts()[0]->LineCount(), 1);
    // The control's width counts in the line: a wide box pushes the text onto the next line.
    FormDoc narrow("ab <input size=30> cd", 400);
    FormDoc wide("ab <input size=80> cd", 400);
    EXPECT_EQ(narrow.Texts()[0]->LineCount(), 1);
    EXPECT_GE(wide.Texts()[0]->LineCount(), 2);
}

// The control sits where its alignment says, and the line is tall enough to hold it.
TEST(FormControls, VerticalAlignmentInALine) {
    for (const char* align : {"top", "middle", "baseline", "bottom"}) {
        FormDoc d(std::string("text <textarea rows=4 align=") + align + "></textarea> more");
        d.Paint();
        const TSection& section = *d.Texts()[0];
        ASSERT_EQ(section.LineCount(), 1) << align;
        const LineRec& line = section.LineList[0];
        const TFormControlObj& c = d.Control(0);
        const int lineTop = section.Top, textTop = line.PaintedY;
        const int baseline = textTop + line.TextHeight - line.MaxDescent;
        EXPECT_GE(c.Top, lineTop) << align;
        EXPECT_LE(c.Top + c.Height, lineTop + line.Height()) << align;
        const std::string a = align;
        if (a == "top") {
            EXPECT_EQ(c.Top, textTop);
        } else if (a == "baseline") {
            EXPECT_EQ(c.Top + c.Height, baseline);
        } else if (a == "bottom") {
            EXPECT_EQ(c.Top + c.Height, textTop + line.TextHeight);
        } else {
            EXPECT_LE(std::abs((c.Top + c.Height / 2) - (textTop + line.TextHeight / 2)), 1);
            // No room is left over above a middle-aligned control.
            EXPECT_LE(line.Height(), c.Height + 1);
        }
    }
}

TEST(FormControls, RadioGroupsKeepOneChecked) {
    FormDoc d(
        "<form><input type=radio name=a value=1 checked><input type=radio name=a value=2 "
        "checked><input type=radio name=b value=x><input type=radio name=b value=y>"
        "<input type=checkbox name=c checked><input type=checkbox name=c checked></form>");
    auto radio = [&](std::size_t i) -> TCheckControl& { return d.As<TCheckControl>(i); };
    EXPECT_FALSE(radio(0).Checked);  // the last checked of a group wins
    EXPECT_TRUE(radio(1).Checked);
    EXPECT_TRUE(radio(2).Checked);  // a group without a checked button gets its first
    EXPECT_FALSE(radio(3).Checked);
    EXPECT_TRUE(radio(4).Checked && radio(5).Checked);  // check boxes are independent
    radio(3).Activate(0, 0);
    EXPECT_FALSE(radio(2).Checked);
    EXPECT_TRUE(radio(3).Checked);
    radio(3).Activate(0, 0);  // clicking a checked radio button keeps it checked
    EXPECT_TRUE(radio(3).Checked);
    radio(4).Activate(0, 0);
    EXPECT_FALSE(radio(4).Checked);
    d.doc.Forms[0]->Reset();
    EXPECT_TRUE(radio(1).Checked && radio(2).Checked && radio(4).Checked);
    EXPECT_FALSE(radio(0).Checked || radio(3).Checked);
}

TEST(FormControls, SelectItemsAndChoices) {
    FormDoc d(
        "<select name=one><option value=1>One<option selected>  Two  <option selected "
        "value=3>Three</select><select name=many multiple><option selected>a</option>"
        "<option>b<option selected value=cv>c</select><select name=none><option>first"
        "<option>second</select>");
    auto& one = d.As<TSelectControl>(0);
    auto& many = d.As<TSelectControl>(1);
    EXPECT_EQ(one.Kind, ckComboBox);
    EXPECT_EQ(many.Kind, ckListBox);
    ASSERT_EQ(one.Options.size(), 3u);
    EXPECT_EQ(one.Options[1].Text, "Two");
    EXPECT_EQ(one.ShownIndex(), 2);  // one choice: the last SELECTED wins
    EXPECT_FALSE(one.Options[1].Selected);
    EXPECT_TRUE(many.Options[0].Selected && many.Options[2].Selected);
    EXPECT_EQ(d.doc.Forms.size(), 1u);  // controls outside a form share one made for them
    EXPECT_EQ(d.doc.Forms[0]->Results(),
              (std::vector<std::string>{"one=3", "many=a", "many=cv", "none=first"}));
    one.Select(0, true);
    many.Select(1, true);
    EXPECT_EQ(d.doc.Forms[0]->Results(),
              (std::vector<std::string>{"one=1", "many=a", "many=b", "many=cv", "none=first"}));
    d.doc.Forms[0]->Reset();
    EXPECT_EQ(one.ShownIndex(), 2);
    EXPECT_FALSE(many.Options[1].Selected);
}

TEST(FormControls, UnterminatedSelectLeavesTheTextAfterIt) {
    FormDoc d("<select name=s><option>a<option>b<p>after the list</p>");
    EXPECT_EQ(d.As<TSelectControl>(0).Options.size(), 2u);
    EXPECT_NE(d.AllText().find("after the list"), std::string::npos);
    FormDoc empty("<select></select>tail");
    EXPECT_EQ(empty.As<TSelectControl>(0).ShownIndex(), -1);
    EXPECT_NE(empty.Paint().find("\"tail\""), std::string::npos);
}

TEST(FormControls, TextAreaContent) {
    FormDoc d("<textarea name=t>a < b <b>x</b> &amp; &lt;\nline two</TEXTAREA >after");
    auto& area = d.As<TTextAreaControl>(0);
    EXPECT_EQ(area.Lines, (std::vector<std::string>{"a < b <b>x</b> & <", "line two"}));
    EXPECT_EQ(area.Text(), "a < b <b>x</b> & <\r\nline two");
    EXPECT_NE(d.AllText().find("after"), std::string::npos);
    EXPECT_EQ(d.AllText().find("line"), std::string::npos);  // the content is no body text
    // "</textarea" must be the whole word; a longer one is content.
    FormDoc longer("<textarea></textareas></textarea>x");
    EXPECT_EQ(longer.As<TTextAreaControl>(0).Lines, std::vector<std::string>{"</textareas>"});
    // Unterminated at the end of input: the content read so far stays.
    FormDoc open("<p>before<textarea name=t>one\ntwo");
    EXPECT_EQ(open.As<TTextAreaControl>(0).Lines, (std::vector<std::string>{"one", "two"}));
    EXPECT_NE(open.AllText().find("before"), std::string::npos);
    area.SetText("new\r\ntext");
    d.doc.Forms[0]->Reset();
    EXPECT_EQ(area.Lines.size(), 2u);
    EXPECT_EQ(area.Lines[1], "line two");
}

TEST(FormControls, ResultsFollowTheOrderOfTheControls) {
    FormDoc d(
        "<form action=\"send.htm\" method=post target=win enctype=plain>"
        "<input name=a value=1><input type=hidden name=h value=2><input type=password "
        "name=p value=pw><select name=s><option>x</select><textarea name=t>q</textarea>"
        "<input type=checkbox name=c checked><input type=checkbox name=off>"
        "<input type=radio name=r value=v checked><input type=reset name=rs>"
        "<input type=button name=bt value=B><input type=submit name=go value=Go>"
        "<input type=submit name=other value=No><input value=noname></form>");
    ThtmlForm& form = *d.doc.Forms.at(0);
    const std::vector<std::string> base{"a=1", "h=2", "p=pw", "s=x", "t=q", "c=on", "r=v"};
    EXPECT_EQ(form.Results(), base);
    std::vector<std::string> withGo = base;
    withGo.push_back("go=Go");
    EXPECT_EQ(form.Results(&d.Control(10)), withGo);
    std::vector<std::string> sent;
    std::string action, target, enctype, method;
    kvtest::TestHost host;
    d.doc.SetHost(&host);
    host.OnFormSubmit = [&](const std::string& a, const std::string& t, const std::string& e,
                            const std::string& m, const std::vector<std::string>& results) {
        action = a, target = t, enctype = e, method = m, sent = results;
    };
    d.As<TEditControl>(0).Value = "changed";
    d.Control(10).Activate(0, 0);
    EXPECT_EQ(action, "send.htm");
    EXPECT_EQ(method, "post");
    EXPECT_EQ(target, "win");
    EXPECT_EQ(enctype, "plain");
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0], "a=changed");
    d.Control(8).Activate(0, 0);  // reset
    EXPECT_EQ(d.As<TEditControl>(0).Value, "1");
    // Hidden fields have no placeholder; every other control has one.
    const std::string text = d.AllText();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\x02'), 12);
}

TEST(FormControls, ImageSubmitSendsThePoint) {
    FormDoc d(
        "<p>text</p><form action=go.htm><input type=image id=pic name=map src=none.gif "
        "width=40 height=30></form>");
    d.Paint();
    TFormControlObj& control = d.Control(0);
    ASSERT_NE(control.Image, nullptr);
    EXPECT_EQ(control.Image->SubmitControl, &control);
    TLinkHit hit;
    const int x = control.Image->DrawX + 5, y = control.Image->DrawY + 7;
    ASSERT_TRUE(d.doc.LinkAt(d.canvas, x, y, hit));
    ASSERT_EQ(hit.FormControl, &control);
    std::vector<std::string> sent;
    kvtest::TestHost host;
    d.doc.SetHost(&host);
    host.OnFormSubmit = [&](auto&, auto&, auto&, auto&, const std::vector<std::string>& r) {
        sent = r;
    };
    hit.FormControl->Activate(hit.X, hit.Y);
    EXPECT_EQ(sent, (std::vector<std::string>{"map.x=" + std::to_string(hit.X),
                                              "map.y=" + std::to_string(hit.Y)}));
    // Its id leads to where its picture stands.
    TIDObject* found = d.doc.IDNames.Find("PIC");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->TopY(), control.Image->DrawY);
    EXPECT_EQ(control.TopY(), control.Image->DrawY);
    EXPECT_GT(control.TopY(), 0);
    EXPECT_EQ(hit.X, 5);
    EXPECT_EQ(hit.Y, 7);
}

TEST(FormControls, ControlsInsideTables) {
    FormDoc d(
        "<table border=1><form action=rows.htm><tr><td><input name=a size=30></td>"
        "<td>next</td></tr></form></table><input name=b>"
        "<table><tr><td><form action=cell.htm><input name=c></form></td></tr></table>");
    const std::string painted = d.Paint();
    ASSERT_EQ(d.doc.FormControlList.size(), 3u);
    EXPECT_EQ(d.Control(0).Form->Action, "rows.htm");
    EXPECT_NE(d.Control(1).Form, d.Control(0).Form);  // the form ended with its end tag
    EXPECT_EQ(d.Control(2).Form->Action, "cell.htm");
    // The cell is wide enough for its control: the next cell's text starts right of it.
    const std::size_t at = painted.find("\"next\"");
    ASSERT_NE(at, std::string::npos);
    const std::size_t lineStart = painted.rfind('\n', at) + 1;
    const int nextX = std::stoi(painted.substr(lineStart + 5));
    EXPECT_GE(nextX, d.Control(0).Left + d.Control(0).Width);
    EXPECT_TRUE(d.Control(0).ShownFlag && d.Control(2).ShownFlag);
}

TEST(FormControls, IdNamesFindTheControl) {
    FormDoc d("<p>one</p><p>two</p><p><input id=Field1 name=n></p>");
    TIDObject* found = d.doc.IDNames.Find("FIELD1");
    ASSERT_EQ(found, &d.Control(0));
    EXPECT_GT(found->TopY(), 0);
    EXPECT_EQ(found->TopY(), d.Control(0).Top);
}

TEST(FormControls, PrintCopyDrawsControlsAndNeverTheirWidgets) {
    FormDoc d(
        "<input name=a value=typed><input type=checkbox name=c>"
        "<input type=image name=i src=none.gif width=20 height=20>");
    FakeWindow window;
    d.Control(0).Window = &window;
    d.As<TCheckControl>(1).SetChecked(true);
    TSectionList copy(d.doc, TTestFontEngine::Shared());
    EXPECT_TRUE(copy.FormControlList.empty());
    ASSERT_EQ(copy.Forms.size(), 1u);
    ASSERT_EQ(copy.Forms[0]->Controls.size(), 3u);
    EXPECT_EQ(copy.Forms[0]->Controls[0]->Window, nullptr);
    // The copied image-submit and its copied picture point at each other.
    TFormControlObj& image = *copy.Forms[0]->Controls[2];
    ASSERT_NE(image.Image, nullptr);
    EXPECT_NE(image.Image, d.Control(2).Image);
    EXPECT_EQ(image.Image->SubmitControl, &image);
    TRecordingCanvas printer;
    printer.SetPrinter(true, 0);
    int maxWidth = 0;
    copy.DoLayout(printer, 600, 400, maxWidth);
    copy.Paint(printer, QRect(0, 0, 800, 1000), 0, 0);
    const std::string printed = printer.Text();
    EXPECT_NE(printed.find("\"typed\""), std::string::npos) << printed;
    EXPECT_NE(printed.find("LINE"), std::string::npos);  // the check mark of the copied state
    EXPECT_EQ(window.placed, 0);
    // The source document is unchanged by its copy: its control still has its widget.
    EXPECT_EQ(d.Control(0).Window, &window);
}

TEST(FormControls, WidgetsFollowPaintAndScroll) {
    std::string html = "<input name=top>";
    for (int i = 0; i < 200; ++i) html += "<br>";
    FormDoc d(html + "<input name=low>");
    FakeWindow upper, lower;
    d.Control(0).Window = &upper;
    d.Control(1).Window = &lower;
    d.Paint(QRect(0, 0, 600, 400));
    EXPECT_TRUE(upper.visible);
    EXPECT_EQ(upper.lastY, d.Control(0).Top);
    EXPECT_EQ(lower.placed, 0);
    d.doc.SetScrollTop(d.Control(1).Top - 50);
    d.Paint(QRect(0, 0, 600, 400));
    EXPECT_FALSE(upper.visible);  // scrolled out of the painted strip
    EXPECT_TRUE(lower.visible);
    EXPECT_EQ(lower.lastY, 50);
    // While a control has the focus the others go off screen instead of hiding.
    lower.focused = true;
    d.doc.SetScrollTop(0);
    d.Paint(QRect(0, 0, 600, 400));
    EXPECT_TRUE(lower.visible);
    EXPECT_EQ(lower.lastX, -4000);
    // A new layout moves the controls: their widgets wait for the next paint.
    lower.focused = false;
    d.Layout(300);
    EXPECT_FALSE(upper.visible || lower.visible);
    d.Paint(QRect(0, 0, 600, 400));
    EXPECT_TRUE(upper.visible);
    // A reset tells the widget.
    d.doc.Forms[0]->Reset();
    EXPECT_GT(upper.refreshed, 0);
}

TEST(FormControls, HostileFormsStayBounded) {
    std::string many;
    for (int i = 0; i < 5000; ++i) many += "<input name=f" + std::to_string(i) + ">";
    FormDoc inputs(many, 800);
    EXPECT_EQ(inputs.doc.FormControlList.size(), 5000u);
    EXPECT_GT(inputs.height, 100 * 20);
    std::string options = "<select name=s>";
    for (int i = 0; i < 100000; ++i) options += "<option>x";
    options += "</select>after";
    FormDoc select(options);
    EXPECT_EQ(select.As<TSelectControl>(0).Options.size(),
              std::size_t(TSelectControl::kMaxOptions));
    EXPECT_NE(select.AllText().find("after"), std::string::npos);
    FormDoc nested("<form><form><input name=a></form><input name=b></form><input name=c>");
    // The inner form ends with the first end tag; the outer one goes on until the second.
    EXPECT_NE(nested.Control(0).Form, nested.Control(1).Form);
    EXPECT_NE(nested.Control(2).Form, nested.Control(1).Form);
    EXPECT_EQ(nested.doc.Forms.size(), 3u);
    nested.doc.Clear();
    EXPECT_TRUE(nested.doc.Forms.empty());
    EXPECT_TRUE(nested.doc.FormControlList.empty());
}

}  // namespace
}  // namespace kv
