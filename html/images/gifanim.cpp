// GIF composing, animation and drawing.

#include "html/images/display.h"
#include "html/images/gif.h"

namespace kv {

TGIFImage::TGIFImage(const TGIFImage& other)
    : empty_(other.empty_),
      headerOnly_(other.headerOnly_),
      ditherFrames_(other.ditherFrames_),
      keepIndexes_(other.keepIndexes_),
      width_(other.width_),
      height_(other.height_),
      loopCount_(other.loopCount_),
      speed_(other.speed_),
      transparent_(other.transparent_),
      colorDepth_(other.colorDepth_),
      globalPalette_(other.globalPalette_),
      composed_(other.composed_),
      composedMask_(other.composedMask_),
      backBuffer_(other.backBuffer_),
      backBufferValid_(other.backBufferValid_),
      animate_(other.animate_),
      currentFrame_(other.currentFrame_),
      iteration_(other.iteration_),
      skipNextStep_(other.skipNextStep_),
      lastStepTime_(other.lastStepTime_),
      currentDelay_(other.currentDelay_),
      showing_(other.showing_),
      visible_(other.visible_),
      lastRect_(other.lastRect_),
      backgroundColor_(other.backgroundColor_),
      backgroundPainter_(other.backgroundPainter_),
      clock_(other.clock_),
      lastError_(other.lastError_) {
    for (const auto& frame : other.frames_) {
        frames_.push_back(std::make_unique<TgfFrame>(*frame));
        frames_.back()->Owner = this;
    }
}

const TBitmap* TGIFImage::Picture() const {
    if (empty_ || headerOnly_ || frames_.empty()) return nullptr;
    return &frames_.front()->Image;
}

const TBitmap* TGIFImage::PictureMask() const {
    if (empty_ || headerOnly_ || frames_.empty() || frames_.front()->Mask.Empty()) return nullptr;
    return &frames_.front()->Mask;
}

TBitmap TGIFImage::StillPicture() const {
    const TBitmap* picture = Picture();
    if (picture == nullptr) return {};
    TBitmap still = picture->ConvertedTo(TPixelFormat::pf32bit);
    if (const TBitmap* mask = PictureMask()) {
        const TColor colour = frames_.front()->TransparentColor;
        for (int y = 0; y < still.Height(); ++y)
            for (int x = 0; x < still.Width(); ++x)
                if (mask->Value(x, y)) still.SetPixel(x, y, colour);
    }
    if (ColorBits() <= 8) return still.ConvertedTo(TPixelFormat::pf8bit, ThePalette());
    return still;
}

void TGIFImage::Compose(int n) {
    if (headerOnly_ || n < 1 || n > FrameCount()) return;
    TgfFrame& frame = *frames_[static_cast<std::size_t>(n - 1)];
    const int x = frame.Left, y = frame.Top, w = frame.Width, h = frame.Height;
    if (frame.Disposal == 3) {
        BitBlt(frame.SavedImage, 0, 0, w, h, composed_, x, y, TRasterOp::ropCopy);
        if (!composedMask_.Empty())
            BitBlt(frame.SavedMask, 0, 0, w, h, composedMask_, x, y, TRasterOp::ropCopy);
    }
    if (frame.Transparent) {
        // Transparent pixels keep what was there: the mask clears only the opaque ones.
        BitBlt(composedMask_, x, y, w, h, frame.Mask, 0, 0, TRasterOp::ropAnd);
        BitBlt(composed_, x, y, w, h, frame.Mask, 0, 0, TRasterOp::ropAnd);
        BitBlt(composed_, x, y, w, h, frame.Image, 0, 0, TRasterOp::ropXor);
    } else {
        if (!composedMask_.Empty()) composedMask_.FillRect(x, y, w, h, kBlack);
        BitBlt(composed_, x, y, w, h, frame.Image, 0, 0, TRasterOp::ropCopy);
    }
    if (n == 1 && frame.Disposal <= 1) backBufferValid_ = false;
}

void TGIFImage::Dispose(int n) {
    if (headerOnly_ || n < 1 || n > FrameCount()) return;
    const TgfFrame& frame = *frames_[static_cast<std::size_t>(n - 1)];
    const int x = frame.Left, y = frame.Top, w = frame.Width, h = frame.Height;
    if (frame.Disposal == 2) {
        composed_.FillRect(x, y, w, h, kBlack);
        if (!composedMask_.Empty()) composedMask_.FillRect(x, y, w, h, kWhite);
    } else if (frame.Disposal == 3) {
        BitBlt(composed_, x, y, w, h, frame.SavedImage, 0, 0, TRasterOp::ropCopy);
        if (!composedMask_.Empty())
            BitBlt(composedMask_, x, y, w, h, frame.SavedMask, 0, 0, TRasterOp::ropCopy);
    }
}

std::int64_t TGIFImage::DelayOf(int n) const {
    if (n < 1 || n > FrameCount()) return 1;
    const std::int64_t delay =
        std::int64_t{frames_[static_cast<std::size_t>(n - 1)]->Delay} * 100 / speed_;
    return delay < 1 ? 1 : delay;
}

void TGIFImage::SetAnimate(bool on) {
    if (on == animate_) return;
    animate_ = on;
    iteration_ = 1;
    if (on && FrameCount() > 1) {
        currentDelay_ = DelayOf(currentFrame_);
        lastStepTime_ = Now();
    }
}

void TGIFImage::SetCurrentFrame(int n) {
    if (n == currentFrame_ || frames_.empty()) return;
    Dispose(currentFrame_);
    if (n > FrameCount()) n = 1;
    if (n <= 0) n = FrameCount();
    currentFrame_ = n;
    Compose(n);
}

bool TGIFImage::Step(const std::function<void(const QRect&)>& invalidate) {
    if (!animate_ || empty_ || headerOnly_ || frames_.empty()) return false;
    const std::int64_t now = Now();
    if (now - lastStepTime_ < currentDelay_) return false;
    lastStepTime_ = now;
    if (loopCount_ > 0 && currentFrame_ == FrameCount()) {
        if (iteration_ >= loopCount_) {
            SetAnimate(false);  // the last frame stays
            return false;
        }
        ++iteration_;
    }
    bool changed = false;
    if (skipNextStep_) {
        skipNextStep_ = false;
    } else {
        Dispose(currentFrame_);
        currentFrame_ = currentFrame_ % FrameCount() + 1;
        Compose(currentFrame_);
        if (invalidate) invalidate(lastRect_);
        changed = true;
    }
    currentDelay_ = DelayOf(currentFrame_);
    return changed;
}

void TGIFImage::Draw(TBitmap& canvas, int x, int y, int width, int height) {
    lastRect_ = QRect(x, y, width, height);
    if (!visible_ || empty_ || headerOnly_ || frames_.empty() || width <= 0 || height <= 0) return;
    const int w = composed_.Width(), h = composed_.Height();
    if (!frames_.front()->Transparent) {
        StretchBlt(canvas, x, y, width, height, composed_, 0, 0, w, h, TRasterOp::ropCopy);
        return;
    }
    const int disposal = frames_[static_cast<std::size_t>(currentFrame_ - 1)]->Disposal;
    if (disposal <= 1) {
        // Frames that stay accumulate over what lies behind the image, kept in the back buffer.
        if (!backBufferValid_ || backBuffer_.Width() != width || backBuffer_.Height() != height) {
            backBuffer_ = TBitmap(width, height, TPixelFormat::pf32bit);
            if (backgroundPainter_)
                backgroundPainter_(backBuffer_, x, y);
            else
                backBuffer_.Fill(backgroundColor_);
            backBufferValid_ = true;
        }
        StretchBlt(backBuffer_, 0, 0, width, height, composed_, 0, 0, w, h, TRasterOp::ropXor);
        StretchBlt(backBuffer_, 0, 0, width, height, composedMask_, 0, 0, w, h, TRasterOp::ropAnd);
        StretchBlt(backBuffer_, 0, 0, width, height, composed_, 0, 0, w, h, TRasterOp::ropOr);
        BitBlt(canvas, x, y, width, height, backBuffer_, 0, 0, TRasterOp::ropCopy);
        return;
    }
    StretchBlt(canvas, x, y, width, height, composed_, 0, 0, w, h, TRasterOp::ropXor);
    StretchBlt(canvas, x, y, width, height, composedMask_, 0, 0, w, h, TRasterOp::ropAnd);
    StretchBlt(canvas, x, y, width, height, composed_, 0, 0, w, h, TRasterOp::ropOr);
}

}  // namespace kv
