#include "platform/canvas.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <algorithm>
#include <cstdio>
#include <functional>

#include "platform/codec.h"
#include "platform/font.h"

namespace kv {

namespace {

TColor Rgb(int r, int g, int b) {
    return TColor(r | (g << 8) | (b << 16));
}

// The Windows default scheme, enough for the colours documents and the viewer ask for.
TColor SystemColor(int index) {
    switch (index) {
    case 5: return Rgb(255, 255, 255);   // window
    case 8: return Rgb(0, 0, 0);         // window text
    case 13: return Rgb(0, 0, 128);      // highlight
    case 14: return Rgb(255, 255, 255);  // highlight text
    case 15: return Rgb(192, 192, 192);  // button face
    case 16: return Rgb(128, 128, 128);  // button shadow
    case 17: return Rgb(128, 128, 128);  // grey text
    case 20: return Rgb(255, 255, 255);  // button highlight
    case 1: return Rgb(0, 128, 128);     // background
    default: return Rgb(0, 0, 0);
    }
}

}  // namespace

TColor ResolveColor(TColor color) {
    if (color & 0x80000000u) return SystemColor(int(color & 0xFF));
    return color & 0xFFFFFF;
}

QColor ToQColor(TColor color) {
    const TColor c = ResolveColor(color);
    return QColor(int(c & 255), int((c >> 8) & 255), int((c >> 16) & 255));
}

std::string ColorName(TColor color) {
    if (color == kNoColor) return "none";
    const TColor c = ResolveColor(color);
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", unsigned(c & 255),
                  unsigned((c >> 8) & 255), unsigned((c >> 16) & 255));
    return buffer;
}

std::string TFontSpec::Describe() const {
    std::string style;
    if (Bold) style += 'b';
    if (Italic) style += 'i';
    if (Underline) style += 'u';
    if (StrikeOut) style += 's';
    std::string result = Name + " " + std::to_string(Size);
    if (!style.empty()) result += " " + style;
    return result + " " + ColorName(Color);
}

namespace {

// Extents grow with the count. Gallop to a bound first so that a long run costs in proportion to
// what fits, not to its length; then binary search.
template <typename View>
int FitCountOf(const TTextMeasure& measure, View text, int width) {
    const int n = int(text.size());
    int low = 0, high = 1;
    while (high < n && measure.Extent(text.substr(0, high)) <= width) low = high, high *= 2;
    high = std::min(high, n);
    while (low < high) {
        const int probe = (low + high + 1) / 2;
        if (measure.Extent(text.substr(0, probe)) <= width)
            low = probe;
        else
            high = probe - 1;
    }
    return low;
}

}  // namespace

int TTextMeasure::FitCount(std::u16string_view text, int width) const {
    return FitCountOf(*this, text, width);
}

int TTextMeasure::FitCount(std::u16string_view text, int width, int& extent) const {
    const int fit = FitCount(text, width);
    extent = Extent(text.substr(0, std::size_t(fit)));
    return fit;
}

void TCanvas::TextOut(int x, int y, std::string_view text, const QRect* clip) {
    DoTextOut(x, y, text::toUtf16(text), clip);
}

std::size_t TFontSpecHash::operator()(const TFontSpec& fontSpec) const {
    std::size_t h = std::hash<std::string>()(fontSpec.Name);
    const std::size_t bits = std::size_t(fontSpec.Size) << 8 | std::size_t(fontSpec.Charset) << 4 |
                             std::size_t(fontSpec.Bold) | std::size_t(fontSpec.Italic) << 1 |
                             std::size_t(fontSpec.Underline) << 2 |
                             std::size_t(fontSpec.StrikeOut) << 3;
    h ^= bits + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    return h ^ (std::size_t(fontSpec.Color) * 31 + fontSpec.BackColor);
}

std::size_t TFontEngine::TShapeHash::operator()(const TFontSpec& fontSpec) const {
    const std::size_t h = std::hash<std::string>()(fontSpec.Name);
    const std::size_t bits = std::size_t(fontSpec.Size) << 8 | std::size_t(fontSpec.Charset) << 4 |
                             std::size_t(fontSpec.Bold) | std::size_t(fontSpec.Italic) << 1 |
                             std::size_t(fontSpec.Underline) << 2 |
                             std::size_t(fontSpec.StrikeOut) << 3;
    return h ^ (bits + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2));
}

bool TFontEngine::TSameShape::operator()(const TFontSpec& a, const TFontSpec& b) const {
    return a.Size == b.Size && a.Bold == b.Bold && a.Italic == b.Italic &&
           a.Underline == b.Underline && a.StrikeOut == b.StrikeOut && a.Charset == b.Charset &&
           a.Name == b.Name;
}

