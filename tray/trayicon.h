#pragma once
// The notification-area icon: an icon with a hint, mouse actions turned into events, a popup
// menu, icon cycling, and hiding and restoring the owner window. The component's own rules live
// here; the platform's icon (QSystemTrayIcon) only shows them, and tests feed the callback
// messages in directly.

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace kv {

// The mouse messages the icon's callback carries.
enum class TTrayMessage {
    tmMouseMove,
    tmLeftDown,
    tmLeftUp,
    tmLeftDoubleClick,
    tmRightDown,
    tmRightUp,
    tmMiddleDown,
    tmMiddleUp,
    tmOther,
};

enum class TTrayButton { tbLeft, tbRight, tbMiddle };

// The platform's notification record, first version: what each add, modify and delete hands
// over.
struct TNotifyIconData {
    std::uint32_t cbSize = 88;
    std::uint32_t uID = 1;
    std::uint32_t uFlags = 7;  // message, icon and tip
    std::uint32_t uCallbackMessage = 2048;
    QIcon hIcon;
    std::array<char, 64> szTip{};  // zero-terminated, Windows-1251
};

enum class TNotifyCode { nimAdd = 0, nimModify = 1, nimDelete = 2 };

// Icons for the tray to show by index. An object of its own, so that a tray naming it hears
// when it goes away.
class TImageList : public QObject {
    Q_OBJECT
public:
    explicit TImageList(std::vector<QIcon> icons = {}, QObject* parent = nullptr)
        : QObject(parent), Icons(std::move(icons)) {}
    std::vector<QIcon> Icons;
};

class TTrayIcon : public QObject {
    Q_OBJECT
public:
    // `owner` is the window the component hides and restores (not owned).
    explicit TTrayIcon(QWidget* owner);
    ~TTrayIcon() override;

    // After the owner's properties are set: start minimized if asked, then show the icon.
    void Loaded();
    // False once Loaded has hidden the owner for StartMinimized: the program must not show it.
    bool ShowMainFormAtStart() const { return showMainFormAtStart_; }

    bool DesignPreview() const { return designPreview_; }
    void SetDesignPreview(bool on);
    const TImageList* IconList() const { return iconList_; }
    void SetIconList(const TImageList* list);  // not owned; a list that goes away clears it
    bool CycleIcons() const { return cycleIcons_; }
    void SetCycleIcons(bool on);
    std::uint32_t CycleInterval() const { return cycleInterval_; }
    void SetCycleInterval(std::uint32_t ms);
    bool Enabled = true;
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& hint);  // Windows-1251
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool on);
    const QIcon& Icon() const { return icon_; }
    void SetIcon(const QIcon& icon);
    bool IconVisible() const { return iconVisible_; }
    void SetIconVisible(bool visible);
    int IconIndex() const { return iconIndex_; }
    void SetIconIndex(int index);
    QMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(QMenu* menu);  // not owned
    bool LeftPopup = false;
    bool StartMinimized = false;
    bool MinimizeToTray = false;

    std::function<void()> OnClick;
    std::function<void()> OnDblClick;
    std::function<void(TTrayButton, Qt::KeyboardModifiers, QPoint)> OnMouseDown;
    std::function<void(TTrayButton, Qt::KeyboardModifiers, QPoint)> OnMouseUp;
    std::function<void(Qt::KeyboardModifiers, QPoint)> OnMouseMove;
    std::function<void(int nextIndex)> OnCycle;

    virtual void ShowIcon();
    virtual void HideIcon();
    virtual void ModifyIcon();
    // Restores the owner window and makes it visible; hides it again.
    void ShowMainForm();
    void HideMainForm();
    // Hides the owner into the icon, (re)adding the icon first when the desktop has a
    // notification area now (one may have started after the icon was added). Returns false, and
    // leaves the owner as it was, when no icon shows: hidden then, the program would be lost.
    bool HideIntoTray();
    void PopupAtCursor();
    // Whether the desktop has a notification area (the probe may be replaced, for tests).
    bool AreaAvailable() const { return areaProbe_(); }
    void SetAreaProbe(std::function<bool()> probe) { areaProbe_ = std::move(probe); }

    // One callback message from the icon, as the platform delivers it.
    void HandleCallback(TTrayMessage message);
    // One step of the cycle timer.
    void CycleTick();

    const TNotifyIconData& Record() const { return record_; }
    // The tip the icon shows: the hint cut to 63 characters, empty without ShowHint.
    std::string Tip() const { return std::string(record_.szTip.data()); }
    // Whether the icon is added (as far as the component knows).
    bool InArea() const { return inArea_; }
    // Whether the platform shows the icon now: added, and a notification area there to hold it.
    bool IconShown() const;
    bool ClickPending() const { return clickPending_; }
    QTimer& CycleTimer() { return cycleTimer_; }

protected:
    virtual void Click();
    virtual void DblClick();
    virtual void Cycle(int nextIndex);
    virtual void MouseDown(TTrayButton button, Qt::KeyboardModifiers shift, QPoint at);
    virtual void MouseUp(TTrayButton button, Qt::KeyboardModifiers shift, QPoint at);
    virtual void MouseMove(Qt::KeyboardModifiers shift, QPoint at);
    virtual void DoMinimizeToTray();
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PrepareRecord();
    void Notify(TNotifyCode code);
    void RunDefaultItem();
    void UpdateCycleTimer();

    QWidget* owner_;  // not owned
    TNotifyIconData record_;
    std::unique_ptr<QSystemTrayIcon> platformIcon_;
    QTimer cycleTimer_;
    std::function<bool()> areaProbe_;
    bool designPreview_ = false;
    const TImageList* iconList_ = nullptr;
    bool cycleIcons_ = false;
    std::uint32_t cycleInterval_ = 0;
    std::string hint_;
    bool showHint_ = true;
    QIcon icon_;
    bool iconVisible_ = true;
    int iconIndex_ = 0;
    QMenu* popupMenu_ = nullptr;
    bool clickPending_ = false;
    bool inArea_ = false;
    bool showMainFormAtStart_ = true;
};

}  // namespace kv
