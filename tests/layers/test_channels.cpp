// The stored form of 8-bit channels: byte-exact writing, both header kinds, and the errors.

#include <gtest/gtest.h>

#include "layers/channels.h"

using kv::EChannelError;
using kv::TChannel;
using kv::TChannelKind;

namespace {

void PutU32(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
}
void PutU16(std::string& s, std::uint16_t v) {
    s.push_back(static_cast<char>(v));
    s.push_back(static_cast<char>(v >> 8));
}
std::uint32_t U32At(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(s[at + i]);
    return v;
}

TChannel Sample(TChannelKind kind, int w, int h) {
    TChannel c(kind);
    c.SetSize(w, h);
    c.Allocate();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) c.SetValue(x, y, static_cast<std::uint8_t>(x * 7 + y * 31));
    c.SetGreyPalette();
    return c;
}

// A 40-byte-header stream of a w x h picture whose value at (x, y) is x + 10 * y, with a
// coloured palette (entry i = blue i, green 255 - i, red 7).
std::string Stream40(int w, int h, int bits = 8, std::uint32_t used = 256, bool rows = true) {
    std::string s;
    PutU32(s, 40);
    PutU32(s, static_cast<std::uint32_t>(w));
    PutU32(s, static_cast<std::uint32_t>(h));
    PutU16(s, 1);
    PutU16(s, static_cast<std::uint16_t>(bits));
    s.append(16, '\0');
    PutU32(s, used);
    PutU32(s, 0);
    const int entries = used == 0 ? 256 : static_cast<int>(used);
    for (int i = 0; i < entries; ++i) {
        s.push_back(static_cast<char>(i));
        s.push_back(static_cast<char>(255 - i));
        s.push_back(7);
        s.push_back(0);
    }
    if (!rows) return s;
    const int stride = (w + 3) & ~3;
    for (int row = h - 1; row >= 0; --row) {  // bottom-up
        for (int x = 0; x < stride; ++x) s.push_back(x < w ? static_cast<char>(x + 10 * row) : 0);
    }
    return s;
}

