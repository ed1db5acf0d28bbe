// The document: appending, layout with a failing section, timers, print copies, image fetching
// and names; and a deterministic run of hostile input through build, layout, paint and queries.

#include <gtest/gtest.h>

#include <random>

#include "html/layout/builder.h"
#include "tests/common/testhost.h"
#include "tests/common/testutil.h"
#include "tests/images/gifwriter.h"
#include "tests/layout/layouttest.h"

namespace kv {
namespace {

using test::Doc;

class FailingSection : public TSectionBase {
public:
    using TSectionBase::TSectionBase;
    int Layout(const TLayoutContext&, int, int, int, int&) override {
        throw EProcessError("Section too complex");
    }
};

TEST(SectionList, EmptyParagraphsAreDroppedPreformattedStay) {
    Doc doc;
    TSectionStyle style;
    auto link = std::make_unique<TSection>(&doc.list, style);
    link->SwitchLinkFont(true, TFontSpec{}, nullptr, nullptr, {"a.htm", "", 1});
    EXPECT_EQ(doc.list.LinkRuns.size(), 1u);
    doc.list.AppendSection(std::move(link));
    EXPECT_EQ(doc.list.Count(), 0);
    EXPECT_TRUE(doc.list.LinkRuns.empty());
    doc.Add(" ");  // a paragraph of one collapsed space
    EXPECT_EQ(doc.list.Count(), 0);
    doc.Add<TPreFormated>("");
    EXPECT_EQ(doc.list.Count(), 1);
    auto kept = std::make_unique<TSection>(&doc.list, style);
    kept->KeepWhenEmpty = true;
    doc.list.AppendSection(std::move(kept));
    EXPECT_EQ(doc.list.Count(), 2);
}

TEST(SectionList, FailingSectionIsReportedAndDropped) {
    kvtest::MessageRecorder messages;
    kvtest::TestHost host;
    Doc doc;
    doc.list.SetHost(&host);
    doc.Add("one");
    doc.list.AppendSection(std::make_unique<FailingSection>(&doc.list));
    doc.Add("two");
    EXPECT_EQ(doc.Layout(600), 26);
    EXPECT_EQ(doc.list.Count(), 2);
    // Told to the host, which shows it; layout raises no box itself.
    EXPECT_EQ(host.Failures, std::vector<std::string>{"Section too complex"});
    EXPECT_TRUE(messages.Boxes().empty());
    EXPECT_EQ(doc.list.CursorCount, 6);
}

TEST(SectionList, TimerOnlyWithAnimationsAndNeverInPrintCopies) {
    Doc doc;
    doc.Add("text");
    doc.Layout(600);
    EXPECT_FALSE(doc.list.TimerEnabled());
    TSectionList copy(doc.list, TTestFontEngine::Shared());
    EXPECT_TRUE(copy.IsPrinting());
    EXPECT_EQ(copy.Count(), 1);
    int width = 0;
    TRecordingCanvas canvas;
    copy.DoLayout(canvas, 600, 400, width);
    EXPECT_FALSE(copy.TimerEnabled());
    copy.Paint(canvas, QRect(0, 0, 600, 1000), 0, 0);
    EXPECT_EQ(canvas.Text(), "TEXT 0 0 MS Sans Serif 10 #000000 \"text\"\n");
}

// Records what the document asks of an animation.
class LoggingAnimation : public TAnimatedImage {
public:
    explicit LoggingAnimation(std::string& log) : log_(log) {}
    std::unique_ptr<TAnimatedImage> Clone() const override {
        return std::make_unique<LoggingAnimation>(log_);
    }
    int Width() const override { return 4; }
    int Height() const override { return 4; }
    int FrameCount() const override { return 3; }
    int CurrentFrame() const override { return frame_; }
    void SetCurrentFrame(int frame) override {
        frame_ = frame, log_ += "frame" + std::to_string(frame) + " ";
    }
    void Start() override { on_ = true, log_ += "on "; }
    void Stop() override { on_ = false, log_ += "off "; }
    void Advance() override { frame_ = (frame_ + 1) % 3; }
    QImage FrameImage() const override { return QImage(4, 4, QImage::Format_RGB32); }
    QImage FrameMask() const override { return QImage(); }
    void Draw(TCanvas&, const QRect&) override { Painted = true; }
    bool on_ = false;

private:
    std::string& log_;
    int frame_ = 0;
};

TEST(SectionList, EveryLayoutRestartsTheAnimationsFromTheFirstFrame) {
    Doc doc;
    doc.Add("text");
    std::string log;
    LoggingAnimation animation(log);
    doc.list.AddAnimated(&animation);
    doc.Layout(600);
    animation.Advance();
    log.clear();
    doc.Layout(300);  // a window resize
    // Turned off and on again, so the pass count and the clock start anew, not kept running.
    EXPECT_EQ(log, "frame0 off on ");
    EXPECT_EQ(animation.CurrentFrame(), 0);
    EXPECT_TRUE(animation.on_);
    EXPECT_TRUE(doc.list.TimerEnabled());
    doc.list.RemoveAnimated(&animation);
}

TEST(SectionList, AnchorsPositionsAndSectionAt) {
    Doc doc;
    doc.Add("first");
    TSection& second = doc.Add("second");
    doc.list.RegisterId("Top", &second);
    doc.Layout(600);
    EXPECT_EQ(doc.list.IDNames.Find("TOP"), &second);
    EXPECT_EQ(doc.list.IDNames.Find("TOP")->TopY(), 13);
    ASSERT_EQ(doc.list.Positions.size(), 2u);
    int y = 0, index = 0;
    EXPECT_EQ(doc.list.SectionAt(20, y, index), &second);
    EXPECT_EQ(y, 13);
    EXPECT_EQ(index, 1);
    doc.list.Clear();
    EXPECT_EQ(doc.list.IDNames.Count(), 0);
    EXPECT_EQ(doc.list.SectionAt(20, y, index), nullptr);
}

TEST(SectionList, FetchImageCachesByKeyAndMakesCornerMasks) {
    kvtest::TestHost host;
    Doc doc;
    doc.list.SetHost(&host);
    int asked = 0;
    host.OnBitmapRequest = [&](const std::string&, std::unique_ptr<TBitmap>& bitmap,
                               std::int64_t& transparent) {
        ++asked;
        bitmap = std::make_unique<TBitmap>(4, 4, TPixelFormat::pf32bit);
        bitmap->Fill(0xFFFFFF);
        bitmap->SetPixel(0, 3, 0x0000FF);  // red
        transparent = -1;
    };
    TFetchResult first = doc.list.FetchImage(" pic.gif ", 0);
    ASSERT_TRUE(first.Still);
    EXPECT_FALSE(first.FromCache);
    TFetchResult second = doc.list.FetchImage("PIC.GIF", 1);
    EXPECT_TRUE(second.FromCache);
    EXPECT_EQ(second.Transparency, 1);
    ASSERT_FALSE(second.Still->Mask.isNull());
    EXPECT_EQ(QColor(second.Still->Mask.pixel(0, 3)), QColor(Qt::white));
    EXPECT_EQ(QColor(second.Still->Mask.pixel(1, 1)), QColor(Qt::black));
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(doc.list.FetchImage("", 0).Ok());
}

// A document without a viewer reads pictures with the same decoders and the same cache as
// one inside a viewer: an animated GIF animates, and the document gives its cache uses back.
TEST(SectionList, WithoutAHostPicturesComeThroughTheImageCache) {
    kvtest::TempFolder folder;
    kvtest::GifFile gif;
    gif.width = gif.height = 2;
    gif.globalDepth = 1;
    gif.globalTable = kvtest::MakeTable(1);
    for (int i = 0; i < 2; ++i) {
        kvtest::GifFrame frame;
        frame.width = frame.height = 2;
        frame.pixels = {std::uint8_t(i), 1, 0, std::uint8_t(1 - i)};
        frame.control = true;
        frame.delayCs = 10;
        gif.frames.push_back(frame);
    }
    folder.Write("run.gif", kvtest::EncodeGif(gif));
    Doc doc;
    doc.list.SetBaseFolder(folder.Path().string() + "/");
    TFetchResult result = doc.list.FetchImage(doc.list.ExpandImageName("run.gif"), 0);
    ASSERT_TRUE(result.Animated);
    EXPECT_EQ(result.Animated->FrameCount(), 2);
    TBitmapItem* entry = doc.list.ImageCache().Find(doc.list.ExpandImageName("run.gif"));
    ASSERT_NE(entry, nullptr);
    EXPECT_GT(entry->UseCount, 0);
    doc.list.Clear();
    EXPECT_EQ(entry->UseCount, 0);
}

// The first text section of a cell, looking into blocks.
TSection* FirstText(const TCellBasic& cell) {
    for (const auto& section : cell.Sections) {
        if (auto* text = dynamic_cast<TSection*>(section.get())) return text;
        if (auto* block = dynamic_cast<TBlock*>(section.get()))
            if (TSection* inside = FirstText(block->Content)) return inside;
    }
    return nullptr;
}

// Runs keep their fonts in the document's pool, one entry per distinct font; a print copy keeps
// its own, so the source can load another article while the copy is still printed.
TEST(SectionList, RunsShareTheirFontsAndPrintCopiesKeepTheirOwn) {
    Doc doc;
    doc.list.SetDefaults(TDocumentDefaults{});
    THtmlBuilder builder(doc.list);
    std::string html;
    for (int i = 0; i < 200; ++i) html += "plain <b>bold</b> <a href=x.htm>link</a> ";
    builder.LoadHtmlText(html);
    TSection* section = FirstText(doc.list);
    ASSERT_NE(section, nullptr);
    EXPECT_GT(section->FontRuns.Count(), 600);
    EXPECT_LE(doc.list.FontPool().Count(), 8u);  // normal, bold, link, visited, hover
    auto copy = std::make_unique<TSectionList>(doc.list, TTestFontEngine::Shared());
    doc.list.Clear();
    EXPECT_EQ(doc.list.FontPool().Count(), 0u);
    TSection* copied = FirstText(*copy);
    ASSERT_NE(copied, nullptr);
    EXPECT_TRUE(copied->FontRuns[1].CurrentFont().Bold);
    EXPECT_FALSE(copied->FontRuns[0].CurrentFont().Bold);
}

TEST(SectionList, MissingFilesGiveErrorPlaceholdersAndFloatsDrawLast) {
    kvtest::TempFolder folder;
    Doc doc;
    doc.list.SetBaseFolder(folder.Path().string() + "/");
    auto section = std::make_unique<TSection>(&doc.list, TSectionStyle{});
    TImageObj* image = section->AppendImage({{"SRC", "none.gif"}, {"ALIGN", "left"}}, 0);
    doc.Append(*section, "text");
    doc.list.AppendSection(std::move(section));
    doc.Layout(600);
    EXPECT_TRUE(image->IsError());
    const std::string painted = doc.Paint();
    // Text first, then the float over it.
    EXPECT_EQ(painted.substr(0, 4), "TEXT");
    EXPECT_NE(painted.find("BLIT 7 4"), std::string::npos) << painted;
}

// Random documents of words, breaks, spaces, images and floats at random widths: nothing
// crashes or hangs, heights are sane, and every query answers inside the document.
TEST(Robustness, RandomDocuments) {
    std::mt19937 random(12345);
    for (int round = 0; round < 200; ++round) {
        Doc doc;
        const int sections = 1 + int(random() % 8);
        for (int k = 0; k < sections; ++k) {
            TSectionStyle style;
            style.Alignment = THAlign(1 + random() % 3);
            style.ClearSide = TSide(random() % 4);
            style.LineHeight = int(random() % 30);
            auto section = random() % 5 == 0 ? std::make_unique<TPreFormated>(&doc.list, style)
                                             : std::make_unique<TSection>(&doc.list, style);
            const int pieces = int(random() % 30);
            for (int i = 0; i < pieces; ++i) {
                switch (random() % 7) {
                case 0: {
                    const char* aligns[] = {"left", "right", "top", "middle", "x"};
                    section->AppendImage({{"ALIGN", aligns[random() % 5]},
                                          {"WIDTH", std::to_string(random() % 400)},
                                          {"HEIGHT", std::to_string(random() % 300)},
                                          {"HSPACE", std::to_string(random() % 100)}},
                                         doc.source++, random() % 2);
                    break;
                }
                case 1: doc.Append(*section, "\x08"); break;
                case 2: doc.Append(*section, std::string(random() % 3000, 'w')); break;
                case 3: doc.Append(*section, " "); break;
                case 4: {
                    TFontSpec font;
                    font.Size = 1 + int(random() % 40);
                    section->SwitchFont(font, std::uint8_t(random() % 3));
                    break;
                }
                default: {
                    std::string word;
                    for (int c = int(random() % 12); c > 0; --c) word += char(random() % 256);
                    doc.Append(*section, word);
                }
                }
            }
            doc.list.AppendSection(std::move(section));
        }
        const int width = int(random() % 2000) - 100;
        const int height = doc.Layout(width);
        EXPECT_GE(height, 0);
        EXPECT_LT(height, 50000000);
        doc.list.Select(int(random() % 100), int(random() % 100));
        doc.list.SetShowCaret(random() % 2);
        doc.Paint(QRect(0, int(random() % 500), 800, 600));
        TCursorHit hit;
        TLinkHit link;
        for (int probe = 0; probe < 20; ++probe) {
            const int x = int(random() % 1000), y = int(random() % 3000);
            const int cursor = doc.list.CursorAt(doc.canvas, x, y, hit);
            EXPECT_LE(cursor, doc.list.CursorCount);
            doc.list.LinkAt(doc.canvas, x, y, link);
            int px = 0, py = 0;
            doc.list.CursorToPoint(&doc.canvas, int(random() % 200), py, px);
            doc.list.SourceToDoc(int(random() % 300), random() % 2);
        }
        doc.list.SearchText(0, u"ww", false);
        doc.list.SelectedText();
    }
}

TEST(Robustness, HugeWordsAndWidths) {
    Doc doc;
    TSection& s = doc.Add("a " + std::string(100000, 'w') + " b");
    doc.Layout(2000000000);
    EXPECT_EQ(s.LineList.size(), 1u);
    doc.Layout(-5);  // nothing fits: one word per line, no hang
    EXPECT_EQ(s.LineList.size(), 3u);
    EXPECT_EQ(doc.maxWidth, 600000);
    // Real faces: measuring a 100,000-character word costs what fits, not its length.
    TImageCanvas canvas(10, 10);
    int width = 0;
    doc.list.DoLayout(canvas, 300, 400, width);
    EXPECT_EQ(s.LineList.size(), 3u);
}

}  // namespace
}  // namespace kv
