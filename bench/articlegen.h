#pragma once
// Generated Windows-1251 articles for the benchmarks: headings with named anchors ("s0", "s10",
// "s20", ...), paragraphs of Russian words with bold, italic and links, lists and small tables.

#include <cstdint>
#include <map>
#include <random>
#include <string>

#include "platform/codec.h"

namespace kvbench {

inline std::string Paragraph(std::mt19937& random, int p) {
    using kv::cp1251::fromUtf8;
    static const std::string words[] = {
        fromUtf8("река"),    fromUtf8("озеро"),  fromUtf8("гора"),    fromUtf8("лес"),
        fromUtf8("степь"),   fromUtf8("море"),   fromUtf8("остров"),  fromUtf8("город"),
        fromUtf8("история"), fromUtf8("климат"), fromUtf8("растение")};
    std::string text;
    if (p % 10 == 0)
        text += "<h2><a name=\"s" + std::to_string(p) + "\">" + fromUtf8("Раздел ") +
                std::to_string(p / 10) + "</a></h2>";
    text += "<p>";
    for (int w = 0; w < 80; ++w) {
        const std::string& word = words[random() % 11];
        if (w % 17 == 5)
            text += "<b>" + word + "</b> ";
        else if (w % 19 == 11)
            text += "<i>" + word + "</i> ";
        else if (w % 23 == 7)
            text += "<a href=\"x" + std::to_string(w) + ".htm\">" + word + "</a> ";
        else
            text += word + " ";
    }
    text += "</p>";
    if (p % 25 == 3)
        text += "<ul><li>" + words[1] + "<li>" + words[2] + "<li>" + words[3] + "</ul>";
    if (p % 40 == 9)
        text += "<table border=1><tr><td>" + words[4] + "</td><td>" + words[5] + " " + words[6] +
                "</td></tr><tr><td>1</td><td>2</td></tr></table>";
    return text;
}

// An article of at least `bytes` bytes.
inline std::string MakeArticle(std::size_t bytes) {
    std::mt19937 random(7);
    std::string text =
        "<html><head><title>Article</title><style>h2 { color: #000080 } p { margin-top: 4px }"
        " .note { font-style: italic }</style></head><body><h1>Title</h1>";
    for (int p = 0; text.size() < bytes; ++p) text += Paragraph(random, p);
    return text + "</body></html>";
}

inline const std::string& Article(std::int64_t kilobytes) {
    static std::map<std::int64_t, std::string> cache;
    std::string& text = cache[kilobytes];
    if (text.empty()) text = MakeArticle(std::size_t(kilobytes) * 1024);
    return text;
}

}  // namespace kvbench
