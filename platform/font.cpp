#include "platform/font.h"

#include <fontconfig/fontconfig.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <algorithm>
#include <map>
#include <mutex>

#include "platform/codec.h"

namespace kv {
namespace {

constexpr char kAliasConfig[] =
#include "platform/kvarnelya-fonts.conf.inc"
    ;

struct Alias {
    const char* name;
    const char* faces[2];
};
// The same aliases for Qt's own substitution table (used when fontconfig is not consulted).
constexpr Alias kAliases[] = {
    {"MS Sans Serif", {"DejaVu Sans", "Liberation Sans"}},
    {"System", {"DejaVu Sans", "Liberation Sans"}},
    {"Times New Roman", {"Liberation Serif", "DejaVu Serif"}},
    {"Arial", {"Liberation Sans", "DejaVu Sans"}},
    {"Courier New", {"Liberation Mono", "DejaVu Sans Mono"}},
};

struct Generic {
    const char* family;
    const char* windowsFace;  // what the family meant before fontconfig was asked
    bool fixedPitch;
};
constexpr Generic kGenerics[] = {
    {"serif", "Times New Roman", false}, {"sans-serif", "Arial", false},
    {"monospace", "Courier New", true},  {"cursive", "Lucida Handwriting", false},
    {"fantasy", "fantasy", false},
};
constexpr size_t kGenericCount = std::size(kGenerics);

bool HaveGui() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

std::string LowerKey(std::string_view name) {
    return text::lowerText(name);
}

// Fonts are made on the interface thread; the lock only keeps the caches sound elsewhere.
std::mutex g_lock;
std::map<std::string, std::shared_ptr<const TFontMetrics>> g_metrics;  // bounded below
std::map<std::string, std::string> g_faces;
constexpr size_t kCacheLimit = 512;

// A 96-dpi device to measure on, whatever the screen.
const QPaintDevice* MeasureDevice() {
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        image.setDotsPerMeterX(3780);  // 96 dpi
        image.setDotsPerMeterY(3780);
        return image;
    }();
    return &device;
}

// The unit table from the byte table.
void FillUnitWidths(TFontMetrics& metrics) {
    metrics.UnitWidths.fill(TFontMetrics::kNoWidth);
    for (int byte = 0; byte < 256; ++byte) {
        const char16_t unit = cp1251::toUnicode(static_cast<unsigned char>(byte));
        if (unit < metrics.UnitWidths.size()) metrics.UnitWidths[unit] = metrics.Widths[byte];
    }
}

std::shared_ptr<const TFontMetrics> Measure(const TMyFont& font) {
    auto metrics = std::make_shared<TFontMetrics>();
    const int pixels = font.PixelSize();
    if (!HaveGui()) {
        // No font services without a GUI application: plausible fixed metrics.
        metrics->Ascent = pixels;
        metrics->Descent = std::max(1, pixels / 4);
        metrics->Height = metrics->Ascent + metrics->Descent;
        metrics->InternalLeading = metrics->Height - pixels;
        metrics->Widths.fill(static_cast<uint16_t>(std::max(1, pixels / 2)));
        FillUnitWidths(*metrics);
        return metrics;
    }
    const QFontMetrics qmetrics(font.ToQFont(), MeasureDevice());
    metrics->Ascent = qmetrics.ascent();
    metrics->Descent = qmetrics.descent();
    metrics->Height = metrics->Ascent + metrics->Descent;
    metrics->InternalLeading = std::max(0, metrics->Height - pixels);
    metrics->ExternalLeading = std::max(0, qmetrics.leading());
    for (int byte = 0; byte < 256; ++byte) {
        const int width =
            qmetrics.horizontalAdvance(QChar(cp1251::toUnicode(static_cast<unsigned char>(byte))));
        metrics->Widths[byte] = static_cast<uint16_t>(std::clamp(width, 0, 65535));
    }
    FillUnitWidths(*metrics);
    return metrics;
}

bool FixedPitch(FcPattern* font) {
    int spacing = FC_PROPORTIONAL;
    return FcPatternGetInteger(font, FC_SPACING, 0, &spacing) == FcResultMatch &&
           (spacing == FC_MONO || spacing == FC_CHARCELL);
}

// The first face of fontconfig's ranking for `generic` in Russian that has "Ж" (and a fixed
// pitch when asked); empty when none has.
std::string AskFontconfig(const Generic& generic) {
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return {};
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(generic.family));
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ru"));
    if (generic.fixedPitch) FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet* set = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
    std::string face;
    for (int i = 0; set && i < set->nfont && face.empty(); ++i) {
        FcPattern* font = set->fonts[i];
        FcCharSet* chars = nullptr;
        FcChar8* family = nullptr;
        if (FcPatternGetCharSet(font, FC_CHARSET, 0, &chars) != FcResultMatch ||
            !FcCharSetHasChar(chars, 0x0416) || (generic.fixedPitch && !FixedPitch(font)))
            continue;
        if (FcPatternGetString(font, FC_FAMILY, 0, &family) == FcResultMatch)
            face = reinterpret_cast<const char*>(family);
    }
    if (set) FcFontSetDestroy(set);
    FcPatternDestroy(pattern);
    return face;
}

}  // namespace