const TTextMeasure& TFontEngine::Measure(const TFontSpec& fontSpec) {
    // Layout asks for the font of every piece of text it measures, mostly one of the last few.
    auto recent = std::find_if(recent_.begin(), recent_.end(), [&](const TRecent& r) {
        return r.key && TSameShape()(fontSpec, *r.key);
    });
    if (recent == recent_.end()) {
        auto it = cache_.find(fontSpec);
        if (it == cache_.end()) {
            if (cache_.size() >= 256) {
                recent_.fill({});  // the evicted key may be one of them
                cache_.erase(order_.front());
                order_.pop_front();
            }
            TFontSpec key = fontSpec;
            key.Color = 0;
            key.BackColor = kNoColor;
            it = cache_.emplace(key, Make(key)).first;
            order_.push_back(std::move(key));
        }
        recent = recent_.end() - 1;
        *recent = {&it->first, it->second.get()};
    }
    std::rotate(recent_.begin(), recent, recent + 1);  // newest first
    return *recent_.front().measure;
}

// ---------------------------------------------------------------- Qt fonts

namespace {

// The system's fonts: metrics and the 256-entry advance table of Windows-1251 text at 96 ppi.
class QtMeasure : public TTextMeasure {
public:
    explicit QtMeasure(TMyFont font) : font_(std::move(font)) {
        const TFontMetrics& m = font_.Metrics();
        m_.Height = m.Height;
        m_.Ascent = m.Ascent;
        m_.Descent = m.Descent;
        m_.InternalLeading = m.InternalLeading;
        m_.ExternalLeading = m.ExternalLeading;
        m_.Overhang = m.Overhang;
    }
    TTextMetrics Metrics() const override { return m_; }
    int Extent(std::string_view text) const override { return font_.TextExtent(text); }
    int Extent(std::u16string_view text) const override { return font_.TextExtent(text); }
    int FitCount(std::u16string_view text, int width) const override {
        return width < 0 ? 0 : font_.FitCount(text, width);
    }
    int FitCount(std::u16string_view text, int width, int& extent) const override {
        extent = 0;
        return width < 0 ? 0 : font_.FitCount(text, width, extent);
    }

private:
    TMyFont font_;
    TTextMetrics m_;
};

class FixedMeasure : public TTextMeasure {
public:
    explicit FixedMeasure(const TFontSpec& fontSpec)
        : h_(TTestFontEngine::PixelHeight(fontSpec.Size)),
          w_(TTestFontEngine::CharWidth(fontSpec)) {}
    TTextMetrics Metrics() const override {
        TTextMetrics m;
        m.Height = h_;
        m.Descent = h_ / 4;
        m.Ascent = h_ - m.Descent;
        return m;
    }
    int Extent(std::string_view text) const override { return Extent(text::toUtf16(text)); }
    int Extent(std::u16string_view text) const override { return int(text.size()) * w_; }
    int FitCount(std::u16string_view text, int width) const override {
        if (width < 0 || w_ <= 0) return 0;
        return int(std::min<std::size_t>(text.size(), std::size_t(width / w_)));
    }

private:
    int h_, w_;
};

}  // namespace

TMyFont TQtFontEngine::MakeFont(const TFontSpec& fontSpec) {
    std::uint8_t style = 0;
    if (fontSpec.Bold) style |= fsBold;
    if (fontSpec.Italic) style |= fsItalic;
    if (fontSpec.Underline) style |= fsUnderline;
    if (fontSpec.StrikeOut) style |= fsStrikeOut;
    TMyFont font(fontSpec.Name, std::clamp(fontSpec.Size, 1, 500), style, fontSpec.Color);
    font.CharSet = std::uint8_t(fontSpec.Charset);
    return font;
}

TFontSpec TQtFontEngine::SpecOf(const TMyFont& font) {
    TFontSpec fontSpec;
    fontSpec.Name = font.Name();
    fontSpec.Size = font.Size();
    fontSpec.Bold = font.Bold();
    fontSpec.Italic = font.Italic();
    fontSpec.Underline = font.Underline();
    fontSpec.StrikeOut = font.StrikeOut();
    fontSpec.Charset = font.CharSet;
    fontSpec.Color = font.Color;
    fontSpec.BackColor = font.BackColor;
    return fontSpec;
}

QFont TQtFontEngine::MakeQFont(const TFontSpec& fontSpec) {
    return MakeFont(fontSpec).ToQFont();
}

TQtFontEngine& TQtFontEngine::Shared() {
    static TQtFontEngine engine;
    return engine;
}

std::unique_ptr<TTextMeasure> TQtFontEngine::Make(const TFontSpec& fontSpec) const {
    return std::make_unique<QtMeasure>(MakeFont(fontSpec));
}

TTestFontEngine& TTestFontEngine::Shared() {
    static TTestFontEngine engine;
    return engine;
}

std::unique_ptr<TTextMeasure> TTestFontEngine::Make(const TFontSpec& fontSpec) const {
    return std::make_unique<FixedMeasure>(fontSpec);
}

// ---------------------------------------------------------------- canvas state

