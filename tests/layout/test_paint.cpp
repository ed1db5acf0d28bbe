// Painting: text drawn at the advances the layout measured, the halftone palette of palette
// devices, printing pages to a PDF file, link runs of discarded sections, and images that
// animate only under the mouse.

#include <gtest/gtest.h>

#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QRegularExpression>

#include "html/images/display.h"
#include "html/layout/builder.h"
#include "platform/codec.h"
#include "platform/printcanvas.h"
#include "tests/common/testutil.h"
#include "tests/layout/layouttest.h"

namespace kv {
namespace {

using test::Doc;

// ---------------------------------------------------------------- text

// What the canvas drew before it drew runs at once: each character on its own at the x the
// layout measured for it.
QImage PerCharacter(const TFontSpec& font, std::string_view text, int x, int top, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    QFont face = TQtFontEngine::MakeQFont(font);
    p.setFont(face);
    p.setPen(ToQColor(font.Color));
    const TTextMeasure& measure = TQtFontEngine::Shared().Measure(font);
    const int base = top + measure.Metrics().Ascent;
    int cx = x;
    for (char c : text) {
        const char16_t unit = cp1251::toUnicode(static_cast<unsigned char>(c));
        if (c != ' ') p.drawText(QPoint(cx, base), QString(QChar(unit)));
        cx += measure.Extent(std::u16string_view(&unit, 1));
    }
    return image;
}

// Columns that hold ink.
std::vector<bool> InkColumns(const QImage& image) {
    std::vector<bool> ink(std::size_t(image.width()), false);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 160) ink[std::size_t(x)] = true;
    return ink;
}

TEST(TextPaint, OneRunPerCallInksTheColumnsOfPerCharacterPlacement) {
    for (const char* face : {"Arial", "Times New Roman", "Courier New"}) {
        TFontSpec font;
        font.Name = face;
        font.Size = 12;
        const std::string text = kvtest::W("Кварнеля: lil WWW iii, ёлка — 1999 г.");
        TImageCanvas canvas(400, 40);
        canvas.SetFont(font);
        canvas.TextOut(5, 8, cp1251::toUtf16(text));
        const QImage ours = canvas.Image();
        const QImage reference = PerCharacter(font, text, 5, 8, ours.size());
        EXPECT_EQ(InkColumns(ours), InkColumns(reference)) << face;
        int differing = 0, inked = 0;
        for (int y = 0; y < ours.height(); ++y)
            for (int x = 0; x < ours.width(); ++x) {
                differing += ours.pixel(x, y) != reference.pixel(x, y);
                inked += qGray(reference.pixel(x, y)) < 255;
            }
        EXPECT_GT(inked, 200) << face;
        EXPECT_LE(differing, inked / 50) << face;
    }
}

TEST(TextPaint, OpaqueBackgroundAndUnderlineSpanTheMeasuredWidth) {
    TFontSpec font;
    font.Name = "Arial";
    font.Size = 10;
    font.Underline = true;
    const std::string text = "ab cd";
    TImageCanvas canvas(200, 30);
    canvas.SetFont(font);
    canvas.SetBkOpaque(true);
    canvas.SetBkColor(0x00FFFF);  // yellow
    canvas.TextOut(10, 5, text);
    const int width = canvas.TextExtent(text);
    const QImage image = canvas.Image();
    EXPECT_EQ(image.pixel(10, 5), qRgb(255, 255, 0));
    EXPECT_EQ(image.pixel(10 + width - 1, 5), qRgb(255, 255, 0));
    EXPECT_EQ(image.pixel(10 + width, 5), qRgb(255, 255, 255));
    const int underline = 5 + canvas.Metrics().Ascent + 1;
    for (int x = 10; x < 10 + width; ++x) EXPECT_EQ(image.pixel(x, underline), qRgb(0, 0, 0)) << x;
}

// ---------------------------------------------------------------- palette

TEST(Palette, PaletteDevicesShowTheNearestEntryOthersTheColour) {
    const TColor odd = RGBColor(100, 140, 20);
    TImageCanvas plain(4, 4);
    plain.SelectPalette(&ThePalette());
    plain.FillRect(QRect(0, 0, 4, 4), odd);
    EXPECT_EQ(plain.Image().pixel(1, 1), qRgb(100, 140, 20));

    TImageCanvas eight(4, 4);
    eight.SetPaletteDevice(true);
    eight.FillRect(QRect(0, 0, 4, 4), odd);  // no palette selected yet: the colour itself
    EXPECT_EQ(eight.Image().pixel(1, 1), qRgb(100, 140, 20));
    eight.SelectPalette(&ThePalette());
    eight.FillRect(QRect(0, 0, 4, 4), odd);
    const TColor shown = eight.DeviceColor(odd);
    bool inPalette = false;
    for (const TPaletteEntry& e : ThePalette()) inPalette = inPalette || e.Color() == shown;
    EXPECT_TRUE(inPalette);
    EXPECT_EQ(eight.Image().pixel(1, 1), qRgb(RedOf(shown), GreenOf(shown), BlueOf(shown)));
    EXPECT_EQ(eight.DeviceColor(0x80000000u | 13), RGBColor(0, 0, 128));  // in the palette
}

// Remembers which palette was selected while text was drawn.
class PaletteProbe : public TRecordingCanvas {
public:
    std::vector<const TPalette*> seen;

protected:
    void DoTextOut(int x, int y, std::u16string_view text, const QRect* clip) override {
        seen.push_back(SelectedPalette());
        TRecordingCanvas::DoTextOut(x, y, text, clip);
    }
};

TEST(Palette, DocumentPaintSelectsTheHalftonePaletteOnPaletteDevicesOnly) {
    Doc doc;
    doc.Add("some text");
    doc.Layout(300);
    PaletteProbe probe;
    const TPalette own{TPaletteEntry::Of(0)};
    probe.SelectPalette(&own);
    doc.list.Paint(probe, QRect(0, 0, 300, 100), 0, 0);
    ASSERT_FALSE(probe.seen.empty());
    EXPECT_EQ(probe.seen.back(), &own);  // a true-colour canvas keeps its palette

    probe.SetPaletteDevice(true);
    probe.seen.clear();
    doc.list.Paint(probe, QRect(0, 0, 300, 100), 0, 0);
    ASSERT_FALSE(probe.seen.empty());
    EXPECT_EQ(probe.seen.back(), &ThePalette());
    EXPECT_EQ(probe.SelectedPalette(), &own);  // given back after the paint
}

// ---------------------------------------------------------------- printing

// Prints a document page by page the way a printing loop does: one page-high strip a page.
int PrintTo(QPagedPaintDevice& writer, std::string_view html) {
    TSectionList doc(TQtFontEngine::Shared());
    THtmlBuilder builder(doc);
    builder.LoadHtmlText(html);
    TPrinterCanvas canvas(writer);
    EXPECT_TRUE(canvas.Active());
    EXPECT_TRUE(canvas.IsPrinter());
    const int width = canvas.LogicalWidth(), pageHeight = canvas.LogicalHeight();
    int maxWidth = 0;
    const int height = doc.DoLayout(canvas, width, pageHeight, maxWidth);
    for (int top = 0;; top += pageHeight) {
        doc.SetScrollTop(top);
        canvas.SetClipRect(QRect(0, 0, width, pageHeight));
        doc.Paint(canvas, QRect(0, 0, width, pageHeight), 0, 0);
        if (top + pageHeight >= height) break;
        canvas.NewPage();
    }
    canvas.End();
    return canvas.PagesStarted();
}

TEST(PrinterCanvas, PrintsEveryPageOfADocumentToAPdfFile) {
    kvtest::TempFolder folder;
    const std::string file = (folder.Path() / "out.pdf").string();
    std::string html = "<h1>Title</h1>";
    for (int i = 0; i < 120; ++i) html += "<p>Paragraph " + std::to_string(i) + " of text.</p>";
    {
        QPdfWriter writer(QString::fromStdString(file));
        writer.setResolution(300);
        writer.setPageSize(QPageSize(QPageSize::A5));
        const int pages = PrintTo(writer, html);
        EXPECT_GE(pages, 2);
        const std::string bytes = kvtest::ReadFile(file);
        ASSERT_FALSE(bytes.empty());
        EXPECT_EQ(bytes.rfind("%PDF", 0), 0u);
        EXPECT_NE(bytes.find("/BaseFont"), std::string::npos);  // the text went out as glyphs
        const QString text = QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
        EXPECT_EQ(text.count(QRegularExpression("/Type\\s*/Page(?!s)")), pages);
    }
    QPdfWriter one(QString::fromStdString((folder.Path() / "one.pdf").string()));
    EXPECT_EQ(PrintTo(one, "<p>short</p>"), 1);

    // The same through a printer object writing PDF, as printing without a printer does.
    const std::string printed = (folder.Path() / "printer.pdf").string();
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(printed));
        printer.setPageSize(QPageSize(QPageSize::A5));
        const int pages = PrintTo(printer, html);
        EXPECT_GE(pages, 2);
        const std::string bytes = kvtest::ReadFile(printed);
        const QString text = QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
        EXPECT_EQ(text.count(QRegularExpression("/Type\\s*/Page(?!s)")), pages);
    }
}