namespace fonts {

void Install() {
    // Without a GUI application there are no font services to configure (tools and fuzzers
    // that never draw); the fixed fallback metrics are used then.
    if (!HaveGui()) return;
    static std::once_flag once;
    std::call_once(once, [] {
        if (FcConfig* config = FcConfigGetCurrent()) {
            FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(kAliasConfig),
                                           FcTrue);
        }
        for (const Alias& alias : kAliases)
            QFont::insertSubstitutions(alias.name, {alias.faces[0], alias.faces[1]});
    });
}

std::string SelectedFace(std::string_view name) {
    Install();
    std::lock_guard lock(g_lock);
    const std::string key = LowerKey(name);
    if (auto it = g_faces.find(key); it != g_faces.end()) return it->second;
    std::string face(name);
    if (HaveGui()) {
        QFont font(text::toQString(name));
        face = text::fromQString(QFontInfo(font).family());
    }
    if (g_faces.size() >= kCacheLimit) g_faces.clear();
    g_faces.emplace(key, face);
    return face;
}

bool FaceAvailable(std::string_view name) {
    // Style cascades ask for the same family over and over.
    thread_local std::string lastName;
    thread_local bool lastAnswer = false;
    if (!lastName.empty() && name == lastName) return lastAnswer;
    const std::string key = LowerKey(name);
    bool available = false;
    for (const Alias& alias : kAliases)
        if (LowerKey(alias.name) == key) available = true;
    if (!available) available = LowerKey(SelectedFace(name)) == key;
    lastName = std::string(name);
    lastAnswer = available;
    return available;
}

std::string_view GenericFace(std::string_view family) {
    size_t index = 0;
    while (index < kGenericCount && family != kGenerics[index].family) ++index;
    if (index == kGenericCount) return {};
    if (!HaveGui()) return kGenerics[index].windowsFace;
    // Asked once: the installed fonts do not change while the reader runs.
    static const std::array<std::string, kGenericCount> faces = [] {
        Install();
        std::array<std::string, kGenericCount> answer;
        for (size_t i = 0; i < kGenericCount; ++i) {
            answer[i] = AskFontconfig(kGenerics[i]);
            if (answer[i].empty()) answer[i] = kGenerics[i].windowsFace;
        }
        return answer;
    }();
    return faces[index];
}

int PointsToPixels(int points) {
    return std::max(1, static_cast<int>((static_cast<int64_t>(points) * kScreenPpi + 36) / 72));
}

}  // namespace fonts

TMyFont::TMyFont() : name_("MS Sans Serif") {}

TMyFont::TMyFont(std::string name, int points, uint8_t style, TColor color)
    : Color(color), name_(std::move(name)), style_(style) {
    SetSize(points);
}

void TMyFont::SetName(std::string name) {
    if (name != name_) metrics_.reset();
    name_ = std::move(name);
}

void TMyFont::SetSize(int points) {
    // Sizes beyond what any screen shows are clamped, so that absurd style values cannot ask
    // the font engine for gigantic glyphs.
    points = std::clamp(points, 1, 1000);
    if (points != size_) metrics_.reset();
    size_ = points;
}

void TMyFont::SetStyle(uint8_t style) {
    if ((style ^ style_) & (fsBold | fsItalic)) metrics_.reset();
    style_ = style;
}

void TMyFont::AssignFont(const TMyFont& other) {
    const TColor back = BackColor;
    *this = other;
    BackColor = back;
}

