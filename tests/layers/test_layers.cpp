// Layer controls: hit tests through masks, glyph fades on a hand-driven timer, painting
// through the buffer with what lies beneath, and picture dragging.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTemporaryDir>

#include "layers/layers.h"

using kv::RGBColor;
using kv::TButtonLayer;
using kv::TChannel;
using kv::TChannelKind;
using kv::TImageLayer;

namespace {

// A mask of the given size whose columns [from, to) hold `inside` and the rest `outside`.
TChannel Band(int w, int h, int from, int to, std::uint8_t inside, std::uint8_t outside = 0) {
    TChannel c(TChannelKind::ckMask);
    c.SetSize(w, h);
    c.Allocate();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) c.SetValue(x, y, x >= from && x < to ? inside : outside);
    return c;
}

TChannel Glyph(int w, int h, kv::TColor color) {
    TChannel g(TChannelKind::ckColor);
    g.SetSize(w, h);
    g.Allocate();
    g.SetPaletteEntry(0, color);
    return g;
}

QImage Solid(int w, int h, QColor color) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

void Send(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)),
                      type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// A top-level layer as the screen shows it: its window's backing store, not a fresh paint.
QImage Shown(QWidget& window) {
    return window.screen()
        ->grabWindow(window.winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// What a full, fresh paint of the window gives.
QImage Fresh(QWidget& window) {
    return window.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// How many pixels two pictures of the same size differ in (-1 for another size).
int Differing(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return -1;
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) count += a.pixel(x, y) != b.pixel(x, y);
    return count;
}

// Lets the pending repaints reach the window.
void Settle() {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 40) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// A title strip with two overlapping buttons: the first at x 0..20, the second at 10..30;
// their masks meet where each says.
struct Strip {
    kv::THitTimer timer{false};
    TImageLayer strip{nullptr};
    TButtonLayer* first;
    TButtonLayer* second;

    Strip(std::uint8_t firstRight = 0, std::uint8_t secondLeft = 255) {
        strip.setGeometry(0, 0, 40, 10);
        strip.SetImage(Solid(40, 10, QColor(20, 40, 60)));
        first = new TButtonLayer(&strip, &timer);
        second = new TButtonLayer(&strip, &timer);
        first->move(0, 0);
        second->move(10, 0);
        // The first button's mask is bright on its left half and `firstRight` on its right;
        // the second's is `secondLeft` on its left half and bright on its right.
        TChannel m1 = Band(20, 10, 0, 10, 255, firstRight);
        TChannel m2 = Band(20, 10, 10, 20, 255, secondLeft);
        first->SetGlyph(Glyph(20, 10, RGBColor(200, 0, 0)));
        second->SetGlyph(Glyph(20, 10, RGBColor(0, 200, 0)));
        first->SetMask(m1);
        second->SetMask(m2);
        for (TButtonLayer* b : {first, second}) b->SetGlyphInactive(0);
    }
};

}  // namespace

TEST(LayerHitTest, PointsGoToTheTopmostButtonBrightThere) {
    {
        Strip s(0, 128);  // the second button's left half is 128: not its own
        EXPECT_EQ(s.strip.ChildLayerAt({5, 5}), s.first);
        EXPECT_EQ(s.strip.ChildLayerAt({15, 5}), nullptr);  // falls through both to the strip
        EXPECT_EQ(s.strip.ChildLayerAt({25, 5}), s.second);
        EXPECT_EQ(s.strip.ChildLayerAt({35, 5}), nullptr);
    }
    {
        Strip s(255, 128);  // beneath it, the first button is bright
        EXPECT_EQ(s.strip.ChildLayerAt({15, 5}), s.first);
    }
    {
        Strip s(255, 129);  // 129 is the second's
        EXPECT_EQ(s.strip.ChildLayerAt({15, 5}), s.second);
    }
    {
        Strip s(0, 129);
        s.second->hide();  // hidden buttons own nothing
        EXPECT_EQ(s.strip.ChildLayerAt({25, 5}), nullptr);
        EXPECT_EQ(s.strip.ChildLayerAt({5, 5}), s.first);
    }
}

TEST(LayerHitTest, PlainLayersOwnPointsByColourOrStrongMask) {
    kv::TLayer layer(nullptr);
    layer.resize(10, 10);
    EXPECT_TRUE(layer.HitTest({1, 1}));  // a fill colour owns the whole area
    layer.SetColor(kv::kNoColor);
    EXPECT_FALSE(layer.HitTest({1, 1}));
    TChannel mask = Band(4, 4, 0, 2, 193, 192);
    layer.SetMask(mask);
    layer.SetMaskAlign(kv::aLeftUp);
    EXPECT_TRUE(layer.HitTest({1, 1}));   // |193 - 128| > 64
    EXPECT_FALSE(layer.HitTest({3, 1}));  // 192 is not
    EXPECT_FALSE(layer.HitTest({6, 6}));  // outside the mask
    layer.SetMaskAlign(kv::aFrame);       // a frame mask owns nothing
    EXPECT_FALSE(layer.HitTest({1, 1}));
    // A button with a glyph and no mask owns its glyph's rectangle.
    TButtonLayer button(nullptr);
    button.SetGlyph(Glyph(6, 4, kv::kWhite));
    EXPECT_EQ(button.size(), QSize(6, 4));
    EXPECT_TRUE(button.HitTest({5, 3}));
    TButtonLayer bare(nullptr);
    EXPECT_FALSE(bare.HitTest({0, 0}));
}

TEST(LayerHitTest, PointsOutsideThePlacedMaskPictureReadZero) {
    // A 4 x 4 mask in a 10 x 10 layer: the placed rectangle is larger than the picture, and
    // every point of it past the picture's last column or row reads 0.
    kv::TLayer layer(nullptr);
    layer.resize(10, 10);
    layer.SetColor(kv::kNoColor);
    layer.SetMask(Band(4, 4, 0, 4, 160));  // |160 - 128| is not enough: not the layer's
    layer.SetMaskAlign(kv::aTile);
    EXPECT_FALSE(layer.HitTest({0, 0}));
    EXPECT_FALSE(layer.HitTest({3, 3}));
    for (QPoint zero : {QPoint(4, 1), QPoint(0, 4), QPoint(9, 9)}) EXPECT_TRUE(layer.HitTest(zero));
    for (QPoint out : {QPoint(-1, 0), QPoint(0, -1), QPoint(10, 9), QPoint(9, 10)})
        EXPECT_FALSE(layer.HitTest(out));

    TButtonLayer button(nullptr);
    button.resize(10, 10);
    button.SetMask(Band(4, 4, 0, 4, 255));
    struct Case {
        kv::TChannelAlign align;
        QPoint first;  // the picture's top left corner in the layer
    };
    for (Case c : {Case{kv::aFrame, {0, 0}}, Case{kv::aTile, {0, 0}}, Case{kv::aFrameRight, {6, 0}},
                   Case{kv::aFrameBottom, {0, 6}}}) {
        SCOPED_TRACE(static_cast<int>(c.align));
        button.SetMaskAlign(c.align);
        EXPECT_TRUE(button.HitTest(c.first));
        EXPECT_TRUE(button.HitTest(c.first + QPoint(3, 3)));
        EXPECT_FALSE(button.HitTest(c.first + QPoint(4, 1)));
        EXPECT_FALSE(button.HitTest(c.first + QPoint(0, 4)));
        EXPECT_FALSE(button.HitTest(c.first + QPoint(-1, 0)));
        EXPECT_FALSE(button.HitTest({9, 9}));
        EXPECT_FALSE(button.HitTest({10, 10}));
    }
}

TEST(LayerHitTest, RoutedClicksReachTheButtonThatOwnsThePoint) {
    Strip s(0, 128);
    s.strip.show();
    int firstClicks = 0, secondClicks = 0, stripClicks = 0;
    QObject::connect(s.first, &kv::TLayer::clicked, [&] { ++firstClicks; });
    QObject::connect(s.second, &kv::TLayer::clicked, [&] { ++secondClicks; });
    QObject::connect(&s.strip, &kv::TLayer::clicked, [&] { ++stripClicks; });
    Send(&s.strip, QEvent::MouseMove, {5, 5});
    EXPECT_TRUE(s.first->PointerInside());
    EXPECT_EQ(s.strip.cursor().shape(), s.first->LayerCursor());
    Send(&s.strip, QEvent::MouseButtonPress, {5, 5});
    Send(&s.strip, QEvent::MouseButtonRelease, {6, 5});
    EXPECT_EQ(firstClicks, 1);
    Send(&s.strip, QEvent::MouseButtonPress, {15, 5});  // see-through for both buttons
    Send(&s.strip, QEvent::MouseButtonRelease, {15, 5});
    EXPECT_EQ(stripClicks, 1);
    EXPECT_FALSE(s.first->PointerInside());
    // Pressed on one button, released over another: no click.
    Send(&s.strip, QEvent::MouseButtonPress, {5, 5});
    Send(&s.strip, QEvent::MouseButtonRelease, {25, 5});
    EXPECT_EQ(firstClicks, 1);
    EXPECT_EQ(secondClicks, 0);
}

TEST(ButtonFade, InactiveZeroShowsAtOnceAndFadesOutInFourSteps) {
    Strip s;
    TButtonLayer& b = *s.first;
    EXPECT_EQ(b.Strength(), 0);  // invisible until the pointer enters
    b.MouseEnter();
    EXPECT_EQ(b.Strength(), 255);  // no fade in
    EXPECT_FALSE(s.timer.Running());
    b.MouseLeave();
    EXPECT_TRUE(s.timer.Running());
    std::vector<int> seen;
    for (int i = 0; i < 4; ++i) {
        s.timer.Tick();
        seen.push_back(b.Strength());
    }
    EXPECT_EQ(seen, (std::vector<int>{191, 127, 63, 0}));
    EXPECT_FALSE(s.timer.Running());
    s.timer.Tick();  // an idle tick changes nothing
    EXPECT_EQ(b.Strength(), 0);
}

TEST(ButtonFade, ReenteringTurnsTheFadeRoundFromTheCurrentStrength) {
    Strip s;
    TButtonLayer& b = *s.first;
    b.FadeActive = true;
    b.MouseEnter();
    s.timer.Tick();
    EXPECT_EQ(b.Strength(), 63);  // 1 of 4 steps towards 255
    b.MouseLeave();               // 3 steps were left: now 1 remains, towards inactive
    EXPECT_EQ(s.timer.StepsLeft(&b), 1);
    s.timer.Tick();
    EXPECT_EQ(b.Strength(), 0);
    EXPECT_FALSE(s.timer.Running());

    b.MouseEnter();
    s.timer.Tick();
    s.timer.Tick();
    s.timer.Tick();
    EXPECT_EQ(b.Strength(), 191);
    b.MouseEnter();  // the same direction restarts with four steps
    EXPECT_EQ(s.timer.StepsLeft(&b), 4);
    b.MouseLeave();  // turned round at once: 0 steps of the fade out were done
    EXPECT_EQ(s.timer.StepsLeft(&b), 0);
    s.timer.Tick();
    EXPECT_EQ(b.Strength(), 0);
}

TEST(ButtonFade, BothButtonsFadeOnTheSharedTicksAndDestroyedOnesLeave) {
    Strip s;
    s.first->MouseEnter();
    s.first->MouseLeave();
    s.timer.Tick();
    s.second->MouseEnter();
    s.second->MouseLeave();
    s.timer.Tick();
    EXPECT_EQ(s.first->Strength(), 127);
    EXPECT_EQ(s.second->Strength(), 191);
    delete s.second;
    EXPECT_EQ(s.timer.StepsLeft(s.second), -1);
    s.timer.Tick();
    s.timer.Tick();
    EXPECT_EQ(s.first->Strength(), 0);
    EXPECT_FALSE(s.timer.Running());
    // Equal strengths, or fades switched off, set the strength without the timer.
    s.first->FadeInactive = false;
    s.first->MouseEnter();
    s.first->MouseLeave();
    EXPECT_EQ(s.first->Strength(), 0);
    EXPECT_FALSE(s.timer.Running());
}

TEST(LayerPaint, ButtonsBlendTheirGlyphsOverWhatLiesBeneath) {
    Strip s(0, 128);
    kv::TRGBChannel buffer;
    s.second->SetStrength(255);
    s.first->SetStrength(255);
    s.second->PaintToBuffer(buffer);
    ASSERT_EQ(buffer.Width(), 20);
    EXPECT_EQ(buffer.Pixel(15, 5), RGBColor(0, 200, 0));  // its own bright half
    // Its left half (mask 128, strength 255) mixes its glyph into the first button's
    // glyph beneath, which covers the strip there only where its own mask is bright.
    const auto mix = [](int d, int c) { return (d * (65536 - 128 * 255) + c * 128 * 255) / 65536; };
    EXPECT_EQ(buffer.Pixel(5, 5),
              RGBColor(mix(20, 0), mix(40, 200), mix(60, 0)));  // over x 15: strip
    s.first->PaintToBuffer(buffer);
    EXPECT_EQ(buffer.Pixel(2, 2), RGBColor(200, 0, 0));
    EXPECT_EQ(buffer.Pixel(15, 2), RGBColor(20, 40, 60));  // mask 0: the strip
    s.first->SetStrength(0);
    s.first->PaintToBuffer(buffer, QRect(0, 0, 2, 10));  // a repaint of the invalid part only
    EXPECT_EQ(buffer.Pixel(1, 2), RGBColor(20, 40, 60));
    EXPECT_EQ(buffer.Pixel(2, 2), RGBColor(200, 0, 0));
    s.first->PaintToBuffer(buffer);
    EXPECT_EQ(buffer.Pixel(2, 2), RGBColor(20, 40, 60));
}

TEST(LayerPaint, FadesRepaintTheButtonsAboveUntilTheStripIsAsBefore) {
    // The first button's glyph shows through the second's see-through left half.
    Strip s(200, 0);
    s.strip.show();
    Settle();
    const QImage before = Shown(s.strip);
    ASSERT_EQ(before.size(), QSize(40, 10));
    // Every step on screen is what a fresh paint gives.
    const auto expectFresh = [&s](const char* step) {
        Settle();
        EXPECT_EQ(Differing(Shown(s.strip), Fresh(s.strip)), 0) << step;
    };
    const auto runFades = [&](const char* step) {
        for (int i = 0; i < 4; ++i) {
            s.timer.Tick();
            expectFresh(step);
        }
    };
    // Hover one button, then the other, then leave; both ways round.
    for (auto [from, to] :
         {std::pair{QPoint(5, 5), QPoint(25, 5)}, {QPoint(25, 5), QPoint(5, 5)}}) {
        SCOPED_TRACE(from.x());
        Send(&s.strip, QEvent::MouseMove, from);
        expectFresh("one lit");
        Send(&s.strip, QEvent::MouseMove, to);
        expectFresh("the other lit");
        runFades("the first one fading");
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&s.strip, &leave);
        runFades("the other fading");
        EXPECT_FALSE(s.timer.Running());
        EXPECT_EQ(Differing(Shown(s.strip), before), 0);
    }
}

