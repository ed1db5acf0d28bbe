#pragma once
// A document for inline-object tests: images by name from a map, everything else recorded.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "html/layout/imagemap.h"
#include "html/layout/inlineobjects.h"

namespace kv {

class FakeImageHost : public TImageHost {
public:
    bool ViewImages() const override { return view; }
    bool IsPrinting() const override { return false; }
    std::string ExpandImageName(const std::string& s) const override { return s; }
    TFetchResult FetchImage(const std::string& name, int) override {
        TFetchResult r;
        ++fetches;
        if (name == "later.gif") r.Pending = true;
        auto it = images.find(name);
        if (it != images.end()) r.Still = it->second;
        return r;
    }
    bool IsPending(const std::string& key) const override {
        for (auto& [k, obj] : pending)
            if (k == key) return true;
        return false;
    }
    void AddPending(const std::string& key, TImageObj* image) override {
        pending.emplace_back(key, image);
    }
    void AddAnimated(TAnimatedImage* image) override { animated.push_back(image); }
    void RemoveAnimated(TAnimatedImage* image) override { std::erase(animated, image); }
    TMapItem* FindMap(const std::string& key) const override {
        for (auto& map : maps)
            if (map->MapKey == key) return map.get();
        return nullptr;
    }
    void RegisterId(const std::string& id, TIDObject* object) override { ids[id] = object; }

    void AddImage(const std::string& name, int w, int h) {
        auto image = std::make_shared<TLayoutImage>();
        image->Image = QImage(w, h, QImage::Format_RGB32);
        image->Image.fill(Qt::blue);
        images[name] = image;
    }

    bool view = true;
    int fetches = 0;
    std::map<std::string, std::shared_ptr<const TLayoutImage>> images;
    std::vector<std::pair<std::string, TImageObj*>> pending;
    std::vector<TAnimatedImage*> animated;
    std::vector<std::unique_ptr<TMapItem>> maps;
    std::map<std::string, TIDObject*> ids;
};

}  // namespace kv
