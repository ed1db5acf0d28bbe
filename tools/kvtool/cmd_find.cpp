// kvtool find FILE PHRASE [--match-case] [--times N]: the selections that successive Find
// calls of the reader's viewer make in a document (the shell's settings, 665x457), one line
// each: "start END end END top Y" (text positions and the scroll top after the call), or
// "not found" when a call finds nothing more.

#include <algorithm>

#include "app/viewersettings.h"
#include "html/viewer/htmlview.h"
#include "platform/codec.h"
#include "tools/kvtool/commands.h"

namespace kvtool {

int Find(const Args& args) {
    std::string file, phrase;
    bool matchCase = false, havePhrase = false;
    int times = 1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--match-case") {
            matchCase = true;
        } else if (args[i] == "--times") {
            if (!IntOption(args, i, times)) return 2;
        } else if (file.empty()) {
            file = std::string(args[i]);
        } else {
            phrase = std::string(args[i]);
            havePhrase = true;
        }
    }
    if (file.empty() || !havePhrase)
        return PrintError("usage: kvtool find FILE PHRASE [--match-case] [--times N]\n"), 2;
    kv::THtmlView view;
    if (!OpenInViewer(view, file, 665, 457)) return 1;
    times = std::clamp(times, 1, 100000);
    for (int i = 0; i < times; ++i) {
        if (!view.Find(phrase, matchCase)) {
            Print("not found\n");
            return i == 0 ? 1 : 0;
        }
        Print("start " + std::to_string(view.Document().SelStart()) + " end " +
              std::to_string(view.Document().SelEnd()) + " top " +
              std::to_string(view.VScrollPos()) + "\n");
    }
    return 0;
}

}  // namespace kvtool
