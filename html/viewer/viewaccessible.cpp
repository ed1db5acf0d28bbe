#include "html/viewer/viewaccessible.h"

#include <QAccessible>
#include <QPointer>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <array>
#include <optional>

#include "html/layout/textsection.h"
#include "html/viewer/htmlview.h"
#include "platform/codec.h"

namespace kv {

namespace {

// The control characters of a section's text as read aloud: tab a space, breaks a line end, the
// rest (objects and controls) nothing (a null QChar).
const std::array<QChar, 32>& ControlTable() {
    static const std::array<QChar, 32> table = [] {
        std::array<QChar, 32> chars{};
        chars['\t'] = QLatin1Char(' ');
        chars['\n'] = chars[chBreak] = QLatin1Char('\n');
        return chars;
    }();
    return table;
}

void Walk(const TSectionNode& node, std::vector<const TSection*>& sections) {
    node.ForEachChild([&](TSectionBase& child) {
        if (const auto* text = dynamic_cast<const TSection*>(&child))
            sections.push_back(text);
        else
            Walk(child, sections);
        return false;
    });
}

}  // namespace

// ---------------------------------------------------------------- the text

TArticleText::TArticleText(const TSectionNode& document) {
    std::vector<const TSection*> sections;
    Walk(document, sections);
    std::stable_sort(sections.begin(), sections.end(), [](const TSection* a, const TSection* b) {
        return a->FirstCursor < b->FirstCursor;
    });
    int end = 0;
    for (const TSection* section : sections) {
        if (section->Length <= 0) continue;
        if (sections_.empty()) firstCursor_ = section->FirstCursor;
        sections_.push_back(section);
        end = std::max(end, section->FirstCursor + section->Length);
    }
    offsets_.assign(std::size_t(std::max(0, end - firstCursor_)), -1);
    for (const TSection* section : sections_) Add(*section);
    for (const TSection* section : sections_) AddLinks(*section);
}

void TArticleText::Add(const TSection& section) {
    const auto& table = ControlTable();
    const int length = std::min(section.Length, int(section.Text.size()));
    text_.reserve(text_.size() + length + 1);
    for (int i = 0; i < length; ++i) {
        const char16_t unit = section.Text[std::size_t(i)];
        const QChar ch = unit < 32 ? table[unit] : QChar(unit);
        if (ch.isNull()) continue;
        offsets_[std::size_t(section.FirstCursor + i - firstCursor_)] = int(text_.size());
        cursors_.push_back(section.FirstCursor + i);
        text_.append(ch);
    }
    if (!text_.isEmpty() && text_.back() != QLatin1Char('\n')) {
        text_.append(QLatin1Char('\n'));
        cursors_.push_back(-1);
    }
}

void TArticleText::AddLinks(const TSection& section) {
    int last = 0;  // the link id of the run before, 0 for none
    for (int i = 0; i < section.FontRuns.Count(); ++i) {
        const TFontObj& run = section.FontRuns[i];
        if (!run.HasUrl()) {
            last = 0;
            continue;
        }
        const int from = section.FirstCursor + run.RunStart;
        const int to = from + section.FontRuns.CharsToNextRun(run.RunStart, section.Length);
        const int start = OffsetOf(from), stop = OffsetOf(to);
        if (start >= stop) continue;
        const int id = run.Target().LinkId;
        if (id != 0 && id == last && !links_.empty() && links_.back().End == start) {
            links_.back().End = stop;  // a link whose text changes font is still one link
            continue;
        }
        last = id;
        links_.push_back({start, stop, run.Target().Url, run.Target().TargetFrame});
    }
}

int TArticleText::OffsetOf(int cursor) const {
    for (int i = std::max(0, cursor - firstCursor_); i < int(offsets_.size()); ++i)
        if (offsets_[std::size_t(i)] >= 0) return offsets_[std::size_t(i)];
    return Length();
}

int TArticleText::CursorOf(int offset) const {
    if (offset < 0 || offset >= int(cursors_.size())) return -1;
    return cursors_[std::size_t(offset)];
}

const TSection* TArticleText::SectionOf(int cursor) const {
    auto it = std::upper_bound(sections_.begin(), sections_.end(), cursor,
                               [](int c, const TSection* s) { return c < s->FirstCursor; });
    if (it == sections_.begin()) return nullptr;
    const TSection* section = *std::prev(it);
    return cursor < section->FirstCursor + section->Length ? section : nullptr;
}

std::pair<int, int> TArticleText::LineAt(int offset) const {
    int cursor = CursorOf(offset);
    if (cursor < 0 && offset > 0) cursor = CursorOf(offset - 1);  // a paragraph's own break
    const TSection* section = SectionOf(cursor);
    if (!section) return {offset, std::min(offset + 1, Length())};
    const int c = cursor - section->FirstCursor;
    for (const LineRec& line : section->LineList) {
        if (c < line.FirstChar || c >= line.FirstChar + line.CharCount) continue;
        const int start = OffsetOf(section->FirstCursor + line.FirstChar);
        return {start, OffsetOf(section->FirstCursor + line.FirstChar + line.CharCount)};
    }
    return {offset, std::min(offset + 1, Length())};
}

// ---------------------------------------------------------------- the accessible viewer

namespace {

class TArticleAccessible;

// A link of the article: its text, its target, and following it.
class TArticleLink : public QAccessibleInterface,
                     public QAccessibleActionInterface,
                     public QAccessibleHyperlinkInterface {
public:
    TArticleLink(TArticleAccessible* article, int index) : article_(article), index_(index) {}

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text type) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::Link; }
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

