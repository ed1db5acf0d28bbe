// Live widgets of form controls: made for the controls a paint placed, put where they were
// painted, hidden when scrolled away, and kept in step with the control objects both ways.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include "html/layout/builder.h"
#include "html/viewer/formwidgets.h"
#include "platform/codec.h"
#include "tests/common/testhost.h"
#include "tests/common/testutil.h"

namespace kv {
namespace {

struct Page : ::testing::Test {
    QWidget panel;
    TSectionList doc{TTestFontEngine::Shared()};
    TRecordingCanvas canvas;
    TFormWidgets widgets{&panel};

    void Load(const std::string& html) {
        doc.SetViewImages(false);
        THtmlBuilder builder(doc);
        builder.LoadHtmlText(html);
        int maxWidth = 0;
        doc.DoLayout(canvas, 600, 400, maxWidth);
        widgets.Attach(&doc);
        panel.resize(600, 400);
    }
    void Paint() {
        doc.Paint(canvas, QRect(0, 0, 600, 400), 0, 0);
        widgets.Update();
    }
    TFormControlObj& Control(std::size_t i) { return *doc.FormControlList.at(i); }
    template <class W>
    W* Widget(std::size_t i) {
        return dynamic_cast<W*>(widgets.WidgetOf(Control(i)));
    }
};

TEST_F(Page, WidgetsStandWhereTheControlsWerePainted) {
    std::string html =
        "<form><input name=a value=one> <input type=hidden name=h>"
        "<input type=checkbox name=c><select name=s><option>x<option>y</select>";
    for (int i = 0; i < 100; ++i) html += "<br>";
    Load(html + "<input name=low></form>");
    Paint();
    // The hidden field has no widget, and the control below the painted strip none yet.
    EXPECT_EQ(widgets.Count(), 3);
    EXPECT_EQ(widgets.WidgetOf(Control(1)), nullptr);
    EXPECT_EQ(widgets.WidgetOf(Control(4)), nullptr);
    auto* edit = Widget<QLineEdit>(0);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->parentWidget(), &panel);
    EXPECT_EQ(edit->geometry(),
              QRect(Control(0).Left, Control(0).PaintedY, Control(0).Width, Control(0).Height));
    EXPECT_FALSE(edit->isHidden());
    // Scrolled down: the upper widgets hide, the low control gets its widget.
    doc.SetScrollTop(Control(4).Top - 100);
    Paint();
    EXPECT_TRUE(edit->isHidden());
    auto* low = Widget<QLineEdit>(4);
    ASSERT_NE(low, nullptr);
    EXPECT_EQ(low->y(), 100);
    EXPECT_FALSE(low->isHidden());
}

TEST_F(Page, ValuesTravelBothWays) {
    Load(
        "<form><input name=a value=one><input type=radio name=r value=1 checked>"
        "<input type=radio name=r value=2><input type=checkbox name=c>"
        "<select name=s><option>x<option selected>y<option>z</select>"
        "<select name=m multiple><option>p<option>q</select>"
        "<textarea name=t>first\nsecond</textarea><input type=reset></form>");
    Paint();
    ASSERT_EQ(widgets.Count(), 8);
    auto* edit = Widget<QLineEdit>(0);
    auto* first = Widget<QRadioButton>(1);
    auto* second = Widget<QRadioButton>(2);
    auto* check = Widget<QCheckBox>(3);
    auto* combo = Widget<QComboBox>(4);
    auto* list = Widget<QListWidget>(5);
    auto* text = Widget<QPlainTextEdit>(6);
    auto* reset = Widget<QPushButton>(7);
    ASSERT_TRUE(edit && first && second && check && combo && list && text && reset);
    // The document's values reach the widgets.
    EXPECT_EQ(edit->text(), "one");
    EXPECT_TRUE(first->isChecked());
    EXPECT_EQ(combo->currentIndex(), 1);
    EXPECT_EQ(text->toPlainText(), "first\nsecond");
    // What the user does reaches the document.
    edit->setText(text::toQString("два"));
    second->click();
    check->setChecked(true);
    combo->setCurrentIndex(2);
    list->item(1)->setSelected(true);
    text->setPlainText("new");
    ThtmlForm& form = *doc.Forms.at(0);
    EXPECT_EQ(form.Results(),
              (std::vector<std::string>{"a=два", "r=2", "c=on", "s=z", "m=q", "t=new"}));
    EXPECT_FALSE(first->isChecked());  // the form keeps one radio button of a group checked
    second->click();                   // clicking the checked one leaves it checked
    EXPECT_TRUE(second->isChecked());
    // A reset goes back into the widgets.
    reset->click();
    EXPECT_EQ(edit->text(), "one");
    EXPECT_TRUE(first->isChecked());
    EXPECT_FALSE(second->isChecked());
    EXPECT_FALSE(check->isChecked());
    EXPECT_EQ(combo->currentIndex(), 1);
    EXPECT_FALSE(list->item(1)->isSelected());
    EXPECT_EQ(text->toPlainText(), "first\nsecond");
}

TEST_F(Page, SubmitButtonSendsTheForm) {
    Load("<form action=go.htm><input name=a value=1><input type=submit name=s value=Go></form>");
    std::vector<std::string> sent;
    kvtest::TestHost host;
    doc.SetHost(&host);
    host.OnFormSubmit = [&](auto&, auto&, auto&, auto&, const std::vector<std::string>& r) {
        sent = r;
    };
    Paint();
    auto* button = Widget<QPushButton>(1);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "Go");
    button->click();
    EXPECT_EQ(sent, (std::vector<std::string>{"a=1", "s=Go"}));
}

TEST_F(Page, ClearingTheDocumentDropsTheWidgets) {
    Load("<input name=a><input name=b>");
    Paint();
    EXPECT_EQ(widgets.Count(), 2);
    QPointer<QWidget> edit = widgets.WidgetOf(Control(0));
    doc.Clear();
    EXPECT_EQ(widgets.Count(), 0);
    EXPECT_TRUE(edit.isNull());
    // The next document gets widgets of its own.
    THtmlBuilder builder(doc);
    builder.LoadHtmlText("<input name=c>");
    int maxWidth = 0;
    doc.DoLayout(canvas, 600, 400, maxWidth);
    Paint();
    EXPECT_EQ(widgets.Count(), 1);
}

}  // namespace
}  // namespace kv
