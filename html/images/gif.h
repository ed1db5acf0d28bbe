#pragma once
// GIF 87a/89a: every frame decoded (LZW, colour table, transparency mask, disposal), a composed
// picture of the current animation state, and the animation step the document's 50 ms timer
// calls. Time comes from a millisecond clock that tests replace.
//
// Frames are 8-bit bitmaps with their colour table (black where transparent) and a mono mask
// (white where transparent). The composed picture is 32-bit; its mask exists only when some
// frame is transparent.
//
// How a document uses an animated GIF from the cache:
//     auto own = cached->Clone();            // every image object animates its own copy
//     own->SetVisible(true);
//     own->SetCurrentFrame(1); own->SetAnimate(true);   // after every layout
//     own->Draw(canvas, x, y, width, height);           // when painting; sets LastRect
//     own->Step([&](const QRect& r) { window.update(r); });  // on the 50 ms timer
// Printing takes Composed() and ComposedMask() (the current frame) instead.

#include <QRect>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/errors.h"

namespace kv {

class EGIFError : public kv::Exception {
public:
    using kv::Exception::Exception;
};
inline constexpr const char* kCorruptGIF = "Corrupt GIF Image";
inline constexpr const char* kNotGIF = "Not a GIF image";
inline constexpr const char* kGIFReadError = "Stream read error";
inline constexpr const char* kImageTooLarge = "Image is too large";
inline constexpr const char* kNoFrames = "GIF image has no frames";

// Frames of one GIF together may not need more memory than this.
inline constexpr std::int64_t kMaxImageBytes = 512LL * 1024 * 1024;

// Milliseconds from any fixed start.
using TMilliClock = std::function<std::int64_t()>;
TMilliClock SystemClock();

class TGIFImage;

class TgfFrame {
public:
    int Left = 0, Top = 0, Width = 0, Height = 0;
    int ColorDepth = 0;  // of the local table; 0 when the global table is used
    int Delay = 0;       // milliseconds
    int Disposal = 0;    // 0, 1, 2 or 3
    bool Interlaced = false;
    bool Transparent = false;
    int TransparentIndex = 0;
    TColor TransparentColor = kBlack;
    bool HasLocalPalette = false;
    TPalette LocalPalette;          // only when present and decoding
    TBitmap Image;                  // 8-bit, black where transparent
    TBitmap Mask;                   // mono, white where transparent; empty when not transparent
    TBitmap SavedImage, SavedMask;  // what disposal 3 restores
    bool Dither = false;
    std::string Comment;
    TGIFImage* Owner = nullptr;
    // The colour indexes as decoded, Width bytes per row from the top (only with KeepIndexes).
    std::vector<std::uint8_t> Indexes;
};

class TGIFImage {
public:
    TGIFImage();
    TGIFImage(const TGIFImage& other);
    TGIFImage& operator=(const TGIFImage&) = delete;
    // An independent copy that animates on its own (every image object keeps one).
    std::unique_ptr<TGIFImage> Clone() const { return std::make_unique<TGIFImage>(*this); }

