#include "html/reader/tokens.h"

#include "html/reader/properties.h"
#include "html/reader/stylesheet.h"
#include "platform/codec.h"

namespace kv {

TokenObj::TokenObj() {
    Text.reserve(300);
    Indexes.reserve(300);
}

void TokenObj::Append(const TokenObj& other) {
    Text += other.Text;
    Indexes.insert(Indexes.end(), other.Indexes.begin(), other.Indexes.end());
}

TAttributeList::TAttributeList() = default;
TAttributeList::~TAttributeList() = default;

void TAttributeList::Clear() {
    items_.clear();
    cachedId_.clear();
    idCached_ = false;
}

const TAttribute* TAttributeList::FirstOf(TAttrSymbol symbol) const {
    for (const auto& item : items_)
        if (item.Symbol == symbol) return &item;
    return nullptr;
}

std::string TAttributeList::ClassValue() const {
    const TAttribute* attribute = FirstOf(atCLASS);
    return attribute ? cp1251::lowerText(attribute->StrValue) : std::string();
}

const std::string& TAttributeList::IdValue() const {
    if (!idCached_) {
        const TAttribute* attribute = FirstOf(atID);
        cachedId_ = attribute ? cp1251::lowerText(attribute->StrValue) : std::string();
        idCached_ = true;
    }
    return cachedId_;
}

TProperties* TAttributeList::InlineStyle() {
    const TAttribute* attribute = FirstOf(atSTYLE);
    if (!attribute) return nullptr;
    inlineProps_ = std::make_unique<TProperties>();
    ParseInlineStyle(attribute->StrValue, *inlineProps_);
    return inlineProps_.get();
}

namespace {
uint32_t g_nextLinkId = 0;  // program-wide: link ids must differ across the whole document
}

void TUrlTarget::SetLink(std::string url, std::string target) {
    Href = std::move(url);
    TargetFrame = std::move(target);
    LinkId = static_cast<int32_t>(g_nextLinkId++ & 0x7FFFFFFFu);
}

void TUrlTarget::Clear() {
    Href.clear();
    TargetFrame.clear();
    LinkId = 0;
}

}  // namespace kv
