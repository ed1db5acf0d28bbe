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

namespace {

// Value buffers worth keeping: bigger than the in-place text, not so big that one long value
// stays allocated for the rest of the document; a few dozen cover the attributes of any tag.
constexpr size_t kMaxSpareCapacity = 4096;
constexpr size_t kMaxSpares = 64;

bool WorthKeeping(const std::string& text, size_t spares) {
    return spares < kMaxSpares && text.capacity() > std::string().capacity() &&
           text.capacity() <= kMaxSpareCapacity;
}

}  // namespace

TAttributeList::TAttributeList() = default;
TAttributeList::~TAttributeList() = default;

void TAttributeList::Clear() {
    for (auto& item : items_)
        if (WorthKeeping(item.StrValue, spare_.size())) spare_.push_back(std::move(item.StrValue));
    items_.clear();
    cachedId_.clear();
    idCached_ = false;
}

std::string TAttributeList::SpareText() {
    if (spare_.empty()) return {};
    std::string text = std::move(spare_.back());
    spare_.pop_back();
    text.clear();
    return text;
}

void TAttributeList::KeepSpare(std::string text) {
    if (WorthKeeping(text, spare_.size())) spare_.push_back(std::move(text));
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
    if (inlineProps_) {
        *inlineProps_ = TProperties();  // a fresh record in the old storage
    } else {
        inlineProps_ = std::make_unique<TProperties>();
    }
    ParseInlineStyle(attribute->StrValue, *inlineProps_);
    return inlineProps_.get();
}

namespace {
uint32_t g_nextLinkId = 1;  // program-wide: link ids must differ across the whole document
}

void TUrlTarget::SetLink(std::string url, std::string target) {
    Href = std::move(url);
    TargetFrame = std::move(target);
    // 0 means "no link", so the count skips it, at the start and when it wraps.
    LinkId = static_cast<int32_t>(g_nextLinkId++ & 0x7FFFFFFFu);
    if (LinkId == 0) LinkId = static_cast<int32_t>(g_nextLinkId++ & 0x7FFFFFFFu);
}

void TUrlTarget::Clear() {
    Href.clear();
    TargetFrame.clear();
    LinkId = 0;
}

}  // namespace kv
