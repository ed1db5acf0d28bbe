#include "tray/trayicon.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>
#include <QWindowStateChangeEvent>
#include <algorithm>

#include "platform/codec.h"

namespace kv {

TTrayIcon::TTrayIcon(QWidget* owner)
    : QObject(owner),
      owner_(owner),
      areaProbe_([] { return QSystemTrayIcon::isSystemTrayAvailable(); }) {
    cycleTimer_.setInterval(0);
    connect(&cycleTimer_, &QTimer::timeout, this, &TTrayIcon::CycleTick);
    if (owner_) owner_->installEventFilter(this);
}

TTrayIcon::~TTrayIcon() {
    Notify(TNotifyCode::nimDelete);
    if (owner_) owner_->removeEventFilter(this);
}

void TTrayIcon::Loaded() {
    if (StartMinimized) {
        HideMainForm();
        showMainFormAtStart_ = false;
    }
    ModifyIcon();
    if (iconVisible_)
        ShowIcon();
    else
        HideIcon();
}

void TTrayIcon::SetDesignPreview(bool on) {
    designPreview_ = on;
}

void TTrayIcon::SetIconList(const TImageList* list) {
    if (iconList_) disconnect(iconList_, &QObject::destroyed, this, nullptr);
    iconList_ = list;
    if (list) {
        connect(list, &QObject::destroyed, this, [this] {
            iconList_ = nullptr;
            SetIconIndex(0);
        });
    }
    SetIconIndex(0);
}

void TTrayIcon::SetCycleIcons(bool on) {
    cycleIcons_ = on;
    if (on) SetIconIndex(0);
    UpdateCycleTimer();
}

void TTrayIcon::SetCycleInterval(std::uint32_t ms) {
    cycleInterval_ = ms;
    cycleTimer_.setInterval(static_cast<int>(std::min<std::uint32_t>(ms, INT32_MAX)));
    UpdateCycleTimer();
}

// A zero interval leaves the timer idle: it would tick without pause.
void TTrayIcon::UpdateCycleTimer() {
    if (cycleIcons_ && cycleInterval_ > 0)
        cycleTimer_.start();
    else
        cycleTimer_.stop();
}

void TTrayIcon::SetHint(const std::string& hint) {
    hint_ = hint;
    ModifyIcon();
}

void TTrayIcon::SetShowHint(bool on) {
    showHint_ = on;
    ModifyIcon();
}

void TTrayIcon::SetIcon(const QIcon& icon) {
    icon_ = icon;
    ModifyIcon();
}

void TTrayIcon::SetIconVisible(bool visible) {
    if (visible)
        ShowIcon();
    else
        HideIcon();
}

void TTrayIcon::SetIconIndex(int index) {
    if (iconList_ && !iconList_->Icons.empty()) {
        const int count = static_cast<int>(iconList_->Icons.size());
        iconIndex_ = std::clamp(index, 0, count - 1);
        icon_ = iconList_->Icons[static_cast<std::size_t>(iconIndex_)];
    } else {
        iconIndex_ = 0;
    }
    ModifyIcon();
}

void TTrayIcon::SetPopupMenu(QMenu* menu) {
    if (popupMenu_) disconnect(popupMenu_, &QObject::destroyed, this, nullptr);
    popupMenu_ = menu;
    // A menu that goes away clears the property.
    if (menu) connect(menu, &QObject::destroyed, this, [this] { popupMenu_ = nullptr; });
}

void TTrayIcon::PrepareRecord() {
    record_.hIcon = icon_;
    record_.szTip.fill(0);
    if (!hint_.empty() && showHint_) {
        const std::size_t length = std::min<std::size_t>(hint_.size(), record_.szTip.size() - 1);
        std::copy_n(hint_.begin(), length, record_.szTip.begin());
    }
}

void TTrayIcon::Notify(TNotifyCode code) {
    PrepareRecord();
    if (code == TNotifyCode::nimDelete) {
        inArea_ = false;
        if (platformIcon_) platformIcon_->hide();
        return;
    }
    if (code == TNotifyCode::nimModify && !inArea_) return;
    inArea_ = true;
    if (!AreaAvailable()) return;  // nothing shows it; hiding falls back to the task bar
    if (!platformIcon_) {
        platformIcon_ = std::make_unique<QSystemTrayIcon>();
        connect(platformIcon_.get(), &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    switch (reason) {
                    case QSystemTrayIcon::Trigger:
                        HandleCallback(TTrayMessage::tmLeftDown);
                        HandleCallback(TTrayMessage::tmLeftUp);
                        break;
                    case QSystemTrayIcon::DoubleClick:
                        HandleCallback(TTrayMessage::tmLeftDoubleClick);
                        break;
                    case QSystemTrayIcon::Context:
                        HandleCallback(TTrayMessage::tmRightDown);
                        HandleCallback(TTrayMessage::tmRightUp);
                        break;
                    case QSystemTrayIcon::MiddleClick:
                        HandleCallback(TTrayMessage::tmMiddleDown);
                        HandleCallback(TTrayMessage::tmMiddleUp);
                        break;
                    default: break;
                    }
                });
    }
    platformIcon_->setIcon(record_.hIcon);
    platformIcon_->setToolTip(text::toQString(Tip()));
    if (code == TNotifyCode::nimAdd) platformIcon_->show();
}

