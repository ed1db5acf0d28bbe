#include "html/viewer/viewhost.h"

#include <QPalette>

#include "html/viewer/paintpanel.h"
#include "platform/messages.h"

namespace kv {

bool THtmlView::TViewHost::Handles(THandler handler) const {
    switch (handler) {
    case THandler::Include: return bool(view_.OnInclude);
    case THandler::Script: return bool(view_.OnScript);
    case THandler::Sound: return ReadingHtml && view_.OnSoundRequest;
    case THandler::Stream: return false;  // linked sheets are read from their files
    case THandler::Bitmap: return bool(view_.OnBitmapRequest);
    case THandler::ImageStream: return bool(view_.OnImageRequest);
    }
    return false;
}

void THtmlView::TViewHost::Include(const std::string& command,
                                   const std::vector<std::string>& params, std::string& buffer) {
    if (view_.OnInclude) view_.OnInclude(&view_, command, params, buffer);
}

void THtmlView::TViewHost::Meta(const std::string& httpEq, const std::string& name,
                                const std::string& content) {
    if (!ReadingHtml) return;
    if (view_.OnMeta) view_.OnMeta(&view_, httpEq, name, content);
    view_.MetaHandler(httpEq, content);
}

void THtmlView::TViewHost::SoundRequest(const std::string& src, int loop, bool terminate) {
    if (view_.OnSoundRequest) view_.OnSoundRequest(&view_, src, loop, terminate);
}

void THtmlView::TViewHost::Script(const std::string& name, const std::string& language,
                                  const std::string& script) {
    if (view_.OnScript) view_.OnScript(&view_, name, language, script);
}

void THtmlView::TViewHost::BitmapRequest(const std::string& name, std::unique_ptr<TBitmap>& bitmap,
                                         std::int64_t& color) {
    if (view_.OnBitmapRequest) view_.OnBitmapRequest(&view_, name, bitmap, color);
}

const std::string* THtmlView::TViewHost::ImageRequest(const std::string& name) {
    return view_.OnImageRequest ? view_.OnImageRequest(&view_, name) : nullptr;
}

void THtmlView::TViewHost::PanelCreate(const std::string& name, const std::string& type,
                                       const std::string& src,
                                       std::unique_ptr<TPanelControl>& panel) {
    if (view_.OnPanelCreate) view_.OnPanelCreate(&view_, name, type, src, panel);
}

void THtmlView::TViewHost::PanelDestroy(TPanelControl& panel) {
    if (view_.OnPanelDestroy) view_.OnPanelDestroy(&view_, panel);
}

void THtmlView::TViewHost::FormSubmit(const std::string& action, const std::string& target,
                                      const std::string& encType, const std::string& method,
                                      const std::vector<std::string>& results) {
    view_.SubmitForm(action, target, encType, method, results);
}

void THtmlView::TViewHost::Invalidate() {
    view_.panel_->update();
}

void THtmlView::TViewHost::BackgroundChanged() {
    QPalette colours = view_.palette();
    colours.setColor(QPalette::Window, ToQColor(view_.doc_.BackgroundColor));
    view_.setPalette(colours);
}

void THtmlView::TViewHost::ReportFailure(const std::string& text) {
    messages::showError(text);
}

}  // namespace kv
