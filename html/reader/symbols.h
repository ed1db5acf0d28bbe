#pragma once
// The tag, attribute and character-entity tables of the HTML reader.
//
// Symbols: every tag name has a start symbol (sy<NAME>); the first 51 names also have an end
// symbol (sy<NAME>End). A heading is one pair (syH, syHEnd) for all levels; the level travels in
// the reader's HeadingLevel. Attribute names map to at<NAME> (both VALUE entries to atVALUE);
// names not in the table map to atOther.

#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

// The tables are laid out by hand, as tables.
// clang-format off
// Tags with a start and an end symbol, in table order.
#define KV_TAGS_WITH_END(X)                                                                       \
    X(HTML) X(TITLE) X(BODY) X(HEAD) X(B) X(I) X(H) X(EM) X(STRONG) X(U) X(CITE) X(VAR) X(TT)   \
    X(CODE) X(KBD) X(SAMP) X(OL) X(UL) X(DIR) X(MENU) X(DL) X(A) X(ADDRESS) X(BLOCKQUOTE) X(PRE) \
    X(CENTER) X(TABLE) X(TD) X(TH) X(CAPTION) X(FORM) X(TEXTAREA) X(SELECT) X(OPTION) X(FONT)   \
    X(SUB) X(SUP) X(BIG) X(SMALL) X(P) X(MAP) X(FRAMESET) X(NOFRAMES) X(SCRIPT) X(DIV) X(S)     \
    X(STRIKE) X(TR) X(NOBR) X(STYLE) X(SPAN)
// Tags with a start symbol only, in table order.
#define KV_TAGS_START_ONLY(X)                                                                   \
    X(LI) X(BR) X(HR) X(DD) X(DT) X(IMG) X(BASE) X(BUTTON) X(INPUT) X(SELECTED) X(BASEFONT)     \
    X(AREA) X(FRAME) X(PAGE) X(BGSOUND) X(WRAP) X(META) X(PANEL) X(WBR) X(LINK)

enum TSymbol : uint8_t {
#define KV_START(name) sy##name,
    KV_TAGS_WITH_END(KV_START) KV_TAGS_START_ONLY(KV_START)
#undef KV_START
#define KV_END(name) sy##name##End,
    KV_TAGS_WITH_END(KV_END)
#undef KV_END
    syText,        // a text run or a decoded character reference
    syOther,       // one character that is neither markup nor text (control bytes)
    syUnknown,     // a tag that is not in the table, or an end tag without an end symbol
    syEof,         // end of input
    syEol,         // a line end (only the builder's textarea and script readers use it)
    syScriptEnd,   // the end of a script (builder)
    syNone,        // no symbol
};

inline constexpr int kTagCount = 71;
inline constexpr int kTagsWithEnd = 51;