void TTrayIcon::ShowIcon() {
    iconVisible_ = true;
    Notify(TNotifyCode::nimAdd);
}

void TTrayIcon::HideIcon() {
    iconVisible_ = false;
    Notify(TNotifyCode::nimDelete);
}

void TTrayIcon::ModifyIcon() {
    Notify(TNotifyCode::nimModify);
}

void TTrayIcon::HandleCallback(TTrayMessage message) {
    if (!Enabled) return;
    const Qt::KeyboardModifiers shift = QGuiApplication::queryKeyboardModifiers() &
                                        (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier);
    const QPoint at = QCursor::pos();
    switch (message) {
    case TTrayMessage::tmMouseMove: MouseMove(shift, at); break;
    case TTrayMessage::tmLeftDown:
        MouseDown(TTrayButton::tbLeft, shift, at);
        clickPending_ = true;
        if (LeftPopup) PopupAtCursor();
        break;
    case TTrayMessage::tmLeftUp:
        if (clickPending_) {
            clickPending_ = false;
            Click();
        }
        MouseUp(TTrayButton::tbLeft, shift, at);
        break;
    case TTrayMessage::tmLeftDoubleClick:
        DblClick();
        if (popupMenu_ && !LeftPopup) RunDefaultItem();
        break;
    case TTrayMessage::tmRightDown:
        MouseDown(TTrayButton::tbRight, shift, at);
        PopupAtCursor();
        break;
    case TTrayMessage::tmRightUp: MouseUp(TTrayButton::tbRight, shift, at); break;
    case TTrayMessage::tmMiddleDown: MouseDown(TTrayButton::tbMiddle, shift, at); break;
    case TTrayMessage::tmMiddleUp: MouseUp(TTrayButton::tbMiddle, shift, at); break;
    case TTrayMessage::tmOther: break;
    }
}

void TTrayIcon::RunDefaultItem() {
    if (QAction* item = popupMenu_->defaultAction()) item->trigger();
}

void TTrayIcon::PopupAtCursor() {
    if (!popupMenu_) return;
    QCoreApplication::processEvents();
    if (owner_ && owner_->isVisible()) owner_->activateWindow();
    popupMenu_->popup(QCursor::pos());
}

void TTrayIcon::CycleTick() {
    if (!iconList_ || iconList_->Icons.empty()) return;
    const int count = static_cast<int>(iconList_->Icons.size());
    icon_ = iconList_->Icons[static_cast<std::size_t>(std::clamp(iconIndex_, 0, count - 1))];
    Cycle(iconIndex_ < count ? iconIndex_ + 1 : 0);
    ModifyIcon();
    iconIndex_ = iconIndex_ + 1 < count ? iconIndex_ + 1 : 0;
}

void TTrayIcon::ShowMainForm() {
    if (!owner_) return;
    if (owner_->isMinimized()) owner_->showNormal();
    owner_->show();
    owner_->raise();
    owner_->activateWindow();
}

void TTrayIcon::HideMainForm() {
    if (owner_) owner_->hide();
}

bool TTrayIcon::IconShown() const {
    return inArea_ && platformIcon_ && platformIcon_->isVisible() && AreaAvailable();
}

bool TTrayIcon::HideIntoTray() {
    if (!IconShown()) {
        // Added while the desktop had no notification area, or removed: add it anew.
        if (platformIcon_) platformIcon_->hide();
        ShowIcon();
    }
    if (!IconShown()) return false;
    HideMainForm();
    return true;
}

void TTrayIcon::DoMinimizeToTray() {
    HideMainForm();
    ShowIcon();
}

bool TTrayIcon::eventFilter(QObject* watched, QEvent* event) {
    if (watched == owner_ && event->type() == QEvent::WindowStateChange && MinimizeToTray &&
        owner_->isMinimized()) {
        // Hidden after the state change is done, so that restoring starts from a plain window.
        QTimer::singleShot(0, this, [this] {
            if (owner_->isMinimized())
                owner_->setWindowState(owner_->windowState() & ~Qt::WindowMinimized);
            DoMinimizeToTray();
        });
    }
    return QObject::eventFilter(watched, event);
}

void TTrayIcon::Click() {
    if (OnClick) OnClick();
}
void TTrayIcon::DblClick() {
    if (OnDblClick) OnDblClick();
}
void TTrayIcon::Cycle(int nextIndex) {
    if (OnCycle) OnCycle(nextIndex);
}
void TTrayIcon::MouseDown(TTrayButton button, Qt::KeyboardModifiers shift, QPoint at) {
    if (OnMouseDown) OnMouseDown(button, shift, at);
}
void TTrayIcon::MouseUp(TTrayButton button, Qt::KeyboardModifiers shift, QPoint at) {
    if (OnMouseUp) OnMouseUp(button, shift, at);
}
void TTrayIcon::MouseMove(Qt::KeyboardModifiers shift, QPoint at) {
    if (OnMouseMove) OnMouseMove(shift, at);
}

}  // namespace kv
