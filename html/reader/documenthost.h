#pragma once
// The host of a document: everything the engine asks of the program around it, in one
// interface that the viewer implements and hands to the engine once. The tokenizer asks for
// include text, the builder for head elements, scripts and linked sheets, the document for
// images, panel windows, form submits, repaints and the reporting of failures. Every call has
// a harmless default, so a test host overrides only what it looks at.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kv {

class TBitmap;
class TPanelControl;  // a PANEL element's window (html/layout)

// The optional handlers. Without one the engine does what it does for a bare document: an
// include directive is an ordinary comment, a script's text is passed over, BGSOUND is
// ignored, a linked sheet is read from its file, an image from its file.
enum class THandler : std::uint8_t { Include, Script, Sound, Stream, Bitmap, ImageStream };

class TDocumentHost {
public:
    virtual ~TDocumentHost() = default;

    virtual bool Handles(THandler handler) const {
        (void)handler;
        return false;
    }

    // ---- reading
    // <!--#Command NAME="value" ...--> with one parameter line NAME="value" per attribute. Text
    // put into Buffer is read in place of the directive (an empty Buffer inserts nothing).
    virtual void Include(const std::string& command, const std::vector<std::string>& params,
                         std::string& buffer) {
        (void)command, (void)params, (void)buffer;
    }
    // META before content.
    virtual void Meta(const std::string& httpEq, const std::string& name,
                      const std::string& content) {
        (void)httpEq, (void)name, (void)content;
    }
    // BGSOUND before content: the sound file, its loop count; Terminate stops the sound playing.
    virtual void SoundRequest(const std::string& src, int loop, bool terminate) {
        (void)src, (void)loop, (void)terminate;
    }
    // SCRIPT: its text with CR LF line ends.
    virtual void Script(const std::string& name, const std::string& language,
                        const std::string& script) {
        (void)name, (void)language, (void)script;
    }
    // A linked style sheet: its full name first, then its text (false: the host has none).
    virtual std::string ExpandName(const std::string& name) { return name; }
    virtual bool StreamRequest(const std::string& url, std::string& stream) {
        (void)url, (void)stream;
        return false;
    }

    // ---- images, asked before an image file is read
    // May supply the picture (the cache takes it) and a transparent colour (-1: none).
    virtual void BitmapRequest(const std::string& name, std::unique_ptr<TBitmap>& bitmap,
                               std::int64_t& color) {
        (void)name, (void)bitmap, (void)color;
    }
    // May supply the file's bytes (the host keeps them), nullptr for none, or the image cache's
    // wait stream for "later".
    virtual const std::string* ImageRequest(const std::string& name) {
        (void)name;
        return nullptr;
    }

    // ---- panels and forms
    // A PANEL element: the host may give its window (name, TYPE and SRC as written); told
    // again before a window it gave is freed.
    virtual void PanelCreate(const std::string& name, const std::string& type,
                             const std::string& src, std::unique_ptr<TPanelControl>& panel) {
        (void)name, (void)type, (void)src, (void)panel;
    }
    virtual void PanelDestroy(TPanelControl& panel) { (void)panel; }
    virtual void FormSubmit(const std::string& action, const std::string& target,
                            const std::string& encType, const std::string& method,
                            const std::vector<std::string>& results) {
        (void)action, (void)target, (void)encType, (void)method, (void)results;
    }

    // ---- screen and failures
    // Something shown changed (hover, an animation frame): the document wants a repaint.
    virtual void Invalidate() {}
    // The document's background colour changed.
    virtual void BackgroundChanged() {}
    // A failure the document recovered from (a section that could not be laid out was
    // dropped): the host tells the user.
    virtual void ReportFailure(const std::string& text) { (void)text; }
};

// A host that asks for nothing: the documented defaults throughout.
inline TDocumentHost& NoHost() {
    static TDocumentHost host;  // stateless
    return host;
}

}  // namespace kv
