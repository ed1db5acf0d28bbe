// kvtool forms FILE [--width W]: the forms of a document, their controls as laid out and
// painted, and the NAME=value lines each form would send.

#include <algorithm>

#include "html/layout/formcontrols.h"
#include "platform/canvas.h"
#include "platform/codec.h"
#include "tools/kvtool/commands.h"

namespace kvtool {

namespace {

const char* KindName(kv::TControlKind kind) {
    static const char* const names[] = {"text",   "password", "file",    "hidden", "checkbox",
                                        "radio",  "submit",   "reset",   "button", "image",
                                        "select", "listbox",  "textarea"};
    return names[kind];
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) out += c == '"' ? std::string("\\\"") : std::string(1, c);
    return out + "\"";
}

}  // namespace

int Forms(const Args& args) {
    std::string file;
    int width = 665;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--width") {
            if (!IntOption(args, i, width)) return 2;
            width = std::clamp(width, 1, 8000);
        } else {
            file = std::string(args[i]);
        }
    }
    if (file.empty()) return PrintError("usage: kvtool forms FILE [--width W]\n"), 2;
    TLoadedDocument loaded;
    loaded.Load(file);
    kv::TRecordingCanvas canvas(kv::TQtFontEngine::Shared());
    loaded.Layout(canvas, width, 457);
    loaded.document.Paint(canvas, QRect(0, 0, width, std::max(1, loaded.height)), 0, 0);
    for (const auto& form : loaded.document.Forms) {
        Print("form action " + Quoted(form->Action) + " method " + Quoted(form->Method) +
              " target " + Quoted(form->Target) + " enctype " + Quoted(form->EncType) + "\n");
        for (const auto& c : form->Controls)
            Print("  control " + std::string(KindName(c->Kind)) + " " + Quoted(c->Name) + " " +
                  std::to_string(c->Left) + " " + std::to_string(c->Top) + " " +
                  std::to_string(c->Width) + " " + std::to_string(c->Height) + "\n");
        for (std::string line : form->Results()) {
            // One result a line: a text area's line ends are written as \r and \n.
            std::string escaped;
            for (char c : line)
                escaped += c == '\r'   ? std::string("\\r")
                           : c == '\n' ? std::string("\\n")
                                       : std::string(1, c);
            Print("  result " + escaped + "\n");
        }
    }
    return 0;
}

}  // namespace kvtool