    // Loading in the current mode (HeaderOnly or full). False on failure, with the object
    // emptied and the message in LastError.
    bool LoadFromStream(const std::uint8_t* data, std::size_t size);
    bool LoadFromStream(const std::string& bytes) {
        return LoadFromStream(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    // File name in Windows-1251.
    bool LoadFromFile(const std::string& fileName);
    const std::string& LastError() const { return lastError_; }

    // The cache's way: header pass to learn Animated and ColorDepth, then the full pass (frames
    // of a still GIF are dithered on 8-bit displays). None on failure; NotAnimated tells the
    // caller to turn the picture into a plain bitmap.
    static std::unique_ptr<TGIFImage> CreateFromStream(const std::string& bytes, bool& notAnimated);
    static std::unique_ptr<TGIFImage> CreateFromFile(const std::string& fileName,
                                                     bool& notAnimated);

    bool Empty() const { return empty_; }
    bool HeaderOnly() const { return headerOnly_; }
    void SetHeaderOnly(bool on) { headerOnly_ = on; }
    bool DitherFrames() const { return ditherFrames_; }
    void SetDitherFrames(bool on) { ditherFrames_ = on; }
    // Keep every frame's raw colour indexes (tools and tests).
    void SetKeepIndexes(bool on) { keepIndexes_ = on; }

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Animated() const { return frames_.size() > 1; }
    int FrameCount() const { return static_cast<int>(frames_.size()); }
    // 1-based.
    const TgfFrame& Frame(int n) const { return *frames_[static_cast<std::size_t>(n - 1)]; }
    int LoopCount() const { return loopCount_; }
    bool Transparent() const { return transparent_; }
    int ColorDepth() const { return colorDepth_; }
    const std::array<TPaletteEntry, 256>& GlobalPalette() const { return globalPalette_; }

    // Frame 1's picture and mask (none when empty, header-only, or, for the mask, not
    // transparent). Owned by the image.
    const TBitmap* Picture() const;
    const TBitmap* PictureMask() const;
    // Frame 1 with its transparent pixels in the frame's transparent colour (8-bit with
    // ThePalette on displays of 8 bits or fewer, else 32-bit). Empty when there is no frame.
    TBitmap StillPicture() const;

    const TBitmap& Composed() const { return composed_; }
    const TBitmap& ComposedMask() const { return composedMask_; }  // empty unless Transparent

    // Animation.
    bool Animate() const { return animate_; }
    void SetAnimate(bool on);
    int CurrentFrame() const { return currentFrame_; }
    void SetCurrentFrame(int n);
    int Speed() const { return speed_; }
    void SetSpeed(int percent) { speed_ = percent < 1 ? 1 : percent; }  // 0 would divide by zero
    int Iteration() const { return iteration_; }
    bool SkipNextStep() const { return skipNextStep_; }
    std::int64_t CurrentDelay() const { return currentDelay_; }
    std::int64_t LastStepTime() const { return lastStepTime_; }
    bool Showing() const { return showing_; }
    void SetShowing(bool on) { showing_ = on; }
    bool Visible() const { return visible_; }
    void SetVisible(bool on) { visible_ = on; }
    void SetClock(TMilliClock clock) { clock_ = std::move(clock); }
    // One timer tick: may move to the next frame; Invalidate gets LastRect when it does.
    // True when the frame changed.
    bool Step(const std::function<void(const QRect&)>& invalidate);

    // Drawing into a 32-bit canvas at (x, y) stretched to width × height.
    void Draw(TBitmap& canvas, int x, int y, int width, int height);
    QRect LastRect() const { return lastRect_; }
    // What lies behind a transparent animation whose frames stay: a colour, or a painter
    // that fills the buffer given the buffer's place on the canvas (tiled backgrounds).
    void SetBackgroundColor(TColor color) { backgroundColor_ = color; }
    void SetBackgroundPainter(std::function<void(TBitmap& buffer, int x, int y)> painter) {
        backgroundPainter_ = std::move(painter);
    }
    const TBitmap& BackBuffer() const { return backBuffer_; }

private:
    void Reset();
    void Parse(const std::uint8_t* data, std::size_t size);
    void Compose(int n);
    void Dispose(int n);
    std::int64_t Now() const { return clock_(); }
    std::int64_t DelayOf(int n) const;

    friend class TGIFParser;

    bool empty_ = true;
    bool headerOnly_ = false;
    bool ditherFrames_ = false;
    bool keepIndexes_ = false;
    int width_ = 0, height_ = 0;
    int loopCount_ = 1;
    int speed_ = 100;
    bool transparent_ = false;
    int colorDepth_ = 0;
    std::array<TPaletteEntry, 256> globalPalette_{};
    std::vector<std::unique_ptr<TgfFrame>> frames_;
    TBitmap composed_, composedMask_, backBuffer_;
    bool backBufferValid_ = false;
    bool animate_ = false;
    int currentFrame_ = 1;
    int iteration_ = 1;
    bool skipNextStep_ = true;
    std::int64_t lastStepTime_ = 0, currentDelay_ = 0;
    bool showing_ = false;
    bool visible_ = true;
    QRect lastRect_;
    TColor backgroundColor_ = kWhite;
    std::function<void(TBitmap&, int, int)> backgroundPainter_;
    TMilliClock clock_;
    std::string lastError_;
};

// LZW decoding of one image's data: Data points at the minimum code size byte, followed by the
// data sub-blocks. Fills Out with Count indexes (zeros after an early end code) and returns the
// offset just past the block terminator. Throws EGIFError on corrupt codes or truncated data.
std::size_t DecodeGIFLZW(const std::uint8_t* data, std::size_t size, std::size_t offset,
                         std::uint8_t* out, std::size_t count, std::vector<std::uint8_t>& scratch);

// 32-bit FNV-1a over bytes.
std::uint32_t Fnv1a(const std::uint8_t* data, std::size_t size, std::uint32_t hash = 0x811C9DC5u);

}  // namespace kv
