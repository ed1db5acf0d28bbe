#include <gtest/gtest.h>

#include "platform/codec.h"
#include "tests/common/testutil.h"

using namespace kv;

TEST(Codec, EveryByteRoundTripsThroughUnicode) {
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    EXPECT_EQ(cp1251::fromQString(cp1251::toQString(all)), all);
    EXPECT_EQ(cp1251::fromUtf8(cp1251::toUtf8(all)), all);
}

TEST(Codec, KnownCharacters) {
    EXPECT_EQ(cp1251::toUnicode(0xC0), u'А');
    EXPECT_EQ(cp1251::toUnicode(0xFF), u'я');
    EXPECT_EQ(cp1251::toUnicode(0xA8), u'Ё');
    EXPECT_EQ(cp1251::toUnicode(0xB8), u'ё');
    EXPECT_EQ(cp1251::toUnicode(0xB9), u'№');
    EXPECT_EQ(cp1251::toUnicode(0x97), u'—');
    EXPECT_EQ(cp1251::toUnicode(0xA0), u'\u00A0');
    EXPECT_EQ(cp1251::toUtf8("\xCA\xE2\xE0\xF0\xED\xE5\xEB\xFF"), "Кварнеля");
}

TEST(Codec, UnmappableCharactersBecomeQuestionMarks) {
    EXPECT_EQ(cp1251::fromUtf8("Δx = 中"), "?x = ?");
    EXPECT_EQ(cp1251::fromUtf8("😀"), "?");          // one character, even outside the BMP
    EXPECT_EQ(cp1251::fromUtf8("\xFF\xFE"), "??");  // invalid UTF-8 on disk
}

TEST(Codec, CyrillicLetterCase) {
    EXPECT_EQ(cp1251::toUtf8(cp1251::upperText(kvtest::W("ёжик в тумане, Yes"))),
              "ЁЖИК В ТУМАНЕ, YES");
    EXPECT_EQ(cp1251::toUtf8(cp1251::lowerText(kvtest::W("ЁЖИК Ў Ї"))), "ёжик ў ї");
    // Signs that are no letters keep their byte.
    EXPECT_EQ(cp1251::upper(0xB5), 0xB5);  // µ
    EXPECT_EQ(cp1251::upper(0xB9), 0xB9);  // №
    for (int c = 0; c < 256; ++c) {
        const auto ch = static_cast<unsigned char>(c);
        EXPECT_EQ(cp1251::upper(cp1251::lower(cp1251::upper(ch))), cp1251::upper(ch)) << c;
    }
    EXPECT_EQ(cp1251::upperLatin(0xE0), 0xE0);
    EXPECT_EQ(cp1251::upperLatin('q'), 'Q');
}

// Trimming takes blanks and control characters (up to code 32) from both ends and nothing else:
// code 33 and the high Windows-1251 bytes (a signed char would call them negative) stay.
TEST(Codec, TrimViewTakesCodes32AndLessFromBothEndsOnly) {
    EXPECT_EQ(kv::TrimView("\x01 \t\r\nname \x1f "), "name");
    EXPECT_EQ(kv::TrimView("!a b!"), "!a b!");
    EXPECT_EQ(kv::TrimView("\xA0\xC0 x \xFF"), "\xA0\xC0 x \xFF");
    EXPECT_EQ(kv::TrimView(" \x01 "), "");
    EXPECT_EQ(kv::TrimView(""), "");
}
