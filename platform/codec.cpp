#include "platform/codec.h"

#include <QChar>
#include <QList>
#include <algorithm>
#include <array>
#include <unordered_map>

namespace kv {

std::string_view TrimView(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
    return text;
}

}  // namespace kv

namespace kv::cp1251 {
namespace {

// Unicode of bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F, bytes below 0x80 are ASCII.
constexpr std::array<char16_t, 64> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

struct CaseTables {
    std::array<unsigned char, 256> up{};
    std::array<unsigned char, 256> low{};
    CaseTables() {
        for (int i = 0; i < 256; ++i) up[i] = low[i] = static_cast<unsigned char>(i);
        auto pair = [this](int upper, int lower) {
            up[lower] = static_cast<unsigned char>(upper);
            low[upper] = static_cast<unsigned char>(lower);
        };
        for (int i = 0; i < 26; ++i) pair('A' + i, 'a' + i);
        for (int i = 0; i < 32; ++i) pair(0xC0 + i, 0xE0 + i);  // А-Я / а-я
        // Ё, and the Cyrillic letters of the other languages Windows-1251 serves.
        const int pairs[][2] = {{0xA8, 0xB8}, {0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A},
                                {0x8C, 0x9C}, {0x8D, 0x9D}, {0x8E, 0x9E}, {0x8F, 0x9F},
                                {0xA1, 0xA2}, {0xA3, 0xBC}, {0xA5, 0xB4}, {0xAA, 0xBA},
                                {0xB2, 0xB3}, {0xAF, 0xBF}, {0xBD, 0xBE}};
        for (const auto& p : pairs) pair(p[0], p[1]);
    }
};

const CaseTables& caseTables() {
    static const CaseTables tables;
    return tables;
}

// The characters of bytes 0x80..0xBF sorted by code, each with its byte.
struct HighChar {
    char16_t ch;
    unsigned char byte;
};
constexpr auto kHighSorted = [] {
    std::array<HighChar, 64> table{};
    for (int i = 0; i < 64; ++i)
        table[std::size_t(i)] = {kHigh[std::size_t(i)], static_cast<unsigned char>(0x80 + i)};
    std::sort(table.begin(), table.end(),
              [](const HighChar& a, const HighChar& b) { return a.ch < b.ch; });
    return table;
}();

const std::unordered_map<char32_t, char>& reverseTable() {
    static const auto table = [] {
        std::unordered_map<char32_t, char> map;
        for (int i = 0; i < 64; ++i) map.emplace(kHigh[i], static_cast<char>(0x80 + i));
        for (int i = 0; i < 64; ++i) map.emplace(0x0410 + i, static_cast<char>(0xC0 + i));
        return map;
    }();
    return table;
}

}  // namespace

char16_t toUnicode(unsigned char byte) {
    if (byte < 0x80) return byte;
    if (byte >= 0xC0) return static_cast<char16_t>(0x0410 + (byte - 0xC0));
    return kHigh[byte - 0x80];
}

char fromUnicode(char32_t ch) {
    if (ch < 0x80) return static_cast<char>(ch);
    const auto& table = reverseTable();
    auto it = table.find(ch);
    return it == table.end() ? '?' : it->second;
}

bool byteOf(char16_t ch, unsigned char& byte) {
    if (ch < 0x80 || (ch >= 0x0410 && ch <= 0x044F)) {
        byte = static_cast<unsigned char>(ch < 0x80 ? ch : ch - 0x0410 + 0xC0);
        return true;
    }
    const auto it = std::lower_bound(kHighSorted.begin(), kHighSorted.end(), ch,
                                     [](const HighChar& a, char16_t c) { return a.ch < c; });
    if (it == kHighSorted.end() || it->ch != ch) return false;
    byte = it->byte;
    return true;
}

std::u16string toUtf16(std::string_view text) {
    std::u16string result(text.size(), u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        result[i] = toUnicode(static_cast<unsigned char>(text[i]));
    return result;
}

std::string fromUtf16(std::u16string_view text) {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char byte = '?';
        if (!byteOf(text[i], byte)) byte = '?';
        if (QChar::isHighSurrogate(text[i]) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1]))
            ++i;
        result.push_back(static_cast<char>(byte));
    }
    return result;
}

