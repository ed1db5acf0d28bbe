// kvtool index: the contents lines the reader writes for a content folder, or the loaded tree.
// Like the reader, it keeps the walk's cache in the user's cache folder and reads only the
// articles changed since the last walk, then brings the search's index up to date there (what
// the reader does after its window is shown); --no-cache reads every article and keeps nothing.

#include <unistd.h>

#include "app/contentindex.h"
#include "app/contenttree.h"
#include "cache/cachefile.h"
#include "platform/codec.h"
#include "tools/kvtool/commands.h"

namespace kvtool {
namespace {

void printTree(const kv::TreeNode& node, int level, std::string& out) {
    out.append(static_cast<size_t>(level) * 2, ' ');
    out += node.text;
    out += '\n';
    for (const auto& child : node.children) printTree(*child, level + 1, out);
}

}  // namespace

int Index(const Args& args) {
    bool tree = false;
    bool useCache = true;
    std::string folder;
    for (const auto& arg : args) {
        if (arg == "--tree") {
            tree = true;
        } else if (arg == "--no-cache") {
            useCache = false;
        } else if (folder.empty()) {
            folder = arg;
        } else {
            PrintError("usage: kvtool index [--tree] [--no-cache] FOLDER\n");
            return 2;
        }
    }
    if (folder.empty()) {
        PrintError("usage: kvtool index [--tree] [--no-cache] FOLDER\n");
        return 2;
    }
    kv::TContentIndex index;
    if (useCache) index.UseCache(kv::cache::DefaultFolder());
    index.Walk(std::string(folder));
    if (index.FailureCount() > 0) PrintError("kvtool: " + index.FailureMessage() + "\n");
    if (useCache) kv::UpdateSearchIndex(index, kv::cache::DefaultFolder());

    std::string text;
    if (tree) {
        // Through the contents-file text, exactly as the reader loads it.
        kv::ContentTree contents;
        int status = 0;
        try {
            contents.LoadFromText(index.Text());
        } catch (const std::exception& failure) {
            PrintError(std::string("kvtool: ") + failure.what() + "\n");
            status = 1;
        }
        for (const auto& root : contents.Roots()) printTree(*root, 0, text);
        Print(kv::text::fromWindows1251(text));  // the contents text is Windows-1251
        return status;
    }
    for (const auto& line : index.Lines()) {
        text += line;
        text += '\n';
    }
    Print(kv::text::fromWindows1251(text));
    return 0;
}

}  // namespace kvtool
