#pragma once
// The document's images through the image cache of the images module: bitmaps become
// TLayoutImage pictures, animated GIFs an animation that each image object owns a copy of.

#include <string>

#include "html/images/imagecache.h"
#include "html/layout/imagehost.h"

namespace kv {

// Fetches `name` through the cache (asking the host's handlers first). Pending when the host
// said the image comes later; empty when it can be neither requested nor read.
TFetchResult FetchThroughCache(TStringBitmapList& cache, const TImageRequests& requests,
                               const std::string& name, int transparency);

// An animation over a decoded GIF.
std::unique_ptr<TAnimatedImage> MakeGifAnimation(std::unique_ptr<TGIFImage> gif);

}  // namespace kv
