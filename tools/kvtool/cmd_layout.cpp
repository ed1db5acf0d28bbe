// kvtool layout FILE --width W [--sections]: the document height, its widest line, the y of
// every anchor and, with --sections, one line per section.

#include <algorithm>
#include <iostream>

#include "html/layout/builder.h"
#include "platform/canvas.h"
#include "platform/codec.h"
#include "tools/kvtool/commands.h"

namespace kvtool {

TLoadedDocument::TLoadedDocument() : document(kv::TQtFontEngine::Shared()) {
    kv::TDocumentDefaults defaults;
    defaults.Font.Name = "MS Sans Serif";
    defaults.Font.Size = 10;
    document.SetDefaults(defaults);
    document.SetHost(this);
}

void TLoadedDocument::Load(const std::string& file) {
    const std::size_t slash = file.find_last_of('/');
    document.SetBaseFolder(slash == std::string::npos ? "" : file.substr(0, slash + 1));
    kv::THtmlBuilder builder(document);
    builder.LoadHtmlFile(file);
    title = builder.Title;
}

int TLoadedDocument::Layout(kv::TCanvas& canvas, int width, int viewHeight) {
    height = document.DoLayout(canvas, width, viewHeight, maxWidth);
    return height;
}

namespace {

void PrintSections(const kv::TSectionBase& section, int depth) {
    Print(std::string(std::size_t(depth) * 2, ' ') + section.Kind() + " " +
          std::to_string(section.Top) + " " + std::to_string(section.FlowHeight) + " " +
          std::to_string(section.LineCount()) + "\n");
    if (auto* block = dynamic_cast<const kv::TBlock*>(&section))
        for (const auto& child : block->Content.Sections) PrintSections(*child, depth + 1);
}

}  // namespace

int Layout(const Args& args) {
    std::string file;
    int width = 665;
    bool sections = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--width") {
            if (!IntOption(args, i, width)) return 2;
        } else if (args[i] == "--sections") {
            sections = true;
        } else {
            file = std::string(args[i]);
        }
    }
    if (file.empty()) return PrintError("usage: kvtool layout FILE --width W [--sections]\n"), 2;
    width = std::clamp(width, 1, 32000);
    TLoadedDocument loaded;
    loaded.Load(file);
    kv::TImageCanvas canvas(1, 1);
    loaded.Layout(canvas, width, 457);
    Print("height " + std::to_string(loaded.height) + "\n");
    Print("maxwidth " + std::to_string(loaded.maxWidth) + "\n");
    // Anchors in document order (by their y; names as the list keeps them).
    std::vector<std::pair<int, std::string>> anchors;
    const kv::TIDNameList& names = loaded.document.IDNames;
    for (int i = 0; i < names.Count(); ++i)
        anchors.emplace_back(names.Object(i) ? names.Object(i)->AnchorY() : 0, names.Name(i));
    std::stable_sort(anchors.begin(), anchors.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [y, name] : anchors) Print("anchor " + name + " " + std::to_string(y) + "\n");
    if (sections)
        for (const auto& section : loaded.document.Sections) PrintSections(*section, 0);
    return 0;
}

}  // namespace kvtool
