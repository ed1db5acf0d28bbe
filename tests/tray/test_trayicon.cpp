// The tray icon's own rules, driven by feeding it the icon's callback messages.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QWidget>

#include "tray/trayicon.h"

using kv::TTrayIcon;
using kv::TTrayMessage;

namespace {

struct Tray {
    QWidget owner;
    TTrayIcon* tray = new TTrayIcon(&owner);
    int clicks = 0, doubles = 0, downs = 0, ups = 0, moves = 0;
    std::vector<int> cycles;

    Tray() {
        tray->SetAreaProbe([] { return false; });  // no real icon in the tests
        tray->OnClick = [this] { ++clicks; };
        tray->OnDblClick = [this] { ++doubles; };
        tray->OnMouseDown = [this](kv::TTrayButton, Qt::KeyboardModifiers, QPoint) { ++downs; };
        tray->OnMouseUp = [this](kv::TTrayButton, Qt::KeyboardModifiers, QPoint) { ++ups; };
        tray->OnMouseMove = [this](Qt::KeyboardModifiers, QPoint) { ++moves; };
        tray->OnCycle = [this](int next) { cycles.push_back(next); };
    }
    void Feed(std::initializer_list<TTrayMessage> messages) {
        for (TTrayMessage m : messages) tray->HandleCallback(m);
    }
};

QIcon Coloured(QColor color) {
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

}  // namespace

TEST(TrayTip, HintIsCutTo63CharactersAndNeedsShowHint) {
    Tray t;
    t.tray->Loaded();
    t.tray->SetHint(std::string(70, 'x'));
    EXPECT_EQ(t.tray->Tip(), std::string(63, 'x'));
    t.tray->SetHint(std::string(63, 'y'));
    EXPECT_EQ(t.tray->Tip(), std::string(63, 'y'));
    t.tray->SetHint("\xCA\xE2\xE0\xF0\xED\xE5\xEB\xFF");  // "Кварнеля"
    EXPECT_EQ(t.tray->Tip(), "\xCA\xE2\xE0\xF0\xED\xE5\xEB\xFF");
    t.tray->SetShowHint(false);
    EXPECT_EQ(t.tray->Tip(), "");
    // The record is the platform's published first version.
    EXPECT_EQ(t.tray->Record().cbSize, 88u);
    EXPECT_EQ(t.tray->Record().uFlags, 7u);
    EXPECT_EQ(t.tray->Record().uCallbackMessage, 2048u);
}

TEST(TrayClicks, ExactlyOneClickPerPressAndRelease) {
    Tray t;
    t.Feed({TTrayMessage::tmLeftDown});
    EXPECT_TRUE(t.tray->ClickPending());
    EXPECT_EQ(t.clicks, 0);  // released elsewhere: no left-up reaches the icon
    t.Feed({TTrayMessage::tmLeftUp});
    EXPECT_EQ(t.clicks, 1);
    t.Feed({TTrayMessage::tmLeftUp});  // a release without a press
    EXPECT_EQ(t.clicks, 1);
    EXPECT_EQ(t.downs, 1);
    EXPECT_EQ(t.ups, 2);
    t.Feed({TTrayMessage::tmMouseMove, TTrayMessage::tmMiddleDown, TTrayMessage::tmMiddleUp,
            TTrayMessage::tmOther});
    EXPECT_EQ(t.moves, 1);
    EXPECT_EQ(t.downs, 2);
    t.Feed({TTrayMessage::tmLeftDoubleClick});
    EXPECT_EQ(t.doubles, 1);
    EXPECT_EQ(t.clicks, 1);
}

TEST(TrayClicks, DisabledRaisesNothingAndPopsUpNoMenu) {
    Tray t;
    QMenu menu;
    menu.addAction(QStringLiteral("item"));
    t.tray->SetPopupMenu(&menu);
    t.tray->Enabled = false;
    t.Feed({TTrayMessage::tmLeftDown, TTrayMessage::tmLeftUp, TTrayMessage::tmRightDown,
            TTrayMessage::tmRightUp, TTrayMessage::tmMouseMove, TTrayMessage::tmLeftDoubleClick});
    EXPECT_EQ(t.clicks + t.doubles + t.downs + t.ups + t.moves, 0);
    EXPECT_FALSE(menu.isVisible());
    EXPECT_FALSE(t.tray->ClickPending());
    t.tray->Enabled = true;
    t.Feed({TTrayMessage::tmRightDown});
    EXPECT_TRUE(menu.isVisible());
    menu.hide();
}

TEST(TrayMenu, DoubleClickRunsTheDefaultItemAndLeftPopupShowsTheMenu) {
    Tray t;
    QMenu menu;
    int ran = 0;
    menu.addAction(QStringLiteral("first"));
    QAction* open = menu.addAction(QStringLiteral("open"));
    QObject::connect(open, &QAction::triggered, [&] { ++ran; });
    menu.setDefaultAction(open);
    t.tray->SetPopupMenu(&menu);
    t.Feed({TTrayMessage::tmLeftDoubleClick});
    EXPECT_EQ(ran, 1);
    t.tray->LeftPopup = true;
    t.Feed({TTrayMessage::tmLeftDoubleClick});
    EXPECT_EQ(ran, 1);  // with LeftPopup the press pops the menu instead
    t.Feed({TTrayMessage::tmLeftDown});
    EXPECT_TRUE(menu.isVisible());
    menu.hide();
    {
        QMenu gone;
        t.tray->SetPopupMenu(&gone);
    }
    EXPECT_EQ(t.tray->PopupMenu(), nullptr);  // a freed menu clears the property
    t.Feed({TTrayMessage::tmRightDown});
}

TEST(TrayIcons, IndexIsHeldToTheListAndCyclingSteps) {
    Tray t;
    const kv::TImageList list({Coloured(Qt::red), Coloured(Qt::green), Coloured(Qt::blue)});
    const std::vector<QIcon>& icons = list.Icons;
    t.tray->SetIconIndex(5);
    EXPECT_EQ(t.tray->IconIndex(), 0);  // no list
    t.tray->SetIconList(&list);
    t.tray->SetIconIndex(7);
    EXPECT_EQ(t.tray->IconIndex(), 2);  // beyond the count: the last icon
    EXPECT_EQ(t.tray->Icon().cacheKey(), icons[2].cacheKey());
    t.tray->SetIconIndex(1);
    t.tray->CycleTick();
    t.tray->CycleTick();
    t.tray->CycleTick();
    EXPECT_EQ(t.cycles, (std::vector<int>{2, 3, 1}));
    EXPECT_EQ(t.tray->IconIndex(), 1);  // wrapped round after the last
    EXPECT_EQ(t.tray->Icon().cacheKey(), icons[0].cacheKey());
    t.tray->SetCycleInterval(250);
    t.tray->SetCycleIcons(true);
    EXPECT_EQ(t.tray->IconIndex(), 0);
    EXPECT_TRUE(t.tray->CycleTimer().isActive());
    EXPECT_EQ(t.tray->CycleTimer().interval(), 250);
    t.tray->SetCycleIcons(false);
    EXPECT_FALSE(t.tray->CycleTimer().isActive());
}

TEST(TrayWindow, HideAndShowTheMainForm) {
    Tray t;
    t.owner.show();
    t.tray->Loaded();
    EXPECT_TRUE(t.tray->InArea());
    t.tray->HideMainForm();
    EXPECT_FALSE(t.owner.isVisible());
    t.tray->ShowMainForm();
    EXPECT_TRUE(t.owner.isVisible());
    t.tray->ShowMainForm();  // already visible: stays so
    EXPECT_TRUE(t.owner.isVisible());
    t.tray->SetIconVisible(false);
    EXPECT_FALSE(t.tray->InArea());
    EXPECT_FALSE(t.tray->IconVisible());
}

TEST(TrayWindow, StartMinimizedHidesTheOwnerAndMinimizeToTrayHidesIt) {
    Tray t;
    t.tray->StartMinimized = true;
    t.owner.show();
    t.tray->Loaded();
    EXPECT_FALSE(t.owner.isVisible());
    EXPECT_TRUE(t.tray->InArea());

    Tray m;
    m.tray->MinimizeToTray = true;
    m.owner.show();
    m.tray->SetIconVisible(false);
    m.owner.setWindowState(Qt::WindowMinimized);
    for (int i = 0; i < 5 && m.owner.isVisible(); ++i) QApplication::processEvents();
    EXPECT_FALSE(m.owner.isVisible());
    EXPECT_TRUE(m.tray->InArea());
}

TEST(TrayIcons, ZeroIntervalLeavesTheTimerIdleAndAFreedListClearsTheProperty) {
    Tray t;
    t.tray->SetCycleIcons(true);
    EXPECT_FALSE(t.tray->CycleTimer().isActive());  // at 0 ms it would spin
    t.tray->SetCycleInterval(1);
    EXPECT_TRUE(t.tray->CycleTimer().isActive());
    t.tray->SetCycleInterval(0);
    EXPECT_FALSE(t.tray->CycleTimer().isActive());
    {
        kv::TImageList gone({Coloured(Qt::red), Coloured(Qt::green)});
        t.tray->SetIconList(&gone);
        t.tray->SetIconIndex(1);
    }
    EXPECT_EQ(t.tray->IconList(), nullptr);
    EXPECT_EQ(t.tray->IconIndex(), 0);
    t.tray->CycleTick();  // nothing left to read
    t.tray->SetIconIndex(1);
    EXPECT_EQ(t.tray->IconIndex(), 0);
}

// A notification area that starts after the icon was added: hiding adds the icon anew and uses
// it; with no area (before, or after it went away) the owner is not hidden.
TEST(TrayWindow, HidesIntoAnAreaThatAppearedLaterAndNeverWithoutOne) {
    Tray t;
    bool area = false;
    t.tray->SetAreaProbe([&area] { return area; });
    t.tray->SetIcon(Coloured(Qt::red));
    t.owner.show();
    t.tray->Loaded();
    EXPECT_FALSE(t.tray->IconShown());
    EXPECT_FALSE(t.tray->HideIntoTray());
    EXPECT_TRUE(t.owner.isVisible());
    area = true;
    EXPECT_TRUE(t.tray->HideIntoTray());
    EXPECT_TRUE(t.tray->IconShown());
    EXPECT_FALSE(t.owner.isVisible());
    t.tray->ShowMainForm();
    area = false;
    EXPECT_FALSE(t.tray->HideIntoTray());
    EXPECT_TRUE(t.owner.isVisible());
    area = true;
    t.tray->SetIconVisible(false);  // removed: hiding puts it back
    EXPECT_TRUE(t.tray->HideIntoTray());
    EXPECT_TRUE(t.tray->IconShown());
}
