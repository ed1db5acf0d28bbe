#pragma once
// The document's name list: element ids and anchor names with the objects that know where the
// named thing lies, looked up without regard to case.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// What the reader needs of the document it fills. The layout model's document (TSectionList)
// implements it.
class TReaderDocument {
public:
    virtual ~TReaderDocument() = default;
    // Document y (pixels) of the line holding the character read at `sourcePos`; 0 when no
    // section holds it. Valid after layout.
    virtual int SourcePosToY(int sourcePos) const = 0;
    // A style sheet gave :hover a colour: links should react to the mouse.
    virtual void SetLinksReactToMouse() = 0;
};

// Anything that can carry a name: it answers where it starts in the laid-out document.
class TIDObject {
public:
    virtual ~TIDObject() = default;
    virtual int TopY() const = 0;
    // Where a jump to the name scrolls: its top, unless the thing begins lower (a block's frame
    // stands below its margin).
    virtual int AnchorY() const { return TopY(); }
};

// A bare source position (an element id met by the tokenizer). Owned by the name list.
class TChPosObj : public TIDObject {
public:
    TChPosObj(TReaderDocument* document, int sourcePos)
        : Document(document), SourcePos(sourcePos) {}
    int TopY() const override { return Document ? Document->SourcePosToY(SourcePos) : 0; }

    TReaderDocument* Document;  // not owned
    int SourcePos;
};

// Ordered by name, compared without regard to case (every letter); no two
// entries share a name: the last registration of a name wins. TChPosObj entries are owned and
// freed with their entry; other objects belong to the document.
//
// Registration is a hash insert (a document may carry hundreds of thousands of ids, in any
// order); the sorted order that Name, Object and IndexOf see is built on first use after a
// change.
class TIDNameList {
public:
    explicit TIDNameList(TReaderDocument* document = nullptr) : document_(document) {}
    ~TIDNameList() { Clear(); }
    TIDNameList(const TIDNameList&) = delete;
    TIDNameList& operator=(const TIDNameList&) = delete;

    void AddObject(std::string_view name, TIDObject* object);
    void AddChPos(std::string_view name, int sourceIndex);
    void Clear();
    // The object of a name, or nullptr.
    TIDObject* Find(std::string_view name) const;
    // The object of the first name (in sorted order) whose Windows-1251 form, with "?" for each
    // character the code page lacks, is `name`'s, or nullptr. Looks at every name.
    TIDObject* FindAsWindows1251(std::string_view name) const;
    // Binary search: true and the index of the name, or false and the index to insert at.
    bool IndexOf(std::string_view name, int& index) const;

    int Count() const { return static_cast<int>(entries_.size()); }
    const std::string& Name(int index) const { return entries_[Sorted(index)].name; }
    TIDObject* Object(int index) const { return entries_[Sorted(index)].object; }
    TReaderDocument* Document() const { return document_; }

private:
    struct Entry {
        std::string name;
        std::string key;  // the case-folded name
        size_t hash;      // of the key
        TIDObject* object;
        bool owned;
    };
    static void Release(Entry& entry);
    // The entry at a place of the sorted order.
    int Sorted(int index) const;
    void Register(std::string_view name, TIDObject* object, bool owned);
    // The slot of the index that holds the entry of a key, or the empty slot it would take.
    size_t Slot(std::string_view key, size_t hash) const;
    void Grow();

    std::vector<Entry> entries_;      // in the order names first came
    std::vector<int> slots_;          // open addressing: entry numbers, -1 when empty
    mutable std::vector<int> order_;  // entries sorted by name
    mutable bool ordered_ = true;
    TReaderDocument* document_;
};

// Comparison of texts without regard to case (<0, 0, >0).
int CompareTextNoCase(std::string_view a, std::string_view b);

}  // namespace kv