// Attribute table: name text and symbol, 68 entries; VALUE appears twice with one symbol.
#define KV_ATTRIBUTES(X)                                                                        \
    X(HREF, "HREF") X(NAME, "NAME") X(SRC, "SRC") X(ALT, "ALT") X(ALIGN, "ALIGN")               \
    X(TEXT, "TEXT") X(BGCOLOR, "BGCOLOR") X(LINK, "LINK") X(BACKGROUND, "BACKGROUND")           \
    X(COLSPAN, "COLSPAN") X(ROWSPAN, "ROWSPAN") X(BORDER, "BORDER")                             \
    X(CELLPADDING, "CELLPADDING") X(CELLSPACING, "CELLSPACING") X(VALIGN, "VALIGN")             \
    X(WIDTH, "WIDTH") X(START, "START") X(VALUE, "VALUE") X(TYPE, "TYPE")                       \
    X(CHECKBOX, "CHECKBOX") X(RADIO, "RADIO") X(METHOD, "METHOD") X(ACTION, "ACTION")           \
    X(CHECKED, "CHECKED") X(SIZE, "SIZE") X(MAXLENGTH, "MAXLENGTH") X(COLS, "COLS")             \
    X(ROWS, "ROWS") X(MULTIPLE, "MULTIPLE") X(VALUE, "VALUE") X(SELECTED, "SELECTED")           \
    X(FACE, "FACE") X(COLOR, "COLOR") X(TRANSP, "TRANSP") X(CLEAR, "CLEAR") X(ISMAP, "ISMAP")   \
    X(BORDERCOLOR, "BORDERCOLOR") X(USEMAP, "USEMAP") X(SHAPE, "SHAPE") X(COORDS, "COORDS")     \
    X(NOHREF, "NOHREF") X(HEIGHT, "HEIGHT") X(PLAIN, "PLAIN") X(TARGET, "TARGET")               \
    X(NORESIZE, "NORESIZE") X(SCROLLING, "SCROLLING") X(HSPACE, "HSPACE")                       \
    X(LANGUAGE, "LANGUAGE") X(FRAMEBORDER, "FRAMEBORDER") X(MARGINWIDTH, "MARGINWIDTH")         \
    X(MARGINHEIGHT, "MARGINHEIGHT") X(LOOP, "LOOP") X(ONCLICK, "ONCLICK") X(WRAP, "WRAP")       \
    X(NOSHADE, "NOSHADE") X(HTTP_EQUIV, "HTTP-EQUIV") X(CONTENT, "CONTENT")                     \
    X(ENCTYPE, "ENCTYPE") X(VLINK, "VLINK") X(OLINK, "OLINK") X(ACTIVE, "ACTIVE")               \
    X(VSPACE, "VSPACE") X(CLASS, "CLASS") X(ID, "ID") X(STYLE, "STYLE") X(REL, "REL")           \
    X(REV, "REV") X(NOWRAP, "NOWRAP") X(MEDIA, "MEDIA")

enum TAttrSymbol : uint8_t {
    atHREF, atNAME, atSRC, atALT, atALIGN, atTEXT, atBGCOLOR, atLINK, atBACKGROUND, atCOLSPAN,
    atROWSPAN, atBORDER, atCELLPADDING, atCELLSPACING, atVALIGN, atWIDTH, atSTART, atVALUE,
    atTYPE, atCHECKBOX, atRADIO, atMETHOD, atACTION, atCHECKED, atSIZE, atMAXLENGTH, atCOLS,
    atROWS, atMULTIPLE, atSELECTED, atFACE, atCOLOR, atTRANSP, atCLEAR, atISMAP, atBORDERCOLOR,
    atUSEMAP, atSHAPE, atCOORDS, atNOHREF, atHEIGHT, atPLAIN, atTARGET, atNORESIZE, atSCROLLING,
    atHSPACE, atLANGUAGE, atFRAMEBORDER, atMARGINWIDTH, atMARGINHEIGHT, atLOOP, atONCLICK, atWRAP,
    atNOSHADE, atHTTP_EQUIV, atCONTENT, atENCTYPE, atVLINK, atOLINK, atACTIVE, atVSPACE, atCLASS,
    atID, atSTYLE, atREL, atREV, atNOWRAP, atMEDIA,
    atOther,  // a name that is not in the table
};
// clang-format on

inline constexpr int kAttributeTableSize = 69;

// The start symbol of an upper-cased tag name, or syNone.
TSymbol LookupTag(std::string_view upperName);
// The symbol of an upper-cased attribute name, atOther when unknown.
TAttrSymbol LookupAttribute(std::string_view upperName);
// The upper-case name of an attribute symbol ("" for atOther).
std::string_view AttributeName(TAttrSymbol symbol);

// Lower-case tag name of a start symbol ("" for other symbols); "h" for the heading.
std::string_view StartName(TSymbol symbol);
// Lower-case tag name of an end symbol ("" for other symbols).
std::string_view EndName(TSymbol symbol);
// The end symbol of a start symbol among the first 51 names, or syNone.
TSymbol EndOf(TSymbol symbol);

// The eight character entities with a replacement of their own (case-sensitive): its Windows-1251
// text, or nullptr for any other name. "hellip" gives three characters.
const char* LookupEntity(std::string_view name);

}  // namespace kv
