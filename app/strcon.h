#pragma once
// Text helpers of the shell on single-byte Windows-1251 text.

#include <cstddef>
#include <string>
#include <string_view>

namespace kv {

class TStringCollection {
public:
    // The text in upper case (Windows-1251 letters, Ё/ё included).
    std::string UpperText(std::string_view text) const;
    // 1-based position of the first occurrence of part in text at or after the 1-based start
    // position (0 or 1 = from the beginning); 0 when there is none. With ignoreCase both are
    // compared in upper case.
    std::size_t FindText(std::string_view part, std::string_view text, std::size_t start = 0,
                         bool ignoreCase = false) const;
    // The rest of text after the first occurrence of marker at or after start (case-sensitive);
    // empty when marker does not occur.
    std::string_view TextAfter(std::string_view marker, std::string_view text,
                               std::size_t start = 0) const;
    // The part of text from start up to the first occurrence of marker (case-sensitive); the
    // whole rest when marker does not occur.
    std::string_view TextBefore(std::string_view marker, std::string_view text,
                                std::size_t start = 0) const;
};

}  // namespace kv
