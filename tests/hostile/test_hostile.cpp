// Hostile articles: enormous text, an endless line, elements nested a hundred thousand deep, a
// row of a hundred thousand cells, pictures of 30,000 × 30,000. Each must open in the viewer, or
// be refused with an error, within its time and memory, and the viewer must show a normal
// article afterwards. CTest runs every case in its own process, so each peak is the case's own.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <string>

#include "html/viewer/htmlview.h"
#include "platform/codec.h"
#include "platform/errors.h"
#include "tests/common/testutil.h"
#include "tests/soak/stress.h"

namespace {

// Sanitizers slow everything down and reserve memory of their own: there the cases only have to
// survive.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMeasured = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMeasured = false;
#else
constexpr bool kMeasured = true;
#endif
#else
constexpr bool kMeasured = true;
#endif

// The time is the processor time the process used: a test machine shared with other work can
// stretch the wall-clock time of a case severalfold.
constexpr qint64 kMaxMilliseconds = 10'000;
constexpr std::int64_t kMaxPeak = std::int64_t{1} << 30;
constexpr auto kCaseLimit = std::chrono::seconds(100);
// The big text and the long lines are a fifth as big under the sanitizers, which would take
// several times the memory and the time of a plain build for them.
constexpr long kTextBytes = kMeasured ? 100'000'000 : 20'000'000;
constexpr long kLineBytes = kMeasured ? 10'000'000 : 2'000'000;

qint64 ProcessorMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

// Writes a file piece by piece, so that generating a big one costs no memory of its own.
class Article {
public:
    explicit Article(const std::filesystem::path& file) : out_(file, std::ios::binary) {}
    Article& operator<<(std::string_view text) {
        out_.write(text.data(), std::streamsize(text.size()));
        return *this;
    }
    void Repeat(std::string_view text, long count) {
        if (text.empty()) return;
        std::string block;
        for (int i = 0; i < 4096 / int(text.size() + 1) + 1; ++i) block += text;
        const long perBlock = long(block.size() / text.size());
        for (; count >= perBlock; count -= perBlock) *this << block;
        for (; count > 0; --count) *this << text;
    }

private:
    std::ofstream out_;
};

struct HostileFixture : ::testing::Test {
    kvtest::TempFolder folder;
    kv::THtmlView view;
    std::string normal;

    HostileFixture() {
        view.SetDefBackground(0xFFFFFF);
        view.SetBorderStyle(kv::THTMLBorderStyle::htNone);
        view.SetScrollBars(kv::TScrollStyle::ssBoth);
        view.resize(600, 400);
        view.show();
        normal = kv::text::fromPath(
            folder.Write("normal.htm",
                         "<title>Normal</title><h1>Normal article</h1><p>Plain words and a "
                         "<a href=\"#x\">link</a>.<a name=x></a><p>The end."));
    }

    std::filesystem::path PathOf(const std::string& name) const { return folder.Path() / name; }

    // Opens the file (written by `make`), scrolls through it and paints; then the normal
    // article must show.
    void Open(const std::string& name, const std::function<void(Article&)>& make) {
        {
            Article article(PathOf(name));
            make(article);
        }
        kvtest::Watchdog watchdog(kCaseLimit, name);
        ASSERT_TRUE(kvtest::ResetPeakResident());
        QElapsedTimer clock;
        clock.start();
        const qint64 processorStart = ProcessorMilliseconds();
        std::string refusal;
        try {
            view.LoadFromFile(kv::text::fromPath(PathOf(name)));
            QCoreApplication::processEvents();
            view.SetVScrollPos(view.DocHeight() / 2);
            QCoreApplication::processEvents();
            view.SetVScrollPos(view.DocHeight());
            QCoreApplication::processEvents();
            view.Find("needle", false);
        } catch (const kv::Exception& error) {
            refusal = error.what();
            EXPECT_FALSE(refusal.empty());
        }
        const qint64 elapsed = clock.elapsed();
        const qint64 processor = ProcessorMilliseconds() - processorStart;
        const std::int64_t peak = kvtest::PeakResidentBytes();
        std::printf(
            "hostile %s: %lld ms (processor %lld ms), peak resident %.0f MB, document "
            "height %d%s%s\n",
            name.c_str(), static_cast<long long>(elapsed), static_cast<long long>(processor),
            double(peak) / (1 << 20), view.DocHeight(),
            refusal.empty() ? "" : ", refused: ", refusal.c_str());
        if (kMeasured) {
            EXPECT_LE(processor, kMaxMilliseconds) << name;
            EXPECT_LE(peak, kMaxPeak) << name;
        }
        ExpectNormalArticleShows();
    }

