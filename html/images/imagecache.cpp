#include "html/images/imagecache.h"

#include "html/images/display.h"
#include "html/images/loaders.h"
#include "platform/codec.h"

namespace kv {
namespace {

bool IsGIF(const std::string& bytes) {
    const int kind = RecognizeImage(bytes);
    return kind == ikGIF87 || kind == ikGIF89;
}

bool HasGIFExtension(const std::string& name) {
    return name.size() >= 4 && text::lowerText(name.substr(name.size() - 4)) == ".gif";
}

std::unique_ptr<TBitmap> CornerMask(const TBitmap& bitmap) {
    try {
        return MakeMask(bitmap, false, kBlack);
    } catch (const std::exception&) {
        return nullptr;
    }
}

}  // namespace

std::string TStringBitmapList::KeyOf(const std::string& name) {
    return text::upperText(TrimView(name));
}

TBitmapItem* TStringBitmapList::Find(const std::string& name) {
    const auto found = items_.find(KeyOf(name));
    return found == items_.end() ? nullptr : found->second.get();
}

bool TStringBitmapList::Add(const std::string& name, std::unique_ptr<TBitmapItem> item) {
    if (!item) return false;
    item->UseCount += 1;
    return items_.emplace(KeyOf(name), std::move(item)).second;
}

void TStringBitmapList::Release(const std::string& name) {
    if (TBitmapItem* item = Find(name)) item->UseCount -= 1;
}

void TStringBitmapList::AddReference(const std::string& name) {
    if (TBitmapItem* item = Find(name)) item->UseCount += 1;
}

void TStringBitmapList::Age() {
    for (auto it = items_.end(); it != items_.begin();) {
        --it;
        TBitmapItem& item = *it->second;
        item.AgeInLoads += 1;
        if (item.AgeInLoads > maxCache_ && item.UseCount < 1) it = items_.erase(it);
    }
}

void TStringBitmapList::SetCapacity(int capacity) {
    for (auto it = items_.begin(); it != items_.end();) {
        if (it->second->AgeInLoads > capacity && it->second->UseCount <= 0)
            it = items_.erase(it);
        else
            ++it;
    }
    maxCache_ = capacity;
}

TImageRef TStringBitmapList::GetImage(const std::string& name, const TImageRequests& requests,
                                      int& transparency, bool& fromWaitStream, bool& cached,
                                      const TBitmap*& mask) {
    mask = nullptr;
    fromWaitStream = false;
    cached = false;
    if (name.empty()) return {};
    if (TBitmapItem* item = Find(name)) {
        item->AgeInLoads = 0;
        item->UseCount += 1;
        cached = true;
        if (item->Bitmap) {
            if (item->TransparencyKind == tkGIF || item->TransparencyKind == tkPNG) {
                transparency = item->TransparencyKind;
            } else if (transparency == tkCorner) {
                if (!item->Mask) item->Mask = CornerMask(*item->Bitmap);
                if (item->Mask)
                    item->TransparencyKind = tkCorner;
                else
                    transparency = tkNone;
            }
        }
        mask = item->Mask.get();
        return item->Image();
    }

    auto item = std::make_unique<TBitmapItem>();
    LoadUncached(std::string(TrimView(name)), requests, transparency, fromWaitStream, item->Bitmap,
                 item->Gif, item->Mask);
    if (!item->Bitmap && !item->Gif) {
        transparency = tkNone;
        return {};
    }
    if (!item->Mask && item->Bitmap) transparency = tkNone;
    item->TransparencyKind = static_cast<std::uint8_t>(item->Mask ? transparency : 0);
    TBitmapItem* added = item.get();
    if (!Add(name, std::move(item))) return {};
    mask = added->Mask.get();
    return added->Image();
}

TImageRef TStringBitmapList::LoadUncached(const std::string& name, const TImageRequests& requests,
                                          int& transparency, bool& fromWaitStream,
                                          std::unique_ptr<TBitmap>& bitmap,
                                          std::unique_ptr<TGIFImage>& gif,
                                          std::unique_ptr<TBitmap>& mask) {
    bool notAnimated = false;
    if (requests.OnBitmapRequest) {
        std::int64_t color = -1;
        requests.OnBitmapRequest(name, bitmap, color);
        if (bitmap && !bitmap->Empty()) {
            if (color != -1) {
                mask = MakeMask(*bitmap, true, static_cast<TColor>(color));
                transparency = tkGIF;
            } else if (transparency == tkCorner) {
                mask = CornerMask(*bitmap);
            }
        } else {
            bitmap.reset();
        }
    } else if (requests.OnImageRequest) {
        const std::string* stream = requests.OnImageRequest(name);
        if (stream == WaitStream()) {
            fromWaitStream = true;
            return {};
        }
        if (stream == nullptr || stream->empty()) return {};
        if (IsGIF(*stream)) gif = TGIFImage::CreateFromStream(*stream, notAnimated);
        if (!gif) bitmap = LoadImageStream(stream, transparency, mask);
    } else {
        if (HasGIFExtension(name)) gif = TGIFImage::CreateFromFile(name, notAnimated);
        if (!gif) bitmap = LoadImageFile(name, transparency, mask);
    }
    if (gif && notAnimated) {
        // A still GIF is kept as a plain bitmap (and its mask).
        if (const TBitmap* picture = gif->Picture()) bitmap = std::make_unique<TBitmap>(*picture);
        if (bitmap && gif->Transparent() && gif->PictureMask()) {
            mask = std::make_unique<TBitmap>(*gif->PictureMask());
            transparency = tkGIF;
        } else if (bitmap && transparency == tkCorner) {
            mask = CornerMask(*bitmap);
        }
        gif.reset();
    }
    if (gif) mask.reset();
    return {bitmap.get(), gif.get()};
}

}  // namespace kv
