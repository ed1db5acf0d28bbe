#include "html/images/dither.h"

#include <algorithm>
#include <cstdlib>

#include "html/images/dib.h"
#include "html/images/display.h"

namespace kv {

TFastColorLookup::TFastColorLookup(const TPalette& palette)
    : TColorLookup(static_cast<int>(std::min<std::size_t>(palette.size(), 256))),
      palette_(palette.begin(), palette.begin() + colors_),
      cells_(32768, -1),
      crowdedCells_(32768, 0) {
    for (int i = 0; i < colors_; ++i) {
        const auto& entry = palette_[static_cast<std::size_t>(i)];
        const int index = CellOf(entry.red, entry.green, entry.blue);
        auto& cell = cells_[static_cast<std::size_t>(index)];
        if (cell < 0) {
            cell = static_cast<std::int16_t>(i);
        } else if (palette_[static_cast<std::size_t>(cell)] != entry) {
            crowded_.emplace(index, i);
            crowdedCells_[static_cast<std::size_t>(index)] = 1;
        }
    }
}

int TFastColorLookup::Lookup(int& red, int& green, int& blue) {
    const int index = CellOf(red, green, blue);
    auto& cell = cells_[static_cast<std::size_t>(index)];
    if (cell >= 0 && crowdedCells_[static_cast<std::size_t>(index)]) {
        // A palette colour that shares its cell with an earlier entry still maps to itself
        // (white would otherwise come out as the grey 250 of the shared palette).
        const auto [first, last] = crowded_.equal_range(index);
        for (auto it = first; it != last; ++it) {
            const auto& entry = palette_[static_cast<std::size_t>(it->second)];
            if (entry.red == red && entry.green == green && entry.blue == blue) return it->second;
        }
    }
    if (cell < 0) {
        int best = 0;
        int bestDistance = 1 << 30;
        for (int i = 0; i < colors_; ++i) {
            const auto& entry = palette_[static_cast<std::size_t>(i)];
            const int distance = std::abs(entry.red - red) + std::abs(entry.green - green) +
                                 std::abs(entry.blue - blue);
            if (distance < bestDistance) {  // a later entry must be strictly closer
                bestDistance = distance;
                best = i;
            }
        }
        cell = static_cast<std::int16_t>(best);
    }
    const auto& entry = palette_[static_cast<std::size_t>(cell)];
    red = entry.red;
    green = entry.green;
    blue = entry.blue;
    return cell;
}

int TNetscapeColorLookup::Lookup(int& red, int& green, int& blue) {
    const int r = (red + 3) / 51, g = (green + 3) / 51, b = (blue + 3) / 51;
    red = r * 51;
    green = g * 51;
    blue = b * 51;
    return 36 * r + 6 * g + b;
}

TPalette NetscapePalette() {
    TPalette palette;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                palette.push_back({static_cast<std::uint8_t>(r * 51),
                                   static_cast<std::uint8_t>(g * 51),
                                   static_cast<std::uint8_t>(b * 51), 0});
    return palette;
}

int TDitherEngine::Dither(int red, int green, int blue) {
    const int index = lookup_.Lookup(red, green, blue);
    column_ += direction_;
    return index;
}

void TDitherEngine::NextLine() {
    column_ = 0;
}

TFloydSteinbergEngine::TFloydSteinbergEngine(TColorLookup& lookup, int width)
    : TDitherEngine(lookup, width) {
    for (auto& channel : channels_) channel.row.assign(static_cast<std::size_t>(width) + 2, 0);
}

int TFloydSteinbergEngine::Dither(int red, int green, int blue) {
    int value[3] = {red, green, blue};
    for (int c = 0; c < 3; ++c) {
        const Channel& channel = channels_[static_cast<std::size_t>(c)];
        const int ahead = channel.row[static_cast<std::size_t>(pointer_ + direction_)];
        value[c] = std::clamp(value[c] + (ahead + channel.running + 8) / 16, 0, 255);
    }
    int palette[3] = {value[0], value[1], value[2]};
    const int index = lookup_.Lookup(palette[0], palette[1], palette[2]);
    for (int c = 0; c < 3; ++c) {
        Channel& channel = channels_[static_cast<std::size_t>(c)];
        const int d = value[c] - palette[c];
        channel.row[static_cast<std::size_t>(pointer_)] = channel.belowBehind + 3 * d;
        channel.belowBehind = channel.below + 5 * d;
        channel.below = d;
        channel.running = 7 * d;
    }
    pointer_ += direction_;
    column_ += direction_;
    return index;
}

void TFloydSteinbergEngine::NextLine() {
    for (auto& channel : channels_) {
        channel.row[static_cast<std::size_t>(pointer_)] = channel.belowBehind;
        channel.running = 0;
    }
    direction_ = -direction_;
    pointer_ = direction_ > 0 ? 0 : width_ + 1;
    column_ = direction_ > 0 ? 0 : width_ - 1;
}

TBitmap ReduceColors(const TBitmap& source, TReducePalette choice, TDitherMode mode) {
    TPalette palette = choice == TReducePalette::rpDefault  ? DefaultPalette()
                       : choice == TReducePalette::rpShared ? ThePalette()
                                                            : NetscapePalette();
    std::unique_ptr<TColorLookup> lookup;
    if (choice == TReducePalette::rpNetscape)
        lookup = std::make_unique<TNetscapeColorLookup>();
    else
        lookup = std::make_unique<TFastColorLookup>(palette);

    TBitmap target(source.Width(), source.Height(), TPixelFormat::pf8bit);
    target.SetPalette(palette);
    if (lookup->Colors() == 0 || source.Empty()) return target;

    const int width = source.Width();
    TDIBReader reader(&source, TDIBFormat::pf24bit);
    TDIBWriter writer(&target, TDIBFormat::pf8bit, width, source.Height(), palette);
    std::unique_ptr<TDitherEngine> engine;
    if (mode == TDitherMode::dmFloydSteinberg)
        engine = std::make_unique<TFloydSteinbergEngine>(*lookup, width);
    else
        engine = std::make_unique<TDitherEngine>(*lookup, width);
    for (int row = 0; row < source.Height(); ++row) {
        const std::uint8_t* in = reader.ScanLine(row);
        std::uint8_t* out = writer.ScanLine(row);
        for (int i = 0; i < width; ++i) {
            const int column = engine->Column();
            const std::uint8_t* pixel = in + 3 * column;
            out[column] = static_cast<std::uint8_t>(engine->Dither(pixel[2], pixel[1], pixel[0]));
        }
        engine->NextLine();
    }
    writer.Finish();
    target.SetPalette(palette);  // the DIB's table is padded to 256 entries
    return target;
}

std::unique_ptr<TBitmap> DitherToDisplay(const TBitmap* bitmap) {
    if (bitmap == nullptr || bitmap->Empty()) return nullptr;
    const TReducePalette palette =
        ColorBits() < 8 ? TReducePalette::rpDefault : TReducePalette::rpShared;
    return std::make_unique<TBitmap>(ReduceColors(*bitmap, palette, TDitherMode::dmFloydSteinberg));
}

TColorQuantizer::TColorQuantizer(int maxColors, int colorBits)
    : maxColors_(std::max(maxColors, 1)), colorBits_(std::clamp(colorBits, 1, 8)) {}

void TColorQuantizer::AddColor(TColor color) {
    TOctreeNode* node = &root_;
    for (int level = 0; level < colorBits_ && !node->leaf; ++level) {
        const int shift = 7 - level;
        const int child = (((RedOf(color) >> shift) & 1) << 2) |
                          (((GreenOf(color) >> shift) & 1) << 1) | ((BlueOf(color) >> shift) & 1);
        auto& next = node->children[static_cast<std::size_t>(child)];
        if (!next) {
            next = std::make_unique<TOctreeNode>();
            if (level + 1 == colorBits_) {
                next->leaf = true;
                ++leaves_;
            }
        }
        node = next.get();
    }
    node->pixels += 1;
    node->red += static_cast<std::uint64_t>(RedOf(color));
    node->green += static_cast<std::uint64_t>(GreenOf(color));
    node->blue += static_cast<std::uint64_t>(BlueOf(color));
    while (leaves_ > maxColors_) Reduce();
}

void TColorQuantizer::ProcessImage(const TBitmap& bitmap) {
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) AddColor(bitmap.Pixel(x, y));
}