    QString anchor() const override { return text(QAccessible::Name); }
    QString anchorTarget() const override { return text(QAccessible::Description); }
    int startIndex() const override;
    int endIndex() const override;

private:
    const TArticleText::Link* Data() const;

    TArticleAccessible* article_;  // not owned: the parent, which deletes its links first
    int index_;
};

class TArticleAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit TArticleAccessible(THtmlView* view) : QAccessibleWidget(view, QAccessible::Document) {}
    ~TArticleAccessible() override { DropLinks(); }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text type) const override {
        if (type == QAccessible::Name && !View()->DocumentTitle().empty())
            return text::toQString(View()->DocumentTitle());
        return QAccessibleWidget::text(type);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = state.multiLine = state.selectableText = state.focusable = true;
        return state;
    }
    int childCount() const override { return int(Model().Links().size()); }
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;

    // Selection and caret.
    void selection(int index, int* start, int* end) const override;
    int selectionCount() const override;
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { Select(-1, -1); }
    void setSelection(int index, int start, int end) override;
    int cursorPosition() const override { return Model().OffsetOf(View()->CaretPos()); }
    void setCursorPosition(int position) override {
        View()->SetCaretPos(CursorFrom(std::clamp(position, 0, characterCount())));
    }

    // Text.
    QString text(int start, int end) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                             int* end) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                            int* end) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                         int* end) const override;
    int characterCount() const override { return Model().Length(); }
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int start, int end) override;
    QString attributes(int offset, int* start, int* end) const override {
        *start = 0;
        *end = std::max(offset, characterCount());
        return {};
    }

    // For the links: whether the text they were made from is still the document's.
    bool Current() const { return built_ == View()->DocumentVersion() && !View()->Processing(); }
    const TArticleText& Text() const { return model_; }
    QRect Span(int start, int end) const;
    void Follow(int index) const;

private:
    THtmlView* View() const { return static_cast<THtmlView*>(widget()); }
    // The text of the document shown now, made again after every load.
    const TArticleText& Model() const;
    void DropLinks() const;
    void Select(int start, int end);
    // The text position at or after an offset (the end of the text past the last one).
    int CursorFrom(int offset) const;
    std::pair<int, int> Segment(int offset, QAccessible::TextBoundaryType type) const;
    // A character's rectangle in document pixels.
    std::optional<QRect> DocRect(int offset) const;

    mutable TArticleText model_;
    mutable int built_ = -1;                      // the document version model_ was made from
    mutable std::vector<QAccessible::Id> links_;  // per link; 0: not asked for yet
    mutable std::unique_ptr<TImageCanvas> measure_;
};

