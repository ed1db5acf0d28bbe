#include "html/viewer/formwidgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include "platform/canvas.h"
#include "platform/codec.h"

namespace kv {

namespace {

QString Q(const std::string& text) {
    return text::toQString(text);
}
std::string W(const QString& text) {
    return text::fromQString(text);
}

// Tells the document when a control's widget receives the focus.
class TFocusWatch : public QObject {
public:
    TFocusWatch(QObject* parent, std::function<void()> onFocus)
        : QObject(parent), onFocus_(std::move(onFocus)) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::FocusIn) onFocus_();
        return false;
    }

private:
    std::function<void()> onFocus_;
};

}  // namespace

// One control's widget. Changes in the widget go into the control object; Refresh brings the
// object's values back into the widget (with its signals blocked, so nothing echoes).
class TFormWidgets::Window : public TControlWindow {
public:
    Window(TFormControlObj& control, QWidget* panel, TSectionList* document, const int& offsetX,
           const int& offsetY, int zoom)
        : control_(control), offsetX_(offsetX), offsetY_(offsetY), zoom_(zoom) {
        widget_ = Make(panel);
        widget_->setFont(Zoomed(TQtFontEngine::MakeQFont(control.Font)));
        auto* watch = new TFocusWatch(widget_, [this, document] {
            if (document) document->ControlEntered(control_);
        });
        widget_->installEventFilter(watch);
        for (QWidget* child : widget_->findChildren<QWidget*>()) child->installEventFilter(watch);
        Refresh();
        widget_->hide();
    }
    ~Window() override {
        control_.Window = nullptr;
        delete widget_.data();
    }

    void Place(int x, int y) override {
        if (!widget_) return;
        widget_->setGeometry(Zoomed(x + offsetX_), Zoomed(y + offsetY_),
                             std::max(1, Zoomed(control_.Width)),
                             std::max(1, Zoomed(control_.Height)));
        widget_->show();
    }
    void Hide() override {
        if (widget_) widget_->hide();
    }
    bool Focused() const override {
        const QWidget* focus = QApplication::focusWidget();
        return widget_ && focus && (focus == widget_ || widget_->isAncestorOf(focus));
    }
    void Refresh() override;

    QWidget* Widget() const { return widget_; }

private:
    int Zoomed(int length) const { return zoom_ == 100 ? length : length * zoom_ / 100; }
    QFont Zoomed(QFont font) const {
        if (zoom_ == 100) return font;
        if (font.pixelSize() > 0)
            font.setPixelSize(std::max(1, Zoomed(font.pixelSize())));
        else
            font.setPointSizeF(font.pointSizeF() * zoom_ / 100);
        return font;
    }
    QWidget* Make(QWidget* panel);
    QWidget* MakeEdit(QWidget* panel);
    QWidget* MakeList(QWidget* panel);

    TFormControlObj& control_;
    const int& offsetX_;
    const int& offsetY_;
    const int zoom_;
    QPointer<QWidget> widget_;
    QLineEdit* edit_ = nullptr;  // the text of an edit or file field
};

QWidget* TFormWidgets::Window::MakeEdit(QWidget* panel) {
    auto& field = dynamic_cast<TEditControl&>(control_);
    QWidget* outer = nullptr;
    edit_ = new QLineEdit;
    if (field.MaxLength > 0) edit_->setMaxLength(field.MaxLength);
    if (field.Kind == ckPassword) edit_->setEchoMode(QLineEdit::Password);
    QObject::connect(edit_, &QLineEdit::textChanged,
                     [this](const QString& text) { control_.Value = W(text); });
    if (field.Kind != ckFile) {
        edit_->setParent(panel);
        return edit_;
    }
    outer = new QWidget(panel);
    auto* row = new QHBoxLayout(outer);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    auto* browse = new QPushButton(Q("Обзор..."));
    row->addWidget(edit_, 1);
    row->addWidget(browse);
    QLineEdit* edit = edit_;
    QObject::connect(browse, &QPushButton::clicked, [edit] {
        const QString file = QFileDialog::getOpenFileName(edit);
        if (!file.isEmpty()) edit->setText(file);
    });
    return outer;
}

QWidget* TFormWidgets::Window::MakeList(QWidget* panel) {
    auto& select = dynamic_cast<TSelectControl&>(control_);
    if (select.Kind == ckComboBox) {
        auto* combo = new QComboBox(panel);
        for (const TOptionItem& item : select.Options) combo->addItem(Q(item.Text));
        QObject::connect(combo, &QComboBox::currentIndexChanged,
                         [&select](int index) { select.Select(index, true); });
        return combo;
    }
    auto* list = new QListWidget(panel);
    for (const TOptionItem& item : select.Options) list->addItem(Q(item.Text));
    list->setSelectionMode(select.Multiple ? QAbstractItemView::MultiSelection
                                           : QAbstractItemView::SingleSelection);
    QObject::connect(list, &QListWidget::itemSelectionChanged, [&select, list] {
        for (int i = 0; i < list->count() && i < int(select.Options.size()); ++i)
            select.Options[std::size_t(i)].Selected = list->item(i)->isSelected();
    });
    return list;
}

