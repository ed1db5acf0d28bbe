// The canvases that draw through QPainter: the shared painter canvas and the pixel canvas.
#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>
#include <algorithm>
#include <array>

#include "platform/canvas.h"
#include "platform/codec.h"

namespace kv {

// ---------------------------------------------------------------- painter canvas

// A face ready to draw Windows-1251 text: the raw font, the glyph of every byte (0 where the
// face has none) and the advance of every byte as the layout measures it.
struct TPainterCanvas::GlyphFace {
    QFont font;
    QRawFont raw;
    std::array<quint32, 256> glyphs{};
    std::array<int, 256> advances{};
};

TPainterCanvas::TPainterCanvas(TFontEngine& fonts) : TCanvas(fonts) {}

TPainterCanvas::~TPainterCanvas() = default;

QPainter* TPainterCanvas::ActivePainter() {
    if (!painter_) painter_ = std::make_unique<QPainter>();
    if (!painter_->isActive()) {
        QPaintDevice* device = Device();
        if (!device || !painter_->begin(device)) return nullptr;
        Prepare(*painter_);
        if (clipped_) painter_->setClipRegion(clip_);
    }
    return painter_.get();
}

void TPainterCanvas::EndPainter() {
    if (painter_ && painter_->isActive()) painter_->end();
}

void TPainterCanvas::ApplyClip() {
    if (!painter_ || !painter_->isActive()) return;
    if (clipped_)
        painter_->setClipRegion(clip_);
    else
        painter_->setClipping(false);
}

void TPainterCanvas::FillRect(const QRect& rect, TColor color) {
    if (color == kNoColor || rect.isEmpty()) return;
    QPainter* p = ActivePainter();
    if (!p) return;
    p->setCompositionMode(QPainter::CompositionMode_SourceOver);
    p->fillRect(rect, ToQColor(DeviceColor(color)));
}

void TPainterCanvas::FrameRect(const QRect& rect, TColor color) {
    if (rect.isEmpty() || color == kNoColor) return;
    const QRect r = rect.normalized();
    FillRect(QRect(r.left(), r.top(), r.width(), 1), color);
    FillRect(QRect(r.left(), r.bottom(), r.width(), 1), color);
    FillRect(QRect(r.left(), r.top(), 1, r.height()), color);
    FillRect(QRect(r.right(), r.top(), 1, r.height()), color);
}

void TPainterCanvas::Rectangle(const QRect& rect) {
    if (brush_ != kNoColor) FillRect(rect.adjusted(1, 1, -1, -1), brush_);
    FrameRect(rect, pen_);
}

void TPainterCanvas::Line(int x1, int y1, int x2, int y2) {
    QPainter* p = ActivePainter();
    if (!p) return;
    p->setCompositionMode(QPainter::CompositionMode_SourceOver);
    p->setPen(QPen(ToQColor(DeviceColor(pen_)), 1));
    p->drawLine(x1, y1, x2, y2);
}

const TPainterCanvas::GlyphFace& TPainterCanvas::Face() {
    TFontSpec key = font_;
    key.Color = 0;
    key.BackColor = kNoColor;
    key.Underline = key.StrikeOut = false;                           // drawn as lines over the run
    if (faces_.size() >= 256 && !faces_.count(key)) faces_.clear();  // documents use a handful
    auto& face = faces_[key];
    if (face) return *face;
    face = std::make_unique<GlyphFace>();
    face->font = TQtFontEngine::MakeQFont(key);
    face->raw = QRawFont::fromFont(face->font);
    QChar chars[256];
    for (int byte = 0; byte < 256; ++byte)
        chars[byte] = QChar(cp1251::toUnicode(static_cast<unsigned char>(byte)));
    int count = 256;
    if (!face->raw.isValid() ||
        !face->raw.glyphIndexesForChars(chars, 256, face->glyphs.data(), &count))
        face->glyphs.fill(0);
    const TTextMeasure& measure = Measure(key);
    for (int byte = 0; byte < 256; ++byte) {
        const char16_t one = cp1251::toUnicode(static_cast<unsigned char>(byte));
        face->advances[std::size_t(byte)] = measure.Extent(std::u16string_view(&one, 1));
        if (byte < 32) face->glyphs[std::size_t(byte)] = 0;  // control bytes draw nothing
    }
    return *face;
}

// A character Windows-1251 has through the face's byte table, any other as the font measures it
// (a surrogate pair's width on its first unit).
int TPainterCanvas::UnitAdvance(const GlyphFace& face, std::u16string_view text, size_t i,
                                bool& inPage, unsigned char& byte) {
    inPage = cp1251::byteOf(text[i], byte);
    if (inPage) return face.advances[byte];
    if (QChar::isLowSurrogate(text[i]) && i > 0 && QChar::isHighSurrogate(text[i - 1])) return 0;
    const size_t n = QChar::isHighSurrogate(text[i]) && i + 1 < text.size() ? 2 : 1;
    return Measure().Extent(text.substr(i, n));
}

// One glyph run with every character at the place the layout measured for it: the layout's
// widths are whole pixels per character, a string shaped at once would drift from them.
void TPainterCanvas::DrawUnits(QPainter& p, const GlyphFace& face, std::u16string_view text, int x,
                               int base) {
    QVector<quint32> glyphs;
    QVector<QPointF> positions;
    glyphs.reserve(qsizetype(text.size()));
    positions.reserve(qsizetype(text.size()));
    int cx = x;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        bool inPage = false;
        unsigned char byte = 0;
        const int w = UnitAdvance(face, text, i, inPage, byte);
        if (inPage && c != ' ' && face.glyphs[byte] != 0) {
            glyphs.push_back(face.glyphs[byte]);
            positions.push_back(QPointF(cx, base));
        } else if (c != ' ' && c >= 32 && !QChar::isLowSurrogate(c)) {
            // Not in this face: the toolkit finds a fallback face for the one character.
            const bool pair = QChar::isHighSurrogate(c) && i + 1 < text.size() &&
                              QChar::isLowSurrogate(text[i + 1]);
            p.setFont(face.font);
            p.drawText(QPoint(cx, base), text::toQString(text.substr(i, pair ? 2 : 1)));
        }
        cx += w;
    }
    if (glyphs.isEmpty()) return;
    QGlyphRun run;
    run.setRawFont(face.raw);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    p.drawGlyphRun(QPointF(0, 0), run);
}