const TFontMetrics& TMyFont::Metrics() const {
    if (metrics_) return *metrics_;
    // The fonts of one document repeat: remember the last one measured on this thread.
    thread_local std::string lastName;
    thread_local int lastSize = 0;
    thread_local uint8_t lastStyle = 0;
    thread_local std::shared_ptr<const TFontMetrics> lastMetrics;
    const uint8_t shape = style_ & (fsBold | fsItalic);
    if (lastMetrics && lastSize == size_ && lastStyle == shape && lastName == name_)
        return *(metrics_ = lastMetrics);
    fonts::Install();
    const std::string key = LowerKey(name_) + '|' + std::to_string(size_) + '|' +
                            std::to_string(style_ & (fsBold | fsItalic));
    {
        std::lock_guard lock(g_lock);
        auto it = g_metrics.find(key);
        if (it == g_metrics.end()) {
            if (g_metrics.size() >= kCacheLimit) g_metrics.clear();
            it = g_metrics.emplace(key, Measure(*this)).first;
        }
        metrics_ = it->second;
    }
    lastName = name_;
    lastSize = size_;
    lastStyle = shape;
    lastMetrics = metrics_;
    return *metrics_;
}

int TMyFont::TextExtent(std::string_view text) const {
    if (!text::isAscii(text)) return TextExtent(text::toUtf16(text));
    const auto& widths = Metrics().Widths;
    int total = 0;
    for (unsigned char c : text) total += widths[c];
    return total;
}

int TMyFont::UnitWidth(std::u16string_view text, size_t i) const {
    const TFontMetrics& metrics = Metrics();
    const char16_t ch = text[i];
    unsigned char byte = 0;
    if (cp1251::byteOf(ch, byte)) return metrics.Widths[byte];
    char32_t code = ch;
    if (QChar::isLowSurrogate(ch) && i > 0 && QChar::isHighSurrogate(text[i - 1])) return 0;
    if (QChar::isHighSurrogate(ch) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1]))
        code = QChar::surrogateToUcs4(ch, text[i + 1]);
    {
        std::lock_guard lock(g_lock);
        auto it = metrics.OtherWidths.find(code);
        if (it != metrics.OtherWidths.end()) return it->second;
    }
    int width = std::max(1, PixelSize() / 2);
    if (HaveGui()) {
        const QFontMetrics qmetrics(ToQFont(), MeasureDevice());
        width = qmetrics.horizontalAdvance(QString::fromUcs4(&code, 1));
    }
    const auto stored = static_cast<uint16_t>(std::clamp(width, 0, 65535));
    std::lock_guard lock(g_lock);
    if (metrics.OtherWidths.size() >= 4096) metrics.OtherWidths.clear();
    metrics.OtherWidths.emplace(code, stored);
    return stored;
}

namespace {

// The table width of a unit Windows-1251 has below U+0460 (the bulk of any text), or -1.
inline int TableWidth(const TFontMetrics& metrics, char16_t ch) {
    if (ch >= metrics.UnitWidths.size()) return -1;
    const uint16_t width = metrics.UnitWidths[ch];
    return width == TFontMetrics::kNoWidth ? -1 : width;
}

}  // namespace

int TMyFont::TextExtent(std::u16string_view text) const {
    const TFontMetrics& metrics = Metrics();
    int total = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const int width = TableWidth(metrics, text[i]);
        total += width >= 0 ? width : UnitWidth(text, i);
    }
    return total;
}

int TMyFont::FitCount(std::u16string_view text, int width) const {
    int extent = 0;
    return FitCount(text, width, extent);
}

int TMyFont::FitCount(std::u16string_view text, int width, int& extent) const {
    const TFontMetrics& metrics = Metrics();
    int total = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const int one = TableWidth(metrics, text[i]);
        const int next = total + (one >= 0 ? one : UnitWidth(text, i));
        if (next > width) {
            extent = total;
            return static_cast<int>(i);
        }
        total = next;
    }
    extent = total;
    return static_cast<int>(text.size());
}

QFont TMyFont::ToQFont() const {
    fonts::Install();
    QFont font(text::toQString(name_));
    font.setPixelSize(PixelSize());
    font.setBold(Bold());
    font.setItalic(Italic());
    font.setUnderline(Underline());
    font.setStrikeOut(StrikeOut());
    font.setKerning(false);
    return font;
}

std::string TMyFont::SelectedFace() const {
    return fonts::SelectedFace(name_);
}

bool TMyFont::operator==(const TMyFont& other) const {
    return name_ == other.name_ && size_ == other.size_ && style_ == other.style_ &&
           Color == other.Color && CharSet == other.CharSet && BackColor == other.BackColor;
}

}  // namespace kv