const TArticleText& TArticleAccessible::Model() const {
    static const TArticleText kNone;
    if (View()->Processing()) return kNone;  // a load is rebuilding the document
    if (built_ != View()->DocumentVersion()) {
        DropLinks();
        model_ = TArticleText(View()->Document());
        links_.assign(model_.Links().size(), 0);
        built_ = View()->DocumentVersion();
    }
    return model_;
}

void TArticleAccessible::DropLinks() const {
    for (QAccessible::Id id : links_)
        if (id) QAccessible::deleteAccessibleInterface(id);
    links_.clear();
}

QAccessibleInterface* TArticleAccessible::child(int index) const {
    if (index < 0 || index >= childCount()) return nullptr;
    QAccessible::Id& id = links_[std::size_t(index)];
    if (!id)
        id = QAccessible::registerAccessibleInterface(
            new TArticleLink(const_cast<TArticleAccessible*>(this), index));
    return QAccessible::accessibleInterface(id);
}

int TArticleAccessible::indexOfChild(const QAccessibleInterface* child) const {
    const QAccessible::Id id = QAccessible::uniqueId(const_cast<QAccessibleInterface*>(child));
    const auto it = std::find(links_.begin(), links_.end(), id);
    return it == links_.end() ? -1 : int(it - links_.begin());
}

QAccessibleInterface* TArticleAccessible::childAt(int x, int y) const {
    const int offset = offsetAtPoint(QPoint(x, y));
    const auto& links = Model().Links();
    for (std::size_t i = 0; i < links.size(); ++i)
        if (offset >= links[i].Start && offset < links[i].End) return child(int(i));
    return nullptr;
}

void TArticleAccessible::selection(int index, int* start, int* end) const {
    *start = *end = 0;
    const TSectionList& doc = View()->Document();
    if (index != 0 || doc.SelStart() < 0 || doc.SelStart() >= doc.SelEnd()) return;
    *start = Model().OffsetOf(doc.SelStart());
    *end = Model().OffsetOf(doc.SelEnd());
}

int TArticleAccessible::selectionCount() const {
    int start = 0, end = 0;
    selection(0, &start, &end);
    return start < end ? 1 : 0;
}

int TArticleAccessible::CursorFrom(int offset) const {
    const TArticleText& model = Model();
    for (int o = std::max(0, offset); o < model.Length(); ++o)
        if (model.CursorOf(o) >= 0) return model.CursorOf(o);
    const TSectionList& doc = View()->Document();
    return doc.FirstCursor + doc.CursorCount;
}

void TArticleAccessible::setSelection(int index, int start, int end) {
    if (index != 0) return;
    start = std::clamp(start, 0, characterCount());
    end = std::clamp(end, 0, characterCount());
    if (start > end) std::swap(start, end);
    Select(CursorFrom(start), CursorFrom(end));
}

void TArticleAccessible::Select(int start, int end) {
    View()->Document().Select(start, end);
    View()->PaintPanel()->update();
}

QString TArticleAccessible::text(int start, int end) const {
    const QString& all = Model().Text();
    start = std::clamp(start, 0, int(all.size()));
    end = std::clamp(end, start, int(all.size()));
    return all.mid(start, end - start);
}

std::pair<int, int> TArticleAccessible::Segment(int offset,
                                                QAccessible::TextBoundaryType type) const {
    const QString& all = Model().Text();
    const int length = int(all.size());
    if (type == QAccessible::NoBoundary) return {0, length};
    if (type == QAccessible::LineBoundary) return Model().LineAt(offset);
    if (type == QAccessible::CharBoundary || all[offset] == QLatin1Char('\n'))
        return {offset, offset + 1};
    const int first = int(all.lastIndexOf(QLatin1Char('\n'), offset)) + 1;
    int last = int(all.indexOf(QLatin1Char('\n'), offset));
    if (last < 0) last = length;
    if (type == QAccessible::ParagraphBoundary) return {first, std::min(last + 1, length)};
    // Words and sentences within the paragraph: its own finder, not one over the whole text.
    const auto kind = type == QAccessible::SentenceBoundary ? QTextBoundaryFinder::Sentence
                                                            : QTextBoundaryFinder::Word;
    QTextBoundaryFinder finder(kind, all.constData() + first, last - first);
    finder.setPosition(offset - first);
    const int end = int(finder.toNextBoundary());
    finder.setPosition(offset - first);
    const int start = finder.isAtBoundary() ? offset - first : int(finder.toPreviousBoundary());
    return {first + std::max(start, 0), first + (end < 0 ? last - first : end)};
}

