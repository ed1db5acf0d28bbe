// The main window's title strip, hiding into the tray (or the task bar where the desktop has no
// notification area) and coming back, and the contents-window check boxes.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>

#include "app/startup.h"
#include "tests/app/installation.h"

namespace {

struct Shell {
    kvtest::Installation setup;
    kvtest::MessageRecorder boxes;
    std::unique_ptr<kv::TWindowSet> windows;

    explicit Shell(bool trayArea) {
        setup.Article("Яблоко", "<a name=\"Сорта\">x");
        windows = kv::CreateWindowSet(setup.Folders());
        Main().Tray->SetAreaProbe([trayArea] { return trayArea; });
        kv::ShowMainWindow(*windows);
        QCoreApplication::processEvents();
    }
    kv::TForm1& Main() { return *windows->Form1; }
    kv::TForm3& Contents() { return *windows->Form3; }
    kv::TForm4& Search() { return *windows->Form4; }
    // Every window shown, both boxes checked: the state hiding starts from.
    void ShowEverything() {
        Main().CheckBox1->click();
        Main().CheckBox2->click();
        Main().ButtonLayer2Click();
        ASSERT_TRUE(Contents().isVisible());
        ASSERT_TRUE(Search().isVisible());
    }
    bool OnlyMainHidden() {
        return !Main().isVisible() && !Contents().isVisible() && !Search().isVisible() &&
               !windows->Form2->isVisible();
    }
};

// Records hide events and check-box changes in the order they happen.
class Order : public QObject {
public:
    std::vector<std::string> seen;
    void Watch(QWidget* window, std::string name) {
        names_[window] = std::move(name);
        window->installEventFilter(this);
    }
    void Watch(QCheckBox* box, const std::string& name) {
        QObject::connect(box, &QCheckBox::toggled, [this, name](bool on) {
            if (!on) seen.push_back(name + " unchecked");
        });
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Hide) seen.push_back(names_[watched] + " hidden");
        return false;
    }

private:
    std::map<QObject*, std::string> names_;
};

}  // namespace

TEST(TitleStrip, MasksSplitTheOverlappingButtons) {
    Shell shell(true);
    kv::TForm1& main = shell.Main();
    kv::TImageLayer& strip = *main.ImageLayer2;
    // Over each caption, the button that carries it.
    EXPECT_EQ(strip.ChildLayerAt({235, 16}), main.ButtonLayer1);
    EXPECT_EQ(strip.ChildLayerAt({337, 16}), main.ButtonLayer2);
    EXPECT_EQ(strip.ChildLayerAt({420, 16}), main.ButtonLayer3);
    EXPECT_EQ(strip.ChildLayerAt({523, 16}), main.ButtonLayer4);
    // Where two overlap, each point goes to one of them, never to the wrong side's button.
    for (int x = 291; x < 310; ++x) {
        kv::TLayer* owner = strip.ChildLayerAt({x, 16});
        EXPECT_TRUE(owner == nullptr || owner == (x < 300 ? main.ButtonLayer1 : main.ButtonLayer2))
            << x;
    }
    for (int x = 456; x < 476; ++x) {
        kv::TLayer* owner = strip.ChildLayerAt({x, 16});
        EXPECT_TRUE(owner == nullptr || owner == (x < 466 ? main.ButtonLayer3 : main.ButtonLayer4))
            << x;
    }
    // The program's name and the hidden fifth button answer nothing.
    EXPECT_EQ(strip.ChildLayerAt({60, 16}), nullptr);
    EXPECT_EQ(strip.ChildLayerAt({650, 16}), nullptr);
    for (kv::TButtonLayer* b :
         {main.ButtonLayer1, main.ButtonLayer2, main.ButtonLayer3, main.ButtonLayer4}) {
        EXPECT_EQ(b->Strength(), 0);  // invisible until the pointer enters
        EXPECT_EQ(b->Mask().Width(), b->width());
        EXPECT_EQ(b->Glyph().Width(), b->width());
        EXPECT_EQ(b->Color(), kv::kNoColor);
    }
    EXPECT_EQ(main.ButtonLayer1->geometry(), QRect(171, 0, 139, 32));
    EXPECT_EQ(main.ButtonLayer5->geometry(), QRect(572, 0, 141, 32));
}

TEST(TitleStrip, ALitButtonShowsItsGlyphOverTheStrip) {
    Shell shell(true);
    kv::TForm1& main = shell.Main();
    kv::TRGBChannel dark, lit;
    main.ButtonLayer2->PaintToBuffer(dark);
    main.ButtonLayer2->MouseEnter();
    EXPECT_EQ(main.ButtonLayer2->Strength(), 255);
    main.ButtonLayer2->PaintToBuffer(lit);
    // Unlit, the button shows exactly the strip beneath it.
    const QImage strip = main.ImageLayer2->Image().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(dark.Pixel(40, 16),
              kv::RGBColor(qRed(strip.pixel(331, 16)), qGreen(strip.pixel(331, 16)),
                           qBlue(strip.pixel(331, 16))));
    EXPECT_NE(lit.Pixel(40, 16), dark.Pixel(40, 16));
    EXPECT_EQ(lit.Pixel(1, 1), dark.Pixel(1, 1));  // outside its tab
}