TEST(LayerPaint, ColourFillsAroundThePictureAndCaptionsDraw) {
    TImageLayer layer(nullptr);
    layer.resize(20, 10);
    layer.SetColor(RGBColor(0, 0, 255));
    layer.SetImage(Solid(4, 4, QColor(255, 0, 0)));
    layer.SetImageAlign(kv::aLeftUp);
    kv::TRGBChannel buffer;
    layer.PaintToBuffer(buffer);
    EXPECT_EQ(buffer.Pixel(1, 1), RGBColor(255, 0, 0));
    EXPECT_EQ(buffer.Pixel(10, 5), RGBColor(0, 0, 255));
    layer.SetImageAlign(kv::aStretch);
    layer.PaintToBuffer(buffer);
    EXPECT_EQ(buffer.Pixel(19, 9), RGBColor(255, 0, 0));
    layer.resize(60, 20);
    QFont font = layer.font();
    font.setPixelSize(14);
    layer.setFont(font);
    layer.SetCaption(QStringLiteral("ЖЖЖ"));
    QPalette palette = layer.palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    layer.setPalette(palette);
    layer.PaintToBuffer(buffer);
    bool white = false;
    for (int x = 0; x < 60; ++x)
        for (int y = 0; y < 20; ++y) white = white || kv::GreenOf(buffer.Pixel(x, y)) > 200;
    EXPECT_TRUE(white);
}

