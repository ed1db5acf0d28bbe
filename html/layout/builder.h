#pragma once
// The document builder: reads the token stream of an HTML text and fills an empty document with
// text sections, blocks, list items, rules, tables, images, image maps, forms with their
// controls and link runs, computing every element's style through the property stack. A
// recursive-descent reader: each construct reads tokens until one of the terminators its caller
// hands down, so an element left open is closed by whatever token an enclosing construct stops
// at. Head elements (linked sheets, META, BGSOUND), scripts and include directives go to the
// document's host.

#include <bitset>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "html/layout/blocks.h"
#include "html/layout/builderhints.h"
#include "html/layout/sectionlist.h"
#include "html/layout/tables.h"
#include "html/layout/textsection.h"
#include "html/reader/properties.h"
#include "html/reader/tokenizer.h"

namespace kv {

class TSelectControl;
class TTextAreaControl;

class THtmlBuilder {
public:
    explicit THtmlBuilder(TSectionList& document);
    ~THtmlBuilder();

    // Parses the text into the document (the document's style list must hold its defaults).
    void LoadHtmlText(std::string_view text);
    // Reads a whole file and parses it; a file that cannot be read raises kv::Exception.
    void LoadHtmlFile(const std::string& fileName);

    // Shows a plain text file as preformatted text, one section a line; a file that cannot be
    // read raises kv::Exception.
    void LoadPlainTextFile(const std::string& fileName);
    void LoadPlainText(std::string_view text);

    // Builds the document for a printout: style rules for print media apply, those for the
    // screen only do not.
    void SetForPrint(bool forPrint) { reader_.ForPrint = forPrint; }

    std::string Title, Base, BaseTarget;

private:
    using TSet = std::bitset<256>;
    // Deeper nesting than this is hostile: further block elements read as plain content.
    static constexpr int kMaxDepth = 120;

    void Parse(std::string_view text);
    void BeginDocument();
    void EndDocument();
    void ReadBody(const TSet& terminators);
    void ReadDivision(bool center, const TSet& terminators);
    bool ReadInline();  // false when the current token is not inline
    void ReadPhrase(TSymbol symbol);
    void ReadRule();
    void ReadParagraph(const TSet& terminators);
    void ReadHeading(const TSet& terminators);
    void ReadList(TSymbol symbol, const TSet& terminators);
    void ReadListItem(TSymbol listSymbol, int number, char type, bool plain,
                      const TSet& terminators);
    // Tables: what the readers of one table share while its rows are read.
    struct TTableRead {
        TTableRead(TTableBlock& table, const TSet& terminators, const TSet& cellEnd, int level,
                   TCellBasic* outside)
            : Table(table),
              Terminators(terminators),
              CellEnd(cellEnd),
              Level(level),
              Outside(outside) {}
        TTableBlock& Table;
        TSet Terminators;               // the caller's: they end the table
        TSet CellEnd;                   // they end a cell's content
        int Level = 0;                  // the style stack's depth inside the table
        TCellBasic* Outside = nullptr;  // the cell the table stands in
        TBlock* Foster = nullptr;       // content found between cells
        std::size_t CaptionRow = std::size_t(-1);
        bool CaptionBelow = false;
        TRowHints Row;  // what the current row gives its cells
    };
    void ReadTable(const TSet& terminators);
    bool ReadTablePart(TTableRead& table);
    void ReadTableRow(TTableRead& table);
    void ReadTableCell(TTableRead& table);
    void ReadCaption(TTableRead& table);
    void FinishCell(const TTableRead& table);
    void ReadBetweenCells(TTableRead& table);
    void ReadPre();
    // Reads preformatted lines, from the current token (read with spaces kept) until a symbol
    // of `stops`, a cell's end or the end of input; then spaces collapse again. With `nested`,
    // tags of that symbol open elements whose end tags are passed over rather than stopping.
    void ReadPreLines(const TSet& stops, TSymbol nested = syEof);
    // The top element's white-space: "pre" (or "pre-wrap") reads its content as preformatted
    // lines; "nowrap" keeps its lines unbroken, another value lets them break, none leaves
    // `noBreak` as it is.
    bool PreSpaces();
    bool NoBreakOfTop(bool noBreak);
    void ReadMap();
    void ReadBodyTag();
    void ReadLink();
    void ReadFont(bool baseFont);
    void ReadBreak();
    void ReadImage();
    void ReadPanel();
    // Forms and their controls.
    void ReadForm(const TSet& terminators);
    void ReadControl();
    void ReadSelect(TSelectControl& select);
    void ReadTextArea(TTextAreaControl& area);
    ThtmlForm& OpenForm();
    void CloseForm();
    // Head elements and scripts.
    bool ReadHeadElement();
    void ReadTitle();
    void ReadBase();
    void ReadStyleLink();
    void ReadMeta();
    void ReadSound();
    void ReadScript();

    // Sections and cells.
    TSection& Section();
    void NewSection();
    void FinishSection();
    TBlock& OpenBlock(std::string_view tag);
    void SwitchFont();
    TSectionStyle StyleOfTop() const;
    TLayoutAttrs Attributes() const;
    // Pushes the tag's style with the class, id and inline style of `from` (default: the
    // current tag's attributes).
    void PushTag(std::string_view tag, std::string_view pseudo = "",
                 TAttributeList* from = nullptr);
    void CloseLink();
    bool BeforeContent() const;
    static TSet Set(std::initializer_list<TSymbol> symbols);
    static bool IsInline(TSymbol symbol);
    static bool IsPhrase(TSymbol symbol);
    static bool IsPhraseEnd(TSymbol symbol);
    static bool IsListSymbol(TSymbol symbol);

    TSectionList& doc_;
    THtmlReader reader_;
    TPropStack stack_;
    TBlock* body_ = nullptr;
    TCellBasic* target_ = nullptr;
    std::unique_ptr<TSection> section_;
    TUrlTarget link_;
    bool inLink_ = false;
    int baseFontStep_ = 3;
    int centerDepth_ = 0;
    int depth_ = 0;  // nesting of readers, limited against hostile input
    bool inPre_ = false;
    ThtmlForm* openForm_ = nullptr;  // the form controls join, owned by the document
};

}  // namespace kv
