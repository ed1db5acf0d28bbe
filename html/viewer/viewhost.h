#pragma once
// The viewer as its document's host: the engine's requests become the viewer's events (each
// handler offered only when its event is set) and its own work (repaints, the background
// colour, form submits, the error box).

#include "html/reader/documenthost.h"
#include "html/viewer/htmlview.h"

namespace kv {

class THtmlView::TViewHost : public TDocumentHost {
public:
    explicit TViewHost(THtmlView& view) : view_(view) {}

    bool Handles(THandler handler) const override;
    void Include(const std::string& command, const std::vector<std::string>& params,
                 std::string& buffer) override;
    void Meta(const std::string& httpEq, const std::string& name,
              const std::string& content) override;
    void SoundRequest(const std::string& src, int loop, bool terminate) override;
    void Script(const std::string& name, const std::string& language,
                const std::string& script) override;
    void BitmapRequest(const std::string& name, std::unique_ptr<TBitmap>& bitmap,
                       std::int64_t& color) override;
    const std::string* ImageRequest(const std::string& name) override;
    void PanelCreate(const std::string& name, const std::string& type, const std::string& src,
                     std::unique_ptr<TPanelControl>& panel) override;
    void PanelDestroy(TPanelControl& panel) override;
    void FormSubmit(const std::string& action, const std::string& target,
                    const std::string& encType, const std::string& method,
                    const std::vector<std::string>& results) override;
    void Invalidate() override;
    void BackgroundChanged() override;
    void ReportFailure(const std::string& text) override;

    // An HTML file is being read: only then do META and BGSOUND reach the events.
    bool ReadingHtml = false;

private:
    THtmlView& view_;
};

}  // namespace kv