TEST(ImageLayerDrag, DraggingShiftsThePictureWithinItsBounds) {
    TImageLayer layer(nullptr);
    layer.resize(10, 10);
    layer.SetImage(Solid(30, 15, Qt::red));
    layer.SetImageAlign(kv::aLeftUp);
    layer.AutoScroll = true;
    EXPECT_TRUE(layer.HitTest({0, 0}));
    Send(&layer, QEvent::MouseButtonPress, {8, 8});
    QMouseEvent move(QEvent::MouseMove, QPointF(3, 6), layer.mapToGlobal(QPointF(3, 6)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&layer, &move);
    EXPECT_EQ(layer.ScrollOrigin(), QPoint(5, 2));
    QMouseEvent far(QEvent::MouseMove, QPointF(-100, -100), layer.mapToGlobal(QPointF(-100, -100)),
                    Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&layer, &far);
    EXPECT_EQ(layer.ScrollOrigin(), QPoint(20, 5));  // picture size less the content size
}

TEST(ImageLayerScale, JpegPicturesDecodeAtTheChosenScale) {
    QImage picture = Solid(64, 32, Qt::green);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.jpg"));
    ASSERT_TRUE(picture.save(path, "JPEG"));
    TImageLayer layer(nullptr);
    layer.SetAutoSize(true);
    ASSERT_TRUE(layer.LoadImageFile(path));
    EXPECT_EQ(layer.size(), QSize(64, 32));
    layer.SetScale(kv::jsQuarter);
    EXPECT_EQ(layer.Image().size(), QSize(16, 8));
    EXPECT_EQ(layer.size(), QSize(16, 8));
    EXPECT_FALSE(layer.LoadImageFile(dir.filePath(QStringLiteral("missing.jpg"))));
}

TEST(ButtonKeyboard, TabFocusLightsTheGlyphAndEnterOrSpacePressTheButton) {
    Strip s;
    TButtonLayer& b = *s.first;
    b.setFocusPolicy(Qt::TabFocus);
    int clicks = 0;
    QObject::connect(&b, &TButtonLayer::clicked, [&clicks] { ++clicks; });
    const auto send = [&b](QEvent&& event) { QApplication::sendEvent(&b, &event); };
    // Focus that the window gives on activation is no keyboard focus: nothing lights.
    send(QFocusEvent(QEvent::FocusIn, Qt::ActiveWindowFocusReason));
    EXPECT_FALSE(b.KeyboardFocused());
    EXPECT_EQ(b.Strength(), 0);
    send(QFocusEvent(QEvent::FocusIn, Qt::TabFocusReason));
    EXPECT_TRUE(b.KeyboardFocused());
    EXPECT_EQ(b.Strength(), 255);
    // The pointer passing over leaves the focused button lit.
    b.MouseEnter();
    b.MouseLeave();
    EXPECT_FALSE(s.timer.Running());
    EXPECT_EQ(b.Strength(), 255);
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_A})
        send(QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
    EXPECT_EQ(clicks, 3);
    send(QFocusEvent(QEvent::FocusOut, Qt::TabFocusReason));
    EXPECT_FALSE(b.KeyboardFocused());
    for (int i = 0; i < 10 && s.timer.Running(); ++i) s.timer.Tick();
    EXPECT_EQ(b.Strength(), 0);
}