std::string ErrorOf(TChannel& c, const std::string& data) {
    try {
        c.Load(data);
    } catch (const EChannelError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(ChannelStoredForm, EmptyIsFourZeroBytesAndReadsBackEmpty) {
    TChannel empty(TChannelKind::ckMask);
    EXPECT_EQ(empty.Save(), std::string(4, '\0'));
    TChannel loaded = Sample(TChannelKind::ckMask, 3, 3);
    int notified = 0;
    loaded.OnChange = [&] { ++notified; };
    loaded.Load(std::string(4, '\0'));
    EXPECT_TRUE(loaded.Empty());
    EXPECT_GE(notified, 1);
}

TEST(ChannelStoredForm, ButtonSizedChannelHasPaddedRowsAndExactHeader) {
    const TChannel c = Sample(TChannelKind::ckColor, 139, 32);
    const std::string data = c.Save();
    ASSERT_EQ(data.size(), 5544u);  // 40 + 1024 + 140 * 32
    EXPECT_EQ(U32At(data, 0), 40u);
    EXPECT_EQ(U32At(data, 4), 139u);
    EXPECT_EQ(U32At(data, 8), 32u);
    EXPECT_EQ(data[12], 0);  // planes written as 0
    EXPECT_EQ(data[13], 0);
    EXPECT_EQ(data[14], 8);
    EXPECT_EQ(data.substr(16, 16), std::string(16, '\0'));
    EXPECT_EQ(U32At(data, 32), 256u);
    EXPECT_EQ(U32At(data, 36), 0u);
    // Palette entry 200 is grey 200 as blue, green, red, 0.
    EXPECT_EQ(U32At(data, 40 + 200 * 4), 0x00C8C8C8u);
    // The first stored row is the picture's bottom line; padding bytes are zero.
    EXPECT_EQ(static_cast<std::uint8_t>(data[1064]), c.Value(0, 31));
    EXPECT_EQ(static_cast<std::uint8_t>(data[1064 + 1]), c.Value(1, 31));
    EXPECT_EQ(data[1064 + 139], 0);
    EXPECT_EQ(static_cast<std::uint8_t>(data[1064 + 140]), c.Value(0, 30));

    TChannel back(TChannelKind::ckColor);
    back.Load(data);
    EXPECT_EQ(back.Save(), data);
    EXPECT_FALSE(back.DiffersFrom(&c));
}

TEST(ChannelStoredForm, MaskKeepsRawValuesWhateverThePalette) {
    TChannel mask(TChannelKind::ckMask);
    mask.Load(Stream40(5, 3));
    ASSERT_EQ(mask.Width(), 5);
    ASSERT_EQ(mask.Height(), 3);
    EXPECT_EQ(mask.Value(4, 2), 24);
    EXPECT_EQ(mask.Value(0, 0), 0);
    // The coloured palette was not taken over.
    EXPECT_EQ(mask.PaletteEntry(3)[0], 0);
    EXPECT_EQ(mask.PaletteEntry(3)[1], 0);

    TChannel glyph(TChannelKind::ckColor);
    glyph.Load(Stream40(5, 3));
    EXPECT_EQ(glyph.Value(4, 2), 24);
    EXPECT_EQ(glyph.PaletteEntry(3)[0], 3);
    EXPECT_EQ(glyph.PaletteEntry(3)[1], 252);
    EXPECT_EQ(glyph.PaletteEntry(3)[2], 7);
}

TEST(ChannelStoredForm, ColoursUsedDecidesThePaletteLength) {
    TChannel glyph(TChannelKind::ckColor);
    glyph.Load(Stream40(2, 2, 8, 16));
    EXPECT_EQ(glyph.Value(1, 1), 11);
    EXPECT_EQ(glyph.PaletteEntry(15)[1], 240);
    EXPECT_EQ(glyph.PaletteEntry(16)[1], 0);
    TChannel all(TChannelKind::ckColor);
    all.Load(Stream40(2, 2, 8, 0));  // 0 means 256
    EXPECT_EQ(all.PaletteEntry(255)[2], 7);
}

TEST(ChannelStoredForm, ReadsTheTwelveByteHeader) {
    std::string s;
    PutU32(s, 12);
    PutU16(s, 3);
    PutU16(s, 2);
    PutU16(s, 1);
    PutU16(s, 8);
    for (int i = 0; i < 256; ++i) s += {static_cast<char>(i), 0, static_cast<char>(255 - i)};
    s += std::string("\x01\x02\x03\x00\x04\x05\x06\x00", 8);  // bottom line first
    TChannel c(TChannelKind::ckColor);
    c.Load(s);
    ASSERT_EQ(c.Width(), 3);
    EXPECT_EQ(c.Value(0, 1), 1);
    EXPECT_EQ(c.Value(2, 0), 6);
    EXPECT_EQ(c.PaletteEntry(10)[0], 10);
    EXPECT_EQ(c.PaletteEntry(10)[2], 245);
    // Written back in the 40-byte form.
    EXPECT_EQ(U32At(c.Save(), 0), 40u);
}

TEST(ChannelStoredForm, BadStreamsRaiseTheirMessagesAndKeepTheChannel) {
    TChannel c = Sample(TChannelKind::ckMask, 4, 4);
    const std::string before = c.Save();
    EXPECT_EQ(ErrorOf(c, Stream40(4, 4, 24)), "Channels support 256-colors bitmaps only!");
    EXPECT_EQ(ErrorOf(c, Stream40(4, 4, 1)), "Channels support 256-colors bitmaps only!");
    std::string other = Stream40(4, 4);
    other[0] = 108;  // a newer header kind
    EXPECT_EQ(ErrorOf(c, other), "Invalid stream format!");
    // Cut short in the header, the palette or the rows: never read past the data.
    const std::string whole = Stream40(4, 4);
    for (std::size_t cut : {2u, 20u, 500u, 1070u, static_cast<unsigned>(whole.size() - 1)})
        EXPECT_EQ(ErrorOf(c, whole.substr(0, cut)), "Invalid stream format!") << cut;
    // Sizes no window has (negative, or billions of pixels) are refused, not allocated.
    EXPECT_EQ(ErrorOf(c, Stream40(-4, 4)), "Invalid stream format!");
    EXPECT_EQ(ErrorOf(c, Stream40(100000, 100000, 8, 256, false)), "Invalid stream format!");
    EXPECT_EQ(ErrorOf(c, Stream40(2, 2, 8, 300)), "Invalid stream format!");
    EXPECT_EQ(c.Save(), before);
}

TEST(ChannelStoredForm, WrittenOnlyWhenDifferentFromTheInherited) {
    const TChannel base = Sample(TChannelKind::ckColor, 6, 2);
    TChannel same(TChannelKind::ckColor);
    same.Assign(base);
    EXPECT_FALSE(same.DiffersFrom(&base));
    EXPECT_TRUE(same.DiffersFrom(nullptr));
    TChannel pixel = same;
    pixel.SetValue(5, 1, 99);
    EXPECT_TRUE(pixel.DiffersFrom(&base));
    TChannel palette = same;
    palette.SetPaletteEntry(0, kv::RGBColor(1, 2, 3));
    EXPECT_TRUE(palette.DiffersFrom(&base));
    TChannel sized = same;
    sized.SetSize(6, 3);
    EXPECT_TRUE(sized.DiffersFrom(&base));
    TChannel empty(TChannelKind::ckColor);
    EXPECT_TRUE(empty.DiffersFrom(&base));
}

TEST(ChannelSizes, SetSizeReallocatesOnlyWhenAllocated) {
    TChannel c(TChannelKind::ckMask);
    c.SetSize(10, 3);
    EXPECT_FALSE(c.Allocated());
    c.SetAllocated(true);
    EXPECT_EQ(c.DataSize(), 36u);
    c.SetValue(9, 2, 5);
    c.SetSize(7, 2);
    EXPECT_TRUE(c.Allocated());
    EXPECT_EQ(c.DataSize(), 16u);
    EXPECT_EQ(c.Value(6, 1), 0);  // new rows are zero-filled
    EXPECT_EQ(c.ChannelRect(), QRect(0, 0, 7, 2));
}

TEST(ChannelSizes, PixelAddressIsTheLineAboveY) {
    TChannel c = Sample(TChannelKind::ckMask, 5, 4);
    EXPECT_EQ(*c.PixelAddress(2, 3), c.Value(2, 2));
    EXPECT_EQ(*c.PixelAddress(0, 4), c.Value(0, 3));
}

TEST(RGBChannel, RefusesBuffersThePlatformCannotCreate) {
    kv::TRGBChannel buffer;
    buffer.SetSize(100000, 100000);
    try {
        buffer.Allocate();
        FAIL() << "allocated";
    } catch (const EChannelError& e) {
        EXPECT_STREQ(e.what(), "Unable to Create DIB Section!");
    }
}
