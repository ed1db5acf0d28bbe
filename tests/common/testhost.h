#pragma once
// A document host for tests: each call goes to the function the test set, and a handler counts
// as present exactly when its function is set; failures are collected.

#include <functional>
#include <string>
#include <vector>

#include "html/reader/documenthost.h"

namespace kvtest {

struct TestHost : kv::TDocumentHost {
    using Strings = std::vector<std::string>;
    std::function<void(const std::string&, const Strings&, std::string&)> OnInclude;
    std::function<void(const std::string&, const std::string&, const std::string&)> OnMeta;
    std::function<void(const std::string&, int, bool)> OnSoundRequest;
    std::function<void(const std::string&, const std::string&, const std::string&)> OnScript;
    std::function<std::string(const std::string&)> OnExpandName;
    std::function<bool(const std::string&, std::string&)> OnStreamRequest;
    std::function<void(const std::string&, std::unique_ptr<kv::TBitmap>&, std::int64_t&)>
        OnBitmapRequest;
    std::function<void(const std::string&, const std::string&, const std::string&,
                       std::unique_ptr<kv::TPanelControl>&)>
        OnPanelCreate;
    std::function<void(kv::TPanelControl&)> OnPanelDestroy;
    std::function<void(const std::string&, const std::string&, const std::string&,
                       const std::string&, const Strings&)>
        OnFormSubmit;
    Strings Failures;
    int Invalidations = 0;

    bool Handles(kv::THandler handler) const override {
        switch (handler) {
        case kv::THandler::Include: return bool(OnInclude);
        case kv::THandler::Script: return bool(OnScript);
        case kv::THandler::Sound: return bool(OnSoundRequest);
        case kv::THandler::Stream: return bool(OnStreamRequest);
        case kv::THandler::Bitmap: return bool(OnBitmapRequest);
        case kv::THandler::ImageStream: return false;
        }
        return false;
    }
    void Include(const std::string& c, const Strings& p, std::string& b) override {
        OnInclude(c, p, b);
    }
    void Meta(const std::string& h, const std::string& n, const std::string& c) override {
        if (OnMeta) OnMeta(h, n, c);
    }
    void SoundRequest(const std::string& s, int l, bool t) override { OnSoundRequest(s, l, t); }
    void Script(const std::string& n, const std::string& l, const std::string& s) override {
        OnScript(n, l, s);
    }
    std::string ExpandName(const std::string& name) override {
        return OnExpandName ? OnExpandName(name) : name;
    }
    bool StreamRequest(const std::string& url, std::string& stream) override {
        return OnStreamRequest(url, stream);
    }
    void BitmapRequest(const std::string& name, std::unique_ptr<kv::TBitmap>& bitmap,
                       std::int64_t& color) override {
        OnBitmapRequest(name, bitmap, color);
    }
    void PanelCreate(const std::string& n, const std::string& t, const std::string& s,
                     std::unique_ptr<kv::TPanelControl>& panel) override {
        if (OnPanelCreate) OnPanelCreate(n, t, s, panel);
    }
    void PanelDestroy(kv::TPanelControl& panel) override {
        if (OnPanelDestroy) OnPanelDestroy(panel);
    }
    void FormSubmit(const std::string& a, const std::string& t, const std::string& e,
                    const std::string& m, const Strings& r) override {
        if (OnFormSubmit) OnFormSubmit(a, t, e, m, r);
    }
    void Invalidate() override { ++Invalidations; }
    void ReportFailure(const std::string& text) override { Failures.push_back(text); }
};

}  // namespace kvtest