QString TArticleAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                                         int* end) const {
    if (offset == -2) offset = cursorPosition();
    const int length = characterCount();
    *start = *end = -1;
    if (offset < 0 || offset > length) return {};
    if (offset == length) {
        *start = *end = length;
        return {};
    }
    std::tie(*start, *end) = Segment(offset, type);
    return text(*start, *end);
}

QString TArticleAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType type,
                                             int* start, int* end) const {
    if (offset == -2) offset = cursorPosition();
    const int length = characterCount();
    *start = *end = -1;
    if (offset < 0 || offset > length) return {};
    const int at = offset == length ? length : Segment(offset, type).first;
    if (at <= 0) {
        *start = *end = 0;
        return {};
    }
    std::tie(*start, *end) = Segment(at - 1, type);
    return text(*start, *end);
}

QString TArticleAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType type,
                                            int* start, int* end) const {
    if (offset == -2) offset = cursorPosition();
    const int length = characterCount();
    *start = *end = -1;
    if (offset < 0 || offset > length) return {};
    const int after = offset == length ? length : Segment(offset, type).second;
    if (after >= length) {
        *start = *end = length;
        return {};
    }
    std::tie(*start, *end) = Segment(after, type);
    return text(*start, *end);
}

std::optional<QRect> TArticleAccessible::DocRect(int offset) const {
    const TArticleText& model = Model();
    const int cursor = model.CursorOf(offset);
    const TSection* section = model.SectionOf(cursor);
    if (!section) return std::nullopt;
    if (!measure_) measure_ = std::make_unique<TImageCanvas>(1, 1, View()->Document().Fonts());
    const int c = cursor - section->FirstCursor;
    int top = section->Top;
    for (const LineRec& line : section->LineList) {
        if (c >= line.FirstChar && c < line.FirstChar + line.CharCount) {
            const int before = section->LineOffset(*measure_, line, c - line.FirstChar);
            const int x = line.PaintedX + before;
            const int width = section->LineOffset(*measure_, line, c - line.FirstChar + 1) - before;
            return QRect(x, top, std::max(width, 1), line.Height());
        }
        top += line.Height();
    }
    return std::nullopt;
}

QRect TArticleAccessible::characterRect(int offset) const {
    const std::optional<QRect> doc = DocRect(offset);
    if (!doc) return {};
    const THtmlView* view = View();
    const QPoint panel(view->ToPanelPixels(doc->left() - view->HScrollPos()),
                       view->ToPanelPixels(doc->top() - view->VScrollPos()));
    const QSize size(std::max(view->ToPanelPixels(doc->width()), 1),
                     std::max(view->ToPanelPixels(doc->height()), 1));
    return QRect(view->PaintPanel()->mapToGlobal(panel), size);
}

QRect TArticleAccessible::Span(int start, int end) const {
    return characterRect(start).united(characterRect(std::max(start, end - 1)));
}

int TArticleAccessible::offsetAtPoint(const QPoint& point) const {
    THtmlView* view = View();
    const QPoint panel = view->PaintPanel()->mapFromGlobal(point);
    if (!view->PaintPanel()->rect().contains(panel)) return -1;
    const TArticleText& model = Model();
    if (!measure_) measure_ = std::make_unique<TImageCanvas>(1, 1, view->Document().Fonts());
    TCursorHit hit;
    const int cursor =
        view->Document().CursorAt(*measure_, view->ToDocPixels(panel.x()) + view->HScrollPos(),
                                  view->ToDocPixels(panel.y()) + view->VScrollPos(), hit);
    return cursor < 0 ? -1 : model.OffsetOf(cursor);
}

void TArticleAccessible::scrollToSubstring(int start, int) {
    const std::optional<QRect> doc = DocRect(start);
    if (!doc) return;
    THtmlView* view = View();
    const int top = view->VScrollPos(), height = view->ToDocPixels(view->PaintPanel()->height());
    if (doc->top() < top || doc->bottom() > top + height) view->ScrollTo(doc->top() - height / 2);
}

