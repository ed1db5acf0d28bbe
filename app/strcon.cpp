#include "app/strcon.h"

#include "platform/codec.h"

namespace kv {
namespace {

// 0-based offset from the 1-based start position of the operations.
std::size_t offsetOf(std::size_t start) {
    return start > 0 ? start - 1 : 0;
}

}  // namespace

std::string TStringCollection::UpperText(std::string_view text) const {
    return text::upperText(text);
}

std::size_t TStringCollection::FindText(std::string_view part, std::string_view text,
                                        std::size_t start, bool ignoreCase) const {
    const std::size_t from = offsetOf(start);
    if (from > text.size()) return 0;
    std::size_t pos;
    if (ignoreCase) {
        pos = std::string_view(UpperText(text)).find(UpperText(part), from);
    } else {
        pos = text.find(part, from);
    }
    return pos == std::string_view::npos ? 0 : pos + 1;
}

std::string_view TStringCollection::TextAfter(std::string_view marker, std::string_view text,
                                              std::size_t start) const {
    const std::size_t from = offsetOf(start);
    if (from > text.size()) return {};
    const std::size_t pos = text.find(marker, from);
    if (pos == std::string_view::npos) return {};
    return text.substr(pos + marker.size());
}

std::string_view TStringCollection::TextBefore(std::string_view marker, std::string_view text,
                                               std::size_t start) const {
    const std::size_t from = offsetOf(start);
    if (from > text.size()) return {};
    const std::size_t pos = text.find(marker, from);
    if (pos == std::string_view::npos) return text.substr(from);
    return text.substr(from, pos - from);
}

}  // namespace kv