TColor TCanvas::DeviceColor(TColor color) const {
    const TColor c = ResolveColor(color);
    if (!paletteDevice_ || !palette_ || palette_->empty()) return c;
    return (*palette_)[std::size_t(TBitmap::NearestIndex(*palette_, c))].Color();
}

void TCanvas::IntersectClipRect(const QRect& rect) {
    SetClipRegion(clipped_ ? clip_.intersected(rect) : QRegion(rect));
}

void TCanvas::SetClipRegion(const QRegion& region) {
    clip_ = region;
    clipped_ = true;
    ApplyClip();
}

void TCanvas::ClearClip() {
    clip_ = QRegion();
    clipped_ = false;
    ApplyClip();
}

QRect TCanvas::ClipBox() const {
    return clipped_ ? clip_.boundingRect() : QRect(-32000, -32000, 64000, 64000);
}

void TCanvas::Save() {
    saved_.push_back({font_, bkOpaque_, bkColor_, brush_, pen_, baseline_, clipped_, clip_});
}

void TCanvas::Restore() {
    if (saved_.empty()) return;
    const State s = std::move(saved_.back());
    saved_.pop_back();
    font_ = s.font;
    bkOpaque_ = s.bkOpaque;
    bkColor_ = s.bkColor;
    brush_ = s.brush;
    pen_ = s.pen;
    baseline_ = s.baseline;
    if (s.clipped != clipped_ || s.clip != clip_) {
        clipped_ = s.clipped;
        clip_ = s.clip;
        ApplyClip();
    }
}

// ---------------------------------------------------------------- recording

TRecordingCanvas::TRecordingCanvas() : TCanvas(TTestFontEngine::Shared()) {}

namespace {

std::string Box(const QRect& r) {
    return std::to_string(r.left()) + " " + std::to_string(r.top()) + " " +
           std::to_string(r.left() + r.width()) + " " + std::to_string(r.top() + r.height());
}

}  // namespace

std::string TRecordingCanvas::Text() const {
    std::string all;
    for (const std::string& line : lines_) all += line + "\n";
    return all;
}

void TRecordingCanvas::ApplyClip() {
    lines_.push_back(clipped_ ? "CLIP " + Box(clip_.boundingRect()) : "CLIP none");
}

void TRecordingCanvas::FillRect(const QRect& rect, TColor color) {
    if (color == kNoColor || rect.isEmpty()) return;
    lines_.push_back("FILL " + Box(rect) + " " + ColorName(color));
}

void TRecordingCanvas::FrameRect(const QRect& rect, TColor color) {
    lines_.push_back("FRAME " + Box(rect) + " " + ColorName(color));
}

void TRecordingCanvas::Rectangle(const QRect& rect) {
    lines_.push_back("RECT " + Box(rect) + " pen " + ColorName(pen_) + " brush " +
                     (brush_ == kNoColor ? std::string("clear") : ColorName(brush_)));
}

void TRecordingCanvas::Line(int x1, int y1, int x2, int y2) {
    lines_.push_back("LINE " + std::to_string(x1) + " " + std::to_string(y1) + " " +
                     std::to_string(x2) + " " + std::to_string(y2) + " " + ColorName(pen_));
}

namespace {

// Windows-1251 bytes for the characters the code page has, \u{hex} for the others.
std::string RecordedText(std::u16string_view text) {
    std::string result;
    result.reserve(text.size());
    for (char16_t ch : text) {
        unsigned char byte = 0;
        if (cp1251::byteOf(ch, byte)) {
            result.push_back(static_cast<char>(byte));
        } else {
            char hex[16];
            std::snprintf(hex, sizeof hex, "\\u{%x}", unsigned(ch));
            result += hex;
        }
    }
    return result;
}

}  // namespace

void TRecordingCanvas::DoTextOut(int x, int y, std::u16string_view text, const QRect* clip) {
    const int top = baseline_ ? y - Metrics().Ascent : y;
    std::string line = "TEXT " + std::to_string(x) + " " + std::to_string(top) + " " +
                       font_.Describe() + " \"" + RecordedText(text) + "\"";
    if (bkOpaque_ && bkColor_ != kNoColor) line += " opaque " + ColorName(bkColor_);
    if (clip) line += " clip " + Box(*clip);
    lines_.push_back(std::move(line));
}

void TRecordingCanvas::StretchBlit(const QRect& dest, const QImage& source, const QRect& sourceRect,
                                   TRop rop) {
    static const char* const names[] = {"copy", "and", "or", "xor", "invert"};
    lines_.push_back("BLIT " + Box(dest) + " from " + std::to_string(sourceRect.width()) + " " +
                     std::to_string(sourceRect.height()) + " " + names[int(rop)] +
                     (source.isNull() ? " null" : ""));
}

void TRecordingCanvas::MaskedBlit(const QRect& dest, const QImage& source, const QImage&) {
    lines_.push_back("BLIT " + Box(dest) + " from " + std::to_string(source.width()) + " " +
                     std::to_string(source.height()) + " masked");
}

}  // namespace kv