void TPainterCanvas::DoTextOut(int x, int y, std::u16string_view text, const QRect* clip) {
    if (text.empty()) return;
    const TTextMetrics m = Metrics();
    const int top = baseline_ ? y - m.Ascent : y;
    const int base = top + m.Ascent;
    const GlyphFace& face = Face();
    QPainter* p = ActivePainter();
    if (!p) return;
    p->save();
    if (clip) p->setClipRect(*clip, clipped_ ? Qt::IntersectClip : Qt::ReplaceClip);
    p->setCompositionMode(QPainter::CompositionMode_SourceOver);
    int width = 0;
    bool inPage = false;
    unsigned char byte = 0;
    for (size_t i = 0; i < text.size(); ++i) width += UnitAdvance(face, text, i, inPage, byte);
    if (bkOpaque_ && bkColor_ != kNoColor)
        p->fillRect(QRect(x, top, width, m.Height), ToQColor(DeviceColor(bkColor_)));
    const QColor color = ToQColor(DeviceColor(font_.Color));
    p->setPen(color);
    DrawUnits(*p, face, text, x, base);
    if (font_.Underline || font_.StrikeOut) {
        const int thickness = std::max(1, m.Height / 14);
        if (font_.Underline) p->fillRect(QRect(x, base + 1, width, thickness), color);
        if (font_.StrikeOut) p->fillRect(QRect(x, base - m.Ascent / 3, width, thickness), color);
    }
    p->restore();
}