QString toQString(std::string_view text) {
    QString result(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
    QChar* out = result.data();
    for (char c : text) *out++ = QChar(toUnicode(static_cast<unsigned char>(c)));
    return result;
}

std::string fromQString(const QString& text) {
    std::string result;
    result.reserve(static_cast<size_t>(text.size()));
    for (const uint ch : text.toUcs4()) result.push_back(fromUnicode(ch));
    return result;
}

std::string toUtf8(std::string_view text) {
    return toQString(text).toStdString();
}

std::string fromUtf8(std::string_view utf8) {
    return fromQString(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

unsigned char upper(unsigned char ch) {
    return caseTables().up[ch];
}
unsigned char lower(unsigned char ch) {
    return caseTables().low[ch];
}

char16_t upper16(char16_t ch) {
    unsigned char byte = 0;
    if (byteOf(ch, byte)) return toUnicode(caseTables().up[byte]);
    if (QChar::isSurrogate(ch)) return ch;
    return QChar(ch).toUpper().unicode();
}

char16_t lower16(char16_t ch) {
    unsigned char byte = 0;
    if (byteOf(ch, byte)) return toUnicode(caseTables().low[byte]);
    if (QChar::isSurrogate(ch)) return ch;
    return QChar(ch).toLower().unicode();
}

std::string upperText(std::string_view text) {
    const auto& up = caseTables().up;
    std::string result(text);
    for (char& c : result) c = static_cast<char>(up[static_cast<unsigned char>(c)]);
    return result;
}

std::string lowerText(std::string_view text) {
    const auto& low = caseTables().low;
    std::string result(text);
    for (char& c : result) c = static_cast<char>(low[static_cast<unsigned char>(c)]);
    return result;
}

}  // namespace kv::cp1251

namespace kv::text {
namespace {

std::string foldText(std::string_view text, char16_t (*fold)(char16_t)) {
    std::u16string units = toUtf16(text);
    for (char16_t& unit : units) unit = fold(unit);
    return fromUtf16(units);
}

}  // namespace

void appendCharacter(std::string& text, char32_t ch) {
    if (ch < 0x80) return void(text += static_cast<char>(ch));
    if (ch >= 0x110000 || (ch >= 0xD800 && ch < 0xE000)) ch = 0xFFFD;
    const int extra = ch < 0x800 ? 1 : (ch < 0x10000 ? 2 : 3);
    text += static_cast<char>((0xF0 << (3 - extra) & 0xFF) | (ch >> (6 * extra)));
    for (int k = extra - 1; k >= 0; --k) text += static_cast<char>(0x80 | ((ch >> (6 * k)) & 0x3F));
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string fromQString(const QString& text) {
    return text.toStdString();
}

std::filesystem::path toPath(std::string_view text) {
    return std::filesystem::path(std::string(text));
}

std::string fromPath(const std::filesystem::path& path) {
    return path.native();
}

std::u16string toUtf16(std::string_view text) {
    if (isAscii(text)) return std::u16string(text.begin(), text.end());
    return toUtf16(toQString(text));
}

std::string fromUtf16(std::u16string_view text) {
    return toQString(text).toStdString();
}

std::string upperText(std::string_view text) {
    return isAscii(text) ? cp1251::upperText(text) : foldText(text, cp1251::upper16);
}

std::string lowerText(std::string_view text) {
    return isAscii(text) ? cp1251::lowerText(text) : foldText(text, cp1251::lower16);
}

std::string fromWindows1251(std::string_view bytes) {
    return cp1251::toUtf8(bytes);
}

std::string toWindows1251(std::string_view text) {
    return cp1251::fromUtf8(text);
}

}  // namespace kv::text
