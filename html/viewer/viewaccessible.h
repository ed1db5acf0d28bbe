#pragma once
// The article for a screen reader: the viewer is an accessible document whose text is the
// article's text in reading order, with the caret, the selection, character geometry on the
// screen and the links as child objects that a reader can follow.

#include <QAccessibleWidget>
#include <QString>
#include <utility>
#include <vector>

namespace kv {

class TSectionNode;
class TSection;
class THtmlView;

// The text of a laid-out document as a reader hears it: every text section in document order
// (table cells in order), sections ending in a line break, hard breaks as line breaks, no
// control characters and no stand-ins for images or controls. Offsets count UTF-16 units;
// document text positions map to offsets and back.
class TArticleText {
public:
    struct Link {
        int Start = 0, End = 0;   // offsets, end exclusive
        std::string Url, Target;  // Windows-1251, as the document gives them
    };

    TArticleText() = default;
    explicit TArticleText(const TSectionNode& document);

    const QString& Text() const { return text_; }
    int Length() const { return int(text_.size()); }
    // The offset of the text position's character, or of the next one that has an offset.
    int OffsetOf(int cursor) const;
    // The text position of an offset's character; -1 for an added line break or out of range.
    int CursorOf(int offset) const;
    // [start, end) of the screen line holding the offset (its line break included).
    std::pair<int, int> LineAt(int offset) const;
    // The text section holding a text position, or nullptr.
    const TSection* SectionOf(int cursor) const;
    const std::vector<Link>& Links() const { return links_; }

private:
    void Add(const TSection& section);
    void AddLinks(const TSection& section);

    QString text_;
    std::vector<int> cursors_;  // per offset: its text position, -1 for an added break
    std::vector<int> offsets_;  // per text position from firstCursor_: its offset, or -1
    std::vector<const TSection*> sections_;  // not owned, in document order
    std::vector<Link> links_;
    int firstCursor_ = 0;
};

// Installs the viewer's accessible interface; installing again changes nothing.
void InstallViewerAccessibility();

}  // namespace kv
