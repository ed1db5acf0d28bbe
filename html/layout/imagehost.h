#pragma once
// What inline objects need of their document: whether images are shown, fetching an image,
// the pending and animated registries, the scroll offset, image maps and the name list. The
// section list implements it; tests implement it with a few lines.

#include <QImage>
#include <memory>
#include <string>

namespace kv {

class TCanvas;
class TFloatingObj;
class TImageObj;
class TMapItem;
class TIDObject;

// An animated picture (a decoded GIF). Each image object animates its own copy.
class TAnimatedImage {
public:
    virtual ~TAnimatedImage() = default;
    virtual std::unique_ptr<TAnimatedImage> Clone() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual int FrameCount() const = 0;
    virtual int CurrentFrame() const = 0;
    virtual void SetCurrentFrame(int frame) = 0;
    virtual void Start() = 0;
    virtual void Stop() = 0;
    // The animation timer's step: moves to the next frame when its delay has passed.
    virtual void Advance() = 0;
    // The current frame's picture and mask (null mask: opaque).
    virtual QImage FrameImage() const = 0;
    virtual QImage FrameMask() const = 0;
    // Screen drawing: draws the current frame into the box and marks itself painted.
    virtual void Draw(TCanvas& canvas, const QRect& box) = 0;
    // Set by Draw, cleared by the document before each paint; the animation timer advances
    // only painted images.
    bool Painted = false;
};

// A still picture with its optional mask (1-bit, white = transparent), as the image cache
// keeps it.
struct TLayoutImage {
    QImage Image;
    QImage Mask;
    int Transparency = 0;  // 0 none, 1 lower-left corner colour, 2 and 3 as the loader reports
};

// One answer of the document's image fetch.
struct TFetchResult {
    std::shared_ptr<const TLayoutImage> Still;  // a bitmap, or
    std::unique_ptr<TAnimatedImage> Animated;   // an animated image (a copy for the caller)
    int Transparency = 0;
    bool Pending = false;  // the image comes later
    bool FromCache = false;
    bool Ok() const { return Still || Animated; }
};

class TImageHost {
public:
    virtual ~TImageHost() = default;
    virtual bool ViewImages() const = 0;
    virtual bool IsPrinting() const = 0;
    // The full name of an image source (relative names against the document's folder).
    virtual std::string ExpandImageName(const std::string& source) const = 0;
    virtual TFetchResult FetchImage(const std::string& name, int transparency) = 0;
    virtual bool IsPending(const std::string& key) const = 0;
    virtual void AddPending(const std::string& key, TImageObj* image) = 0;
    virtual void AddAnimated(TAnimatedImage* image) = 0;
    virtual void RemoveAnimated(TAnimatedImage* image) = 0;
    virtual TMapItem* FindMap(const std::string& key) const = 0;
    virtual void RegisterId(const std::string& id, TIDObject* object) = 0;
};

}  // namespace kv