namespace {

// The deepest node that has children, all of them leaves.
TOctreeNode* Reducible(TOctreeNode& node, int depth, int& bestDepth) {
    if (node.leaf) return nullptr;
    TOctreeNode* best = nullptr;
    bool allLeaves = true;
    for (auto& child : node.children) {
        if (!child) continue;
        if (!child->leaf) allLeaves = false;
        if (TOctreeNode* found = Reducible(*child, depth + 1, bestDepth)) best = found;
    }
    if (allLeaves && depth > bestDepth) {
        bestDepth = depth;
        best = &node;
    }
    return best;
}

void Collect(const TOctreeNode& node, TPalette& palette) {
    if (node.leaf) {
        if (node.pixels == 0) return;
        palette.push_back({static_cast<std::uint8_t>(node.red / node.pixels),
                           static_cast<std::uint8_t>(node.green / node.pixels),
                           static_cast<std::uint8_t>(node.blue / node.pixels), 0});
        return;
    }
    for (const auto& child : node.children)
        if (child) Collect(*child, palette);
}

}  // namespace

void TColorQuantizer::Reduce() {
    int depth = -1;
    TOctreeNode* node = Reducible(root_, 0, depth);
    if (node == nullptr) return;
    for (auto& child : node->children) {
        if (!child) continue;
        node->pixels += child->pixels;
        node->red += child->red;
        node->green += child->green;
        node->blue += child->blue;
        child.reset();
        --leaves_;
    }
    node->leaf = true;
    ++leaves_;
}

TPalette TColorQuantizer::Palette() const {
    TPalette palette;
    Collect(root_, palette);
    return palette;
}

}  // namespace kv
