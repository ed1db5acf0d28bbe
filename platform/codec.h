#pragma once
// Text at the borders. Narrow text inside the system (file names, addresses, attribute values,
// messages) is UTF-8 in a std::string; `text` converts it for Qt, the file system and UTF-16.
// Windows-1251 stays where the system stores or compares bytes (articles, the contents file, the
// file search): `cp1251` owns its table both ways and its letter-case rules.

#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

namespace kv {

// Trims blanks and control characters (codes 32 and less) at both ends.
std::string_view TrimView(std::string_view text);

}  // namespace kv

namespace kv::text {

QString toQString(std::string_view text);
std::string fromQString(const QString& text);
// File-system names are the same UTF-8 bytes on disk.
std::filesystem::path toPath(std::string_view text);
std::string fromPath(const std::filesystem::path& path);
// Bytes that form no character become U+FFFD.
std::u16string toUtf16(std::string_view text);
std::string fromUtf16(std::u16string_view text);
inline QString toQString(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()),
                   static_cast<qsizetype>(text.size()));
}
inline std::u16string toUtf16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<size_t>(text.size()));
}
// Letter case: the Windows-1251 rules for the characters the code page has, Unicode's beyond.
std::string upperText(std::string_view text);
std::string lowerText(std::string_view text);
// Windows-1251 bytes as UTF-8, and back ('?' for a character the code page lacks).
std::string fromWindows1251(std::string_view bytes);
std::string toWindows1251(std::string_view text);
// Appends the UTF-8 bytes of one character.
void appendCharacter(std::string& text, char32_t ch);
// True when every byte is below 0x80.
bool isAscii(std::string_view text);

}  // namespace kv::text

namespace kv::cp1251 {

// The Unicode character of one Windows-1251 byte (every byte maps; 0x98 maps to U+0098).
char16_t toUnicode(unsigned char byte);
// The Windows-1251 byte of a Unicode character, '?' when it has none.
char fromUnicode(char32_t ch);

QString toQString(std::string_view text);
std::string fromQString(const QString& text);
std::string toUtf8(std::string_view text);
std::string fromUtf8(std::string_view utf8);

// The Windows-1251 byte of a UTF-16 code unit; false when the code page lacks it.
bool byteOf(char16_t ch, unsigned char& byte);
// Windows-1251 text as UTF-16, and back ('?' for a character the code page lacks, one for a
// surrogate pair).
std::u16string toUtf16(std::string_view text);
std::string fromUtf16(std::u16string_view text);

// Letter case of Windows-1251: Latin, Russian (Ё/ё included) and the other Cyrillic letters.
unsigned char upper(unsigned char ch);
unsigned char lower(unsigned char ch);
std::string upperText(std::string_view text);
std::string lowerText(std::string_view text);
// Letter case of a UTF-16 code unit: the Windows-1251 rules for the characters the code page
// has, Unicode's (through QChar) for the rest; surrogates stay as they are.
char16_t upper16(char16_t ch);
char16_t lower16(char16_t ch);
// Only a-z/A-Z, as the parts of the system that fold Latin letters alone require.
inline unsigned char upperLatin(unsigned char ch) {
    return (ch >= 'a' && ch <= 'z') ? static_cast<unsigned char>(ch - 32) : ch;
}
// The value of a hexadecimal digit (%XX escapes in names), or -1 for any other byte.
inline int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace kv::cp1251
