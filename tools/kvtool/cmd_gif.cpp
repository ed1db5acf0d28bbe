// kvtool gif: what the GIF decoder reads from a file, frame by frame.

#include <cstdio>

#include "html/images/gif.h"
#include "platform/codec.h"
#include "tools/kvtool/commands.h"

namespace kvtool {

int Gif(const Args& args) {
    if (args.size() != 1) {
        PrintError("usage: kvtool gif FILE\n");
        return 2;
    }
    kv::TGIFImage gif;
    gif.SetKeepIndexes(true);
    if (!gif.LoadFromFile(std::string(args[0]))) {
        Print("error \"" + gif.LastError() + "\"\n");
        return 1;
    }
    char line[256];
    std::snprintf(line, sizeof line, "screen %d %d frames %d loop %d transparent %d\n", gif.Width(),
                  gif.Height(), gif.FrameCount(), gif.LoopCount(), gif.Transparent() ? 1 : 0);
    Print(line);
    for (int i = 1; i <= gif.FrameCount(); ++i) {
        const kv::TgfFrame& frame = gif.Frame(i);
        std::snprintf(
            line, sizeof line,
            "frame %d %d %d %d %d interlaced %d disposal %d delay %d transparent %d hash %08x\n", i,
            frame.Left, frame.Top, frame.Width, frame.Height, frame.Interlaced ? 1 : 0,
            frame.Disposal, frame.Delay, frame.Transparent ? frame.TransparentIndex : -1,
            kv::Fnv1a(frame.Indexes.data(), frame.Indexes.size()));
        Print(line);
    }
    return 0;
}

}  // namespace kvtool
