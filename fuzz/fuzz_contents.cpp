// Fuzzes what the reader makes of article files and of the contents file: the anchor scan, fed
// in blocks of every size, and the contents-tree loader.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/contentindex.h"
#include "app/contenttree.h"
#include "platform/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    std::string whole;
    kv::TopicScanner scanner(whole);
    scanner.Feed(text);
    scanner.Finish();

    // The same bytes in small blocks must give the same topics.
    const size_t block = size > 0 ? 1 + data[0] % 13 : 1;
    std::string pieces;
    kv::TopicScanner blockScanner(pieces);
    for (size_t i = 0; i < size; i += block) blockScanner.Feed(text.substr(i, block));
    blockScanner.Finish();
    if (pieces != whole) __builtin_trap();

    kv::ContentTree tree;
    try {
        tree.LoadFromText(text);
    } catch (const kv::Exception&) {
    }
    return 0;
}