void TArticleAccessible::Follow(int index) const {
    const auto& link = model_.Links()[std::size_t(index)];
    // After the reader's call has returned: following may load another article.
    QMetaObject::invokeMethod(
        View(),
        [view = View(), url = link.Url, target = link.Target] { view->FollowLink(url, target); },
        Qt::QueuedConnection);
}

// ---------------------------------------------------------------- links

const TArticleText::Link* TArticleLink::Data() const {
    if (!article_->Current()) return nullptr;
    const auto& links = article_->Text().Links();
    return index_ < int(links.size()) ? &links[std::size_t(index_)] : nullptr;
}

bool TArticleLink::isValid() const {
    return article_->isValid() && Data();
}

QWindow* TArticleLink::window() const {
    return article_->window();
}

QAccessibleInterface* TArticleLink::parent() const {
    return article_;
}

QString TArticleLink::text(QAccessible::Text type) const {
    const TArticleText::Link* link = Data();
    if (!link) return {};
    switch (type) {
    case QAccessible::Name:
        return article_->Text().Text().mid(link->Start, link->End - link->Start).trimmed();
    case QAccessible::Description:
    case QAccessible::Value: return text::toQString(link->Url);
    default: return {};
    }
}

QRect TArticleLink::rect() const {
    const TArticleText::Link* link = Data();
    return link ? article_->Span(link->Start, link->End) : QRect();
}

QAccessible::State TArticleLink::state() const {
    QAccessible::State state;
    state.linked = true;
    state.invalid = !Data();
    return state;
}

void* TArticleLink::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::ActionInterface) return static_cast<QAccessibleActionInterface*>(this);
    if (type == QAccessible::HyperlinkInterface)
        return static_cast<QAccessibleHyperlinkInterface*>(this);
    return nullptr;
}

void TArticleLink::doAction(const QString& actionName) {
    if (actionName == pressAction() && Data()) article_->Follow(index_);
}

int TArticleLink::startIndex() const {
    const TArticleText::Link* link = Data();
    return link ? link->Start : -1;
}

int TArticleLink::endIndex() const {
    const TArticleText::Link* link = Data();
    return link ? link->End : -1;
}

// THtmlView is no QObject class of its own: its interface is asked for as a QWidget.
QAccessibleInterface* ViewerFactory(const QString& key, QObject* object) {
    if (key != QLatin1String("QWidget")) return nullptr;
    auto* view = dynamic_cast<THtmlView*>(object);
    return view ? new TArticleAccessible(view) : nullptr;
}

// The article interface of a viewer, when a screen reader is listening.
TArticleAccessible* Listening(THtmlView* view) {
    if (!QAccessible::isActive()) return nullptr;
    return dynamic_cast<TArticleAccessible*>(QAccessible::queryAccessibleInterface(view));
}

}  // namespace

void InstallViewerAccessibility() {
    QAccessible::installFactory(ViewerFactory);
}

// ---------------------------------------------------------------- the viewer's side

void THtmlView::FollowLink(const std::string& url, const std::string& target) {
    url_ = url;
    target_ = target;
    hotSpotClicked_ = true;
    LinkClick();
}

void THtmlView::SetCaretPos(int cursor) {
    caretPos_ = cursor;
    AnnounceSelection();
}

void THtmlView::AnnounceDocument() {
    ++docVersion_;
    if (!QAccessible::isActive()) return;
    QAccessibleEvent reorder(this, QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&reorder);
    QAccessibleEvent name(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&name);
}

void THtmlView::AnnounceSelection() {
    TArticleAccessible* article = Listening(this);
    if (!article) return;
    int start = 0, end = 0;
    article->selection(0, &start, &end);
    QAccessibleTextSelectionEvent selection(this, start, end);
    selection.setCursorPosition(article->cursorPosition());
    QAccessible::updateAccessibility(&selection);
    QAccessibleTextCursorEvent caret(this, article->cursorPosition());
    QAccessible::updateAccessibility(&caret);
}

}  // namespace kv