TEST(PrinterCanvas, LogicalUnitsAreScreenPixelsOnTheDevice) {
    kvtest::TempFolder folder;
    QPdfWriter writer(QString::fromStdString((folder.Path() / "scale.pdf").string()));
    writer.setResolution(600);
    TPrinterCanvas canvas(writer);
    EXPECT_EQ(canvas.PpiX(), 600);
    EXPECT_NEAR(canvas.LogicalWidth(), canvas.PageWidth() * 96 / 600, 1);
    EXPECT_EQ(canvas.DeviceToLogical(QRect(0, 0, 600, 1200)), QRect(0, 0, 96, 192));
    canvas.End();
    canvas.FillRect(QRect(0, 0, 10, 10), 0);  // after the end: nothing, no failure
    EXPECT_FALSE(canvas.NewPage());
}

// ---------------------------------------------------------------- link runs

TEST(LinkRuns, DiscardedSectionsTakeOnlyTheirOwnRunsWithThem) {
    Doc doc;
    doc.list.SetHoverLinks(true);
    TFontSpec link;
    link.Color = 0xFF0000;
    auto linked = [&](const char* url, int id) {
        auto s = std::make_unique<TSection>(&doc.list, TSectionStyle{});
        s->SwitchLinkFont(true, link, nullptr, &link, {url, "", id});
        return s;
    };
    auto first = linked("a.htm", 1);
    doc.Append(*first, "first");
    TSection& a = *first;
    doc.list.AppendSection(std::move(first));
    auto empty = linked("b.htm", 2);  // stays empty: discarded
    auto last = linked("c.htm", 3);   // listed after the empty one's run
    doc.Append(*last, "last");
    TSection& c = *last;
    doc.list.AppendSection(std::move(empty));
    doc.list.AppendSection(std::move(last));
    ASSERT_EQ(doc.list.LinkRuns.size(), 2u);
    EXPECT_EQ(doc.list.LinkRuns[0], &a.FontRuns[0]);
    EXPECT_EQ(doc.list.LinkRuns[1], &c.FontRuns[0]);

    doc.Layout(300);
    doc.Paint();
    TLinkHit hit;
    ASSERT_TRUE(doc.list.LinkAt(doc.canvas, 3, a.Top + 5, hit));
    doc.list.MouseOver(hit);
    EXPECT_EQ(hit.Target.Url, "a.htm");
    EXPECT_TRUE(a.FontRuns[0].Hovered);
    ASSERT_TRUE(doc.list.LinkAt(doc.canvas, 3, c.Top + 5, hit));
    doc.list.MouseOver(hit);
    EXPECT_EQ(hit.Target.Url, "c.htm");
    EXPECT_FALSE(a.FontRuns[0].Hovered);
    EXPECT_TRUE(c.FontRuns[0].Hovered);
}

