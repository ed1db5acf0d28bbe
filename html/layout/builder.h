#pragma once
// The document builder: reads the token stream of an HTML text and fills an empty document with
// text sections, blocks, list items, rules, tables, images, image maps and link runs, computing
// every element's style through the property stack. A recursive-descent reader: each construct
// reads tokens until one of the terminators its caller hands down, so an element left open is
// closed by whatever token an enclosing construct stops at.

#include <bitset>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "html/layout/blocks.h"
#include "html/layout/sectionlist.h"
#include "html/layout/textsection.h"
#include "html/reader/properties.h"
#include "html/reader/tokenizer.h"

namespace kv {

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

    std::string Title, Base, BaseTarget;

    // Handlers of the viewer that loads the document (none when the builder runs alone).
    // META elements before the content: http-equiv, name and content as written.
    std::function<void(const std::string& httpEq, const std::string& name,
                       const std::string& content)> OnMeta;
    // BGSOUND before the content: the source and the loop count (1 when not given).
    std::function<void(const std::string& src, int loop)> OnSoundRequest;
    TIncludeType OnInclude;
    THtmlView* Viewer = nullptr;  // the sender of the handlers; set, META may name a character set

private:
    using TSet = std::bitset<256>;

    void Parse(std::string_view text);
    void BeginDocument();
    void EndDocument();
    void ReadBody(const TSet& terminators);
    bool ReadInline();  // false when the current token is not inline
    void ReadParagraph(const TSet& terminators);
    void ReadHeading(const TSet& terminators);
    void ReadList(TSymbol symbol, const TSet& terminators);
    void ReadListItem(TSymbol listSymbol, int number, char type, bool plain,
                      const TSet& terminators);
    void ReadTable(const TSet& terminators);
    void ReadPre();
    void ReadMap();
    void ReadBodyTag();
    void ReadHeadElement(TSymbol symbol);
    void ReadLink();
    void ReadFont(bool baseFont);
    void ReadBreak();
    void ReadImage();

    // Sections and cells.
    TSection& Section();
    void NewSection();
    void FinishSection();
    TBlock& OpenBlock(std::string_view tag);
    void SwitchFont();
    TSectionStyle StyleOfTop() const;
    TLayoutAttrs Attributes() const;
    void PushTag(std::string_view tag, std::string_view pseudo = "");
    void CloseLink();
    bool BeforeContent() const;
    static TSet Set(std::initializer_list<TSymbol> symbols);
    static bool IsInline(TSymbol symbol);

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
};

}  // namespace kv
