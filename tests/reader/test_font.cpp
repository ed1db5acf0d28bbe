// Fonts: the Windows face aliases, metrics at 96 ppi and table-based text extents.

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>

#include "platform/codec.h"
#include "platform/font.h"
#include "tests/common/testutil.h"

namespace kv {
namespace {

TEST(Fonts, WindowsFacesResolveToInstalledFacesWithCyrillic) {
    const std::string sans = fonts::SelectedFace("MS Sans Serif");
    EXPECT_TRUE(sans == "DejaVu Sans" || sans == "Liberation Sans") << sans;
    EXPECT_TRUE(fonts::SelectedFace("System") == sans) << fonts::SelectedFace("System");
    EXPECT_EQ(fonts::SelectedFace("Times New Roman"), "Liberation Serif");
    EXPECT_EQ(fonts::SelectedFace("Arial"), "Liberation Sans");
    EXPECT_EQ(fonts::SelectedFace("Courier New"), "Liberation Mono");
    const TMyFont font("MS Sans Serif", 10);
    const QFontMetrics metrics(font.ToQFont());
    for (char16_t ch : std::u16string(u"АБВЖЯабвжяЁё"))
        EXPECT_TRUE(metrics.inFont(QChar(ch))) << static_cast<int>(ch);
    EXPECT_TRUE(fonts::FaceAvailable("ms sans serif"));
    EXPECT_TRUE(fonts::FaceAvailable("DejaVu Sans"));
    EXPECT_FALSE(fonts::FaceAvailable("No Such Face At All"));
}

TEST(Fonts, MetricsAtNinetySixPixelsPerInch) {
    EXPECT_EQ(fonts::PointsToPixels(10), 13);
    EXPECT_EQ(fonts::PointsToPixels(12), 16);
    const TMyFont font("Arial", 12);
    EXPECT_EQ(font.PixelSize(), 16);
    EXPECT_EQ(font.Height(), font.Ascent() + font.Descent());
    EXPECT_EQ(font.Height() - font.InternalLeading(), 16);
    EXPECT_GE(font.ExternalLeading(), 0);
    EXPECT_EQ(font.Overhang(), 0);
    const TMyFont big("Arial", 24);
    EXPECT_GT(big.Height(), font.Height());
    EXPECT_GT(big.TextExtent("Hello"), font.TextExtent("Hello"));
}

TEST(Fonts, ExtentsAreSumsOfTheWidthTable) {
    const TMyFont font("Times New Roman", 10);
    const std::string bytes = kvtest::W("Привет, world!");
    const std::u16string text = kv::cp1251::toUtf16(bytes);
    int sum = 0;
    for (unsigned char c : bytes) sum += font.CharWidth(c);
    EXPECT_EQ(font.TextExtent(text), sum);
    EXPECT_EQ(font.TextExtent("Привет, world!"), sum);  // UTF-8 measures as its characters
    EXPECT_GT(font.CharWidth('W'), font.CharWidth('i'));
    EXPECT_GT(font.CharWidth(static_cast<unsigned char>(kvtest::W("Ж")[0])), 0);
    EXPECT_EQ(font.TextExtent(""), 0);
    EXPECT_EQ(font.FitCount(text, sum), static_cast<int>(text.size()));
    EXPECT_EQ(font.FitCount(text, sum - 1), static_cast<int>(text.size()) - 1);
    EXPECT_EQ(font.FitCount(text, 0), 0);
    const int firstTwo = font.CharWidth(bytes[0]) + font.CharWidth(bytes[1]);
    EXPECT_EQ(font.FitCount(text, firstTwo), 2);
    // The UTF-16 fit also gives the extent of what fits: all at the exact sum, one fewer below.
    const std::u16string wide = u"Привет, world!";
    int extent = -1;
    EXPECT_EQ(font.FitCount(wide, sum, extent), static_cast<int>(wide.size()));
    EXPECT_EQ(extent, sum);
    EXPECT_EQ(font.FitCount(wide, sum - 1, extent), static_cast<int>(wide.size()) - 1);
    EXPECT_EQ(extent, sum - font.CharWidth('!'));
    EXPECT_EQ(font.FitCount(wide, 0, extent), 0);
    EXPECT_EQ(extent, 0);
    // Bold is wider; underline does not change the widths.
    const TMyFont large("Times New Roman", 24);
    TMyFont bold = large;
    bold.SetStyle(fsBold);
    EXPECT_GT(bold.TextExtent("MMMM"), large.TextExtent("MMMM"));
    TMyFont underlined = font;
    underlined.SetStyle(fsUnderline);
    EXPECT_EQ(underlined.TextExtent(text), sum);
}

TEST(Fonts, AssigningAPlainFontKeepsTheBackground) {
    TMyFont a("Arial", 10);
    a.BackColor = 0x123456;
    TMyFont b("Courier New", 14, fsItalic, 0xFF);
    b.BackColor = 0x654321;
    TMyFont copy = b;
    EXPECT_EQ(copy.BackColor, 0x654321u);
    a.AssignFont(b);
    EXPECT_EQ(a.Name(), "Courier New");
    EXPECT_EQ(a.Size(), 14);
    EXPECT_TRUE(a.Italic());
    EXPECT_EQ(a.BackColor, 0x123456u);
    TMyFont huge("Arial", 100000);
    EXPECT_EQ(huge.Size(), 1000);
}

}  // namespace
}  // namespace kv