// ---------------------------------------------------------------- hover animation

class CountingAnimation : public TAnimatedImage {
public:
    explicit CountingAnimation(int frames) : frames_(frames) {}
    std::unique_ptr<TAnimatedImage> Clone() const override {
        return std::make_unique<CountingAnimation>(*this);
    }
    int Width() const override { return 20; }
    int Height() const override { return 20; }
    int FrameCount() const override { return frames_; }
    int CurrentFrame() const override { return frame_; }
    void SetCurrentFrame(int frame) override { frame_ = frame; }
    void Start() override { running_ = true; }
    void Stop() override { running_ = false; }
    void Advance() override {
        if (running_) frame_ = (frame_ + 1) % frames_;
    }
    QImage FrameImage() const override {
        QImage image(20, 20, QImage::Format_RGB32);
        image.fill(Qt::red);
        return image;
    }
    QImage FrameMask() const override { return {}; }
    void Draw(TCanvas&, const QRect&) override { Painted = true; }

private:
    int frames_, frame_ = 0;
    bool running_ = true;
};

// A document whose every picture is a counting animation.
class CountingDocument : public TSectionList {
public:
    CountingDocument() : TSectionList(TTestFontEngine::Shared()) {}
    TFetchResult FetchImage(const std::string&, int) override {
        TFetchResult result;
        auto made = std::make_unique<CountingAnimation>(4);
        animation = made.get();
        result.Animated = std::move(made);
        return result;
    }
    CountingAnimation* animation = nullptr;
};

TEST(HoverAnimation, FramesAdvanceOnlyWhileTheMouseIsOverTheImage) {
    CountingDocument doc;
    CountingAnimation*& animation = doc.animation;
    THtmlBuilder builder(doc);
    builder.LoadHtmlText(
        "<body marginwidth=0 marginheight=0><a href=\"x.htm\"><img src=\"run.gif\" active></a>");
    TRecordingCanvas canvas;
    int maxWidth = 0;
    doc.DoLayout(canvas, 300, 300, maxWidth);
    ASSERT_NE(animation, nullptr);
    EXPECT_FALSE(doc.TimerEnabled());  // nothing animates by itself
    auto tick = [&] {
        doc.Paint(canvas, QRect(0, 0, 300, 300), 0, 0);
        doc.AnimationTick();
    };
    tick();
    tick();
    EXPECT_EQ(animation->CurrentFrame(), 0);

    TLinkHit hit;
    ASSERT_TRUE(doc.LinkAt(canvas, 5, 5, hit));
    doc.MouseOver(hit);
    ASSERT_NE(hit.Image, nullptr);
    EXPECT_TRUE(hit.Image->HoverOn);
    tick();
    tick();
    EXPECT_EQ(animation->CurrentFrame(), 2);

    doc.ClearHover();
    EXPECT_EQ(animation->CurrentFrame(), 0);  // back to the first frame
    tick();
    EXPECT_EQ(animation->CurrentFrame(), 0);
}

}  // namespace
}  // namespace kv