TEST(HideIntoTray, ClosesWindowsUnchecksBoxesThenHidesInThatOrder) {
    Shell shell(true);
    shell.ShowEverything();
    Order order;
    order.Watch(&shell.Contents(), "contents");
    order.Watch(&shell.Search(), "search");
    order.Watch(&shell.Main(), "main");
    order.Watch(shell.Main().CheckBox1, "box1");
    order.Watch(shell.Main().CheckBox2, "box2");
    shell.Main().Image2Click();
    EXPECT_EQ(order.seen,
              (std::vector<std::string>{"contents hidden", "search hidden", "box1 unchecked",
                                        "box2 unchecked", "main hidden"}));
    EXPECT_TRUE(shell.OnlyMainHidden());
    EXPECT_TRUE(shell.Main().Tray->InArea());
    EXPECT_EQ(shell.Main().Tray->Tip(), "Кварнеля");

    // A click on the icon brings the window back as it was, boxes unchecked, others hidden.
    shell.Main().Tray->HandleCallback(kv::TTrayMessage::tmLeftDown);
    shell.Main().Tray->HandleCallback(kv::TTrayMessage::tmLeftUp);
    EXPECT_TRUE(shell.Main().isVisible());
    EXPECT_FALSE(shell.Main().CheckBox1->isChecked());
    EXPECT_FALSE(shell.Main().CheckBox2->isChecked());
    EXPECT_FALSE(shell.Contents().isVisible());
    // Clicking the icon again while the window is shown leaves it shown.
    shell.Main().TrayClick();
    EXPECT_TRUE(shell.Main().isVisible());
    EXPECT_FALSE(shell.windows->Form2->isVisible());
}

TEST(HideIntoTray, WithoutNotificationAreaTheWindowGoesToTheTaskBarAndComesBack) {
    Shell shell(false);
    shell.ShowEverything();
    shell.Main().Image2Click();
    // Still there to be got back: minimized, not hidden; the other windows are hidden.
    EXPECT_TRUE(shell.Main().isVisible());
    EXPECT_TRUE(shell.Main().isMinimized());
    EXPECT_FALSE(shell.Contents().isVisible());
    EXPECT_FALSE(shell.Search().isVisible());
    EXPECT_FALSE(shell.Main().CheckBox1->isChecked());
    // Restored from the task bar: the window is back, as a click on the icon would bring it.
    shell.Main().showNormal();
    QCoreApplication::processEvents();
    EXPECT_FALSE(shell.Main().isMinimized());
    EXPECT_TRUE(shell.Main().isVisible());
    // And it can be hidden again.
    shell.Main().Image2Click();
    EXPECT_TRUE(shell.Main().isMinimized());
}

// The notification area started after the reader: the minimise mark still hides into the icon.
TEST(HideIntoTray, AnAreaThatStartsLaterGetsTheIcon) {
    kvtest::Installation setup;
    kvtest::MessageRecorder boxes;
    auto windows = kv::CreateWindowSet(setup.Folders());
    kv::TForm1& main = *windows->Form1;
    bool area = false;
    main.Tray->SetAreaProbe([&area] { return area; });
    main.Tray->Loaded();  // added while there was no area
    kv::ShowMainWindow(*windows);
    area = true;
    main.Image2Click();
    EXPECT_TRUE(main.Tray->IconShown());
    EXPECT_FALSE(main.isVisible());
    main.Tray->HandleCallback(kv::TTrayMessage::tmLeftDown);
    main.Tray->HandleCallback(kv::TTrayMessage::tmLeftUp);
    EXPECT_TRUE(main.isVisible());
    EXPECT_FALSE(main.isMinimized());
}

// Started minimized: hidden into the icon, or, with no area to hold one, in the task bar.
TEST(HideIntoTray, StartMinimizedKeepsTheMainWindowFromShowing) {
    for (bool area : {true, false}) {
        kvtest::Installation setup;
        kvtest::MessageRecorder boxes;
        auto windows = kv::CreateWindowSet(setup.Folders());
        kv::TForm1& main = *windows->Form1;
        main.Tray->SetAreaProbe([area] { return area; });
        main.Tray->StartMinimized = true;
        main.Tray->Loaded();
        kv::ShowMainWindow(*windows);
        QCoreApplication::processEvents();
        EXPECT_EQ(main.isVisible(), !area) << area;
        EXPECT_EQ(main.isMinimized(), !area) << area;
        main.Tray->HandleCallback(kv::TTrayMessage::tmLeftDown);
        main.Tray->HandleCallback(kv::TTrayMessage::tmLeftUp);
        EXPECT_TRUE(main.isVisible()) << area;
    }
}

TEST(ContentsToggle, BoxesAreIndependentAndReplaceTheWindow) {
    Shell shell(true);
    kv::TForm1& main = shell.Main();
    main.CheckBox1->click();
    ASSERT_TRUE(shell.Contents().isVisible());
    shell.Contents().move(10, 10);
    main.CheckBox2->click();  // checking the other box while shown moves it back
    EXPECT_EQ(shell.Contents().pos(), main.pos() + QPoint(450, 260));
    EXPECT_TRUE(main.CheckBox1->isChecked());
    main.CheckBox2->click();  // unchecking one hides the window; the other box stays checked
    EXPECT_FALSE(shell.Contents().isVisible());
    EXPECT_TRUE(main.CheckBox1->isChecked());
    main.CheckBox1->click();  // unchecks with no visible change
    EXPECT_FALSE(shell.Contents().isVisible());
    EXPECT_FALSE(main.CheckBox1->isChecked());
}

TEST(Keyboard, EscapeClosesTheContentsAndTheSearchWindows) {
    Shell shell(true);
    shell.ShowEverything();
    for (QWidget* window :
         {static_cast<QWidget*>(&shell.Contents()), static_cast<QWidget*>(&shell.Search())}) {
        // From the window's phrase box, as the key comes when the window is in use.
        QWidget* target = window->focusWidget() ? window->focusWidget() : window;
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(target, &escape);
        EXPECT_FALSE(window->isVisible()) << window->objectName().toStdString();
    }
    EXPECT_TRUE(shell.Main().isVisible());
}