    void ExpectNormalArticleShows() {
        view.LoadFromFile(normal);
        QCoreApplication::processEvents();
        EXPECT_EQ(view.CurrentFile(), normal);
        EXPECT_EQ(view.DocumentTitle(), "Normal");
        EXPECT_GT(view.DocHeight(), 20);
        EXPECT_LT(view.DocHeight(), 400);
        EXPECT_TRUE(view.Find("end", false));
        EXPECT_EQ(view.SelText(), "end");
    }
};

// 100 MB of ordinary words in paragraphs.
TEST_F(HostileFixture, HundredMegabytesOfText) {
    Open("text.htm", [](Article& a) {
        std::string paragraph = "<p>";
        for (int w = 0; w < 40; ++w) paragraph += "words of an ordinary article. ";
        a << "<title>Text</title><p>needle ";
        for (long written = 0; written < kTextBytes; written += long(paragraph.size()))
            a << paragraph;
    });
}

// One line of 10 MB without a blank or a tag.
TEST_F(HostileFixture, TenMegabyteLineWithoutABlank) {
    Open("line.htm", [](Article& a) {
        a << "<title>Line</title><p>";
        a.Repeat("x", kLineBytes);
        a << "<p>needle";
    });
}

// The same again as preformatted text.
TEST_F(HostileFixture, TenMegabytePreformattedLine) {
    Open("preline.htm", [](Article& a) {
        a << "<pre>";
        a.Repeat("y", kLineBytes);
        a << "</pre>needle";
    });
}

struct Nesting {
    const char* name;
    const char* open;
    const char* close;
};

class HostileNesting : public HostileFixture, public ::testing::WithParamInterface<Nesting> {};

// 100,000 elements, each inside the one before.
TEST_P(HostileNesting, HundredThousandDeep) {
    const Nesting& kind = GetParam();
    Open(std::string("nested-") + kind.name + ".htm", [&kind](Article& a) {
        a << "<title>Deep</title>";
        a.Repeat(kind.open, 100'000);
        a << "needle";
        a.Repeat(kind.close, 100'000);
        a << "<p>after";
    });
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, HostileNesting,
    ::testing::Values(Nesting{"div", "<div>", "</div>"},
                      Nesting{"font", "<font size=+1>", "</font>"}, Nesting{"b", "<b>", "</b>"},
                      Nesting{"table", "<table><tr><td>", "</td></tr></table>"},
                      Nesting{"list", "<ul><li>", "</li></ul>"},
                      Nesting{"blockquote", "<blockquote>", "</blockquote>"},
                      Nesting{"unclosed", "<div><span><i><p><center>", ""}),
    [](const ::testing::TestParamInfo<Nesting>& info) { return std::string(info.param.name); });

// One row of 100,000 cells.
TEST_F(HostileFixture, HundredThousandCellsInOneRow) {
    Open("cells.htm", [](Article& a) {
        a << "<title>Cells</title><table border=1><tr>";
        a.Repeat("<td>cell</td>", 100'000);
        a << "</tr></table><p>needle";
    });
}

// A small picture declared as 30,000 × 30,000 by the document.
TEST_F(HostileFixture, PictureDeclaredHugeInTheDocument) {
    folder.Write("small.bmp", [] {
        // 2 × 2, 24 bits.
        std::string bmp = "BM";
        auto le = [&bmp](std::uint32_t v, int bytes) {
            for (int i = 0; i < bytes; ++i) bmp += char(v >> (8 * i));
        };
        le(70, 4), le(0, 4), le(54, 4), le(40, 4), le(2, 4), le(2, 4), le(1, 2), le(24, 2);
        le(0, 4), le(16, 4), le(0, 4), le(0, 4), le(0, 4), le(0, 4);
        bmp += std::string(16, '\x7f');
        return bmp;
    }());
    Open("declared.htm", [](Article& a) {
        a << "<title>Huge</title><p>needle<img src=\"small.bmp\" width=30000 height=30000>"
             "<p><img src=\"missing.gif\" width=30000 height=30000 border=30000 hspace=30000>";
    });
}

std::string BigEndian(std::uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

// Picture files whose headers claim 30,000 × 30,000 pixels, shown at their own size.
TEST_F(HostileFixture, PictureFilesClaimingHugeSizes) {
    std::string png = "\x89PNG\r\n\x1a\n" + BigEndian(13) + "IHDR" + BigEndian(30000) +
                      BigEndian(30000) + std::string("\x08\x02\x00\x00\x00", 5) + BigEndian(0);
    png += BigEndian(10) + "IDAT" + std::string("\x78\x9c\x63\x60\x00\x00\x00\x02\x00\x01", 10) +
           BigEndian(0) + BigEndian(0) + "IEND" + BigEndian(0);
    folder.Write("huge.png", png);
    std::string gif = "GIF89a";
    gif += std::string("\x30\x75\x30\x75\x80\x00\x00", 7) + std::string(6, '\0');
    gif += std::string("\x2c\x00\x00\x00\x00\x30\x75\x30\x75\x00\x02\x02\x44\x01\x00\x3b", 16);
    folder.Write("huge.gif", gif);
    std::string bmp = "BM" + std::string(12, '\0');
    bmp[10] = 54;
    bmp += std::string("\x28\0\0\0", 4) + std::string("\x30\x75\0\0\x30\x75\0\0\x01\0\x18\0", 12) +
           std::string(24, '\0') + std::string(64, '\x40');
    folder.Write("huge.bmp", bmp);
    std::string jpeg = "\xff\xd8\xff\xe0" +
                       std::string("\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 16);
    jpeg +=
        std::string("\xff\xc0\x00\x11\x08\x75\x30\x75\x30\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01",
                    19) +
        "\xff\xd9";
    folder.Write("huge.jpg", jpeg);
    Open("claims.htm", [](Article& a) {
        a << "<title>Claims</title><p>needle<img src=\"huge.png\"><img src=\"huge.gif\">"
             "<img src=\"huge.bmp\"><img src=\"huge.jpg\"><p>after";
    });
    // The same files opened as lone pictures.
    for (const char* name : {"huge.png", "huge.gif", "huge.bmp", "huge.jpg"}) {
        try {
            view.LoadImageFile(kv::text::fromPath(PathOf(name)));
        } catch (const kv::Exception&) {
        }
        QCoreApplication::processEvents();
        ExpectNormalArticleShows();
    }
}

}  // namespace
