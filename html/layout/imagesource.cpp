#include "html/layout/imagesource.h"

#include "platform/canvas.h"

namespace kv {

namespace {

class TGifAnimation : public TAnimatedImage {
public:
    explicit TGifAnimation(std::unique_ptr<TGIFImage> gif) : gif_(std::move(gif)) {}
    std::unique_ptr<TAnimatedImage> Clone() const override {
        return std::make_unique<TGifAnimation>(gif_->Clone());
    }
    int Width() const override { return gif_->Width(); }
    int Height() const override { return gif_->Height(); }
    int FrameCount() const override { return gif_->FrameCount(); }
    int CurrentFrame() const override { return gif_->CurrentFrame() - 1; }
    void SetCurrentFrame(int frame) override { gif_->SetCurrentFrame(frame + 1); }
    void Start() override { gif_->SetAnimate(true); }
    void Stop() override { gif_->SetAnimate(false); }
    void Advance() override {
        gif_->Step([](const QRect&) {});
    }
    QImage FrameImage() const override {
        if (!gif_->Composed().Empty()) return gif_->Composed().ToQImage();
        return gif_->StillPicture().ToQImage();
    }
    QImage FrameMask() const override {
        if (!gif_->ComposedMask().Empty()) return gif_->ComposedMask().ToQImage();
        const TBitmap* mask = gif_->PictureMask();
        return mask && gif_->Composed().Empty() ? mask->ToQImage() : QImage();
    }
    void Draw(TCanvas& canvas, const QRect& box) override {
        canvas.MaskedBlit(box, FrameImage(), FrameMask());
        Painted = true;
    }

private:
    std::unique_ptr<TGIFImage> gif_;
};

}  // namespace

std::unique_ptr<TAnimatedImage> MakeGifAnimation(std::unique_ptr<TGIFImage> gif) {
    if (!gif) return nullptr;
    return std::make_unique<TGifAnimation>(std::move(gif));
}

TFetchResult FetchThroughCache(TStringBitmapList& cache, const TImageRequests& requests,
                               const std::string& name, int transparency) {
    TFetchResult result;
    int kind = transparency;
    bool pending = false, cached = false;
    const TBitmap* mask = nullptr;
    const TImageRef ref = cache.GetImage(name, requests, kind, pending, cached, mask);
    result.Pending = pending;
    result.FromCache = cached;
    result.Transparency = kind;
    if (ref.Gif && ref.Gif->Animated()) {
        result.Animated = MakeGifAnimation(ref.Gif->Clone());
    } else if (ref.Bitmap || ref.Gif) {
        auto image = std::make_shared<TLayoutImage>();
        image->Image = ref.Bitmap ? ref.Bitmap->ToQImage() : ref.Gif->StillPicture().ToQImage();
        if (mask && !mask->Empty())
            image->Mask = mask->ToQImage();
        else if (ref.Gif && ref.Gif->PictureMask())
            image->Mask = ref.Gif->PictureMask()->ToQImage();
        image->Transparency = image->Mask.isNull() ? 0 : std::max(kind, 1);
        result.Transparency = image->Transparency;
        result.Still = std::move(image);
    }
    return result;
}

}  // namespace kv