void TPainterCanvas::StretchBlit(const QRect& dest, const QImage& source, const QRect& sourceRect,
                                 TRop rop) {
    if (dest.width() <= 0 || dest.height() <= 0 || source.isNull()) return;
    QPainter* p = ActivePainter();
    if (!p) return;
    static const QPainter::CompositionMode modes[] = {
        QPainter::CompositionMode_Source, QPainter::RasterOp_SourceAndDestination,
        QPainter::RasterOp_SourceOrDestination, QPainter::RasterOp_SourceXorDestination,
        QPainter::RasterOp_NotDestination};
    p->setCompositionMode(modes[int(rop)]);
    p->setRenderHint(QPainter::SmoothPixmapTransform, false);
    p->drawImage(dest, source, sourceRect);
    p->setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void TPainterCanvas::MaskedBlit(const QRect& dest, const QImage& source, const QImage& mask) {
    if (dest.width() <= 0 || dest.height() <= 0 || source.isNull()) return;
    QImage picture = source.convertToFormat(QImage::Format_ARGB32);
    if (!mask.isNull()) {
        const QImage bits = mask.convertToFormat(QImage::Format_RGB32);
        const int w = std::min(picture.width(), bits.width());
        const int h = std::min(picture.height(), bits.height());
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
            const auto* maskRow = reinterpret_cast<const QRgb*>(bits.constScanLine(y));
            for (int x = 0; x < w; ++x)
                if (qGray(maskRow[x]) >= 128) row[x] = 0;  // white mask bit: see-through
        }
    }
    QPainter* p = ActivePainter();
    if (!p) return;
    p->setCompositionMode(QPainter::CompositionMode_SourceOver);
    p->setRenderHint(QPainter::SmoothPixmapTransform, false);
    p->drawImage(dest, picture);
}

// ---------------------------------------------------------------- pixels

TImageCanvas::TImageCanvas(int width, int height, TFontEngine& fonts)
    : TPainterCanvas(fonts),
      own_(std::make_unique<TBitmap>(std::clamp(width, 1, 32000), std::clamp(height, 1, 32000),
                                     TPixelFormat::pf32bit)),
      bitmap_(own_.get()),
      wrapped_(own_->AsQImage()),
      image_(&wrapped_) {
    own_->Fill(0xFFFFFF);
}

TImageCanvas::TImageCanvas(TBitmap& target, TFontEngine& fonts)
    : TPainterCanvas(fonts), bitmap_(&target), image_(&wrapped_) {
    if (target.Format() != TPixelFormat::pf32bit)
        target = target.ConvertedTo(TPixelFormat::pf32bit);
    wrapped_ = target.AsQImage();
}

TImageCanvas::TImageCanvas(QImage* target, TFontEngine& fonts)
    : TPainterCanvas(fonts), image_(target) {
    if (image_->format() != QImage::Format_RGB32 && image_->format() != QImage::Format_ARGB32)
        *image_ = image_->convertToFormat(QImage::Format_RGB32);
}

TImageCanvas::~TImageCanvas() {
    EndPainter();
}

void TImageCanvas::StretchBlit(const QRect& dest, const QImage& source, const QRect& sourceRect,
                               TRop rop) {
    if (dest.width() <= 0 || dest.height() <= 0 || source.isNull()) return;
    if (!BlitPixels(dest, source, sourceRect, rop))
        TPainterCanvas::StretchBlit(dest, source, sourceRect, rop);
}

// Raster operations on our own pixels. Only with a bitmap and a clip that is at most one
// rectangle; the rest goes through QPainter.
bool TImageCanvas::BlitPixels(const QRect& dest, const QImage& source, const QRect& sourceRect,
                              TRop rop) {
    if (!bitmap_ || (clipped_ && clip_.rectCount() > 1)) return false;
    QRect target = dest;
    QRect from = sourceRect;
    if (clipped_) {
        target = dest.intersected(clip_.boundingRect());
        if (target.isEmpty()) return true;
        // The part of the source that lands in the clipped target (nearest pixel).
        const double sx = double(sourceRect.width()) / dest.width();
        const double sy = double(sourceRect.height()) / dest.height();
        from = QRect(sourceRect.x() + int((target.x() - dest.x()) * sx),
                     sourceRect.y() + int((target.y() - dest.y()) * sy),
                     std::max(1, int(target.width() * sx + 0.5)),
                     std::max(1, int(target.height() * sy + 0.5)));
    }
    Flush();
    static const TRasterOp ops[] = {TRasterOp::ropCopy, TRasterOp::ropAnd, TRasterOp::ropOr,
                                    TRasterOp::ropXor, TRasterOp::ropInvert};
    const TBitmap pixels = TBitmap::FromQImage(source);
    StretchBlt(*bitmap_, target.x(), target.y(), target.width(), target.height(), pixels, from.x(),
               from.y(), from.width(), from.height(), ops[int(rop)]);
    return true;
}

}  // namespace kv
