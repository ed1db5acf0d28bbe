#pragma once
// The per-viewer image cache and the document's one way of getting an image, GetImage: the
// cache first, then the host (bitmap or stream requests), then the file. Still GIFs become
// plain bitmaps; animated GIFs stay TGIFImage (every image object that shows one animates its
// own Clone()).
//
// Typical use by the document (FetchImage):
//     int transparency = wantsCornerTransparency ? 1 : 0;
//     bool pending = false, cached = false;
//     const TBitmap* mask = nullptr;
//     TImageRef image = cache.GetImage(name, requests, transparency, pending, cached, mask);
//     ... when the image object lets go: cache.Release(name);
//     ... at every document load:        cache.Age();

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "html/images/gif.h"
#include "platform/bitmap.h"

namespace kv {

// What the cache holds for one name: a bitmap or an animated GIF. Not owned.
struct TImageRef {
    TBitmap* Bitmap = nullptr;
    TGIFImage* Gif = nullptr;
    explicit operator bool() const { return Bitmap != nullptr || Gif != nullptr; }
    int Width() const { return Bitmap ? Bitmap->Width() : Gif ? Gif->Width() : 0; }
    int Height() const { return Bitmap ? Bitmap->Height() : Gif ? Gif->Height() : 0; }
};

// TransparencyKind values.
enum : std::uint8_t { tkNone = 0, tkCorner = 1, tkGIF = 2, tkPNG = 3 };

struct TBitmapItem {
    int AgeInLoads = 0;
    int UseCount = 0;
    std::uint8_t TransparencyKind = tkNone;  // non-zero only with a mask
    std::unique_ptr<TBitmap> Bitmap;
    std::unique_ptr<TGIFImage> Gif;
    std::unique_ptr<TBitmap> Mask;
    TImageRef Image() const { return {Bitmap.get(), Gif.get()}; }
};

// The host's answers. OnBitmapRequest gets the name and may supply a bitmap (the cache takes
// it) and a transparent colour (-1: none). OnImageRequest gets the name and returns a stream
// it keeps owning: nullptr for none, WaitStream() for "not yet".
struct TImageRequests {
    std::function<void(const std::string& name, std::unique_ptr<TBitmap>& bitmap,
                       std::int64_t& color)>
        OnBitmapRequest;
    std::function<const std::string*(const std::string& name)> OnImageRequest;
};

class TStringBitmapList {
public:
    TStringBitmapList() = default;
    TStringBitmapList(const TStringBitmapList&) = delete;
    TStringBitmapList& operator=(const TStringBitmapList&) = delete;

    // The key of a name: upper-cased (Windows-1251 letters), trimmed of codes <= 32.
    static std::string KeyOf(const std::string& name);

    // The document's image fetch. Transparency: in, the kind asked for (1 corner, else 0); out,
    // the kind obtained. Mask: the entry's mask or nullptr (not owned).
    TImageRef GetImage(const std::string& name, const TImageRequests& requests, int& transparency,
                       bool& fromWaitStream, bool& cached, const TBitmap*& mask);

    // Adds an entry under the name's key (its UseCount rises by 1); false when the key exists.
    bool Add(const std::string& name, std::unique_ptr<TBitmapItem> item);
    void Release(const std::string& name);       // UseCount - 1
    void AddReference(const std::string& name);  // UseCount + 1
    // At every document load: unused entries older than MaxCache loads are dropped.
    void Age();
    void SetCapacity(int capacity);
    int MaxCache() const { return maxCache_; }
    void Clear() { items_.clear(); }
    int Count() const { return static_cast<int>(items_.size()); }
    TBitmapItem* Find(const std::string& name);

private:
    TImageRef LoadUncached(const std::string& name, const TImageRequests& requests,
                           int& transparency, bool& fromWaitStream,
                           std::unique_ptr<TBitmap>& bitmap, std::unique_ptr<TGIFImage>& gif,
                           std::unique_ptr<TBitmap>& mask);

    std::map<std::string, std::unique_ptr<TBitmapItem>> items_;  // sorted by key
    int maxCache_ = 4;
};

}  // namespace kv