QWidget* TFormWidgets::Window::Make(QWidget* panel) {
    TFormControlObj& c = control_;
    switch (c.Kind) {
    case ckEdit:
    case ckPassword:
    case ckFile: return MakeEdit(panel);
    case ckCheckBox:
    case ckRadio: {
        auto& check = dynamic_cast<TCheckControl&>(c);
        QAbstractButton* button = c.Kind == ckRadio
                                      ? static_cast<QAbstractButton*>(new QRadioButton(panel))
                                      : new QCheckBox(panel);
        button->setAutoExclusive(false);  // the form keeps its radio groups
        QObject::connect(button, &QAbstractButton::toggled, [&check, button](bool on) {
            check.SetChecked(on);
            if (check.Checked != on) {
                const QSignalBlocker block(button);
                button->setChecked(check.Checked);
            }
        });
        return button;
    }
    case ckSubmit:
    case ckReset:
    case ckButton: {
        auto* button = new QPushButton(Q(dynamic_cast<TButtonControl&>(c).Caption()), panel);
        QObject::connect(button, &QPushButton::clicked, [&c] { c.Activate(0, 0); });
        return button;
    }
    case ckComboBox:
    case ckListBox: return MakeList(panel);
    case ckTextArea: {
        auto& area = dynamic_cast<TTextAreaControl&>(c);
        auto* editor = new QPlainTextEdit(panel);
        editor->setLineWrapMode(area.Wrap == "off" ? QPlainTextEdit::NoWrap
                                                   : QPlainTextEdit::WidgetWidth);
        QObject::connect(editor, &QPlainTextEdit::textChanged,
                         [&area, editor] { area.SetText(W(editor->toPlainText())); });
        return editor;
    }
    default: return new QWidget(panel);  // hidden fields and image-submits get none (see Update)
    }
}

void TFormWidgets::Window::Refresh() {
    if (!widget_) return;
    const QSignalBlocker block(widget_);
    if (edit_) {
        const QSignalBlocker blockEdit(edit_);
        edit_->setText(Q(control_.Value));
    } else if (auto* check = dynamic_cast<TCheckControl*>(&control_)) {
        static_cast<QAbstractButton*>(widget_.data())->setChecked(check->Checked);
    } else if (auto* select = dynamic_cast<TSelectControl*>(&control_)) {
        if (auto* combo = qobject_cast<QComboBox*>(widget_.data())) {
            combo->setCurrentIndex(select->ShownIndex());
        } else if (auto* list = qobject_cast<QListWidget*>(widget_.data())) {
            for (int i = 0; i < list->count() && i < int(select->Options.size()); ++i)
                list->item(i)->setSelected(select->Options[std::size_t(i)].Selected);
        }
    } else if (auto* area = dynamic_cast<TTextAreaControl*>(&control_)) {
        static_cast<QPlainTextEdit*>(widget_.data())->setPlainText(Q(area->Text()));
    }
}

// ---------------------------------------------------------------- the set of widgets

TFormWidgets::TFormWidgets(QWidget* panel) : panel_(panel) {}

TFormWidgets::~TFormWidgets() {
    Detach();
}

void TFormWidgets::Attach(TSectionList* document) {
    Detach();
    document_ = document;
    if (document_) document_->SetOnControlsCleared([this] { DropWidgets(); });
}

void TFormWidgets::Detach() {
    DropWidgets();
    if (document_) document_->SetOnControlsCleared(nullptr);
    document_ = nullptr;
}

void TFormWidgets::DropWidgets() {
    byControl_.clear();
    windows_.clear();
}

void TFormWidgets::SetZoom(int percent) {
    if (percent == zoom_) return;
    zoom_ = percent;
    DropWidgets();
}

void TFormWidgets::Update(int offsetX, int offsetY) {
    if (!document_ || document_->IsPrinting()) return;
    offsetX_ = offsetX, offsetY_ = offsetY;
    for (TFormControlObj* control : document_->FormControlList) {
        if (!control->ShownFlag || !control->HasBox() || control->Window) continue;
        auto window =
            std::make_unique<Window>(*control, panel_, document_, offsetX_, offsetY_, zoom_);
        control->Window = window.get();
        byControl_[control] = window.get();
        window->Place(control->Left, control->PaintedY);
        windows_.push_back(std::move(window));
    }
}

QWidget* TFormWidgets::WidgetOf(const TFormControlObj& control) const {
    auto it = byControl_.find(&control);
    return it == byControl_.end() ? nullptr : it->second->Widget();
}

}  // namespace kv
