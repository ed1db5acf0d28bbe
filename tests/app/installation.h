#pragma once
// A program folder with a content folder, and a Windows folder of its own, for shell tests.

#include <string>
#include <string_view>

#include "app/startup.h"
#include "platform/codec.h"
#include "tests/common/testutil.h"

namespace kvtest {

struct Installation {
    TempFolder program;
    TempFolder windows;
    CurrentFolderGuard guard;

    kv::ShellFolders Folders() const {
        return {kv::text::fromPath(program.Path()) + "/",
                kv::text::fromPath(windows.Path()) + "/",
                {} /* no walk cache */};
    }
    // Writes inside/<folder>/index.htm (texts in UTF-8, stored as Windows-1251).
    void Article(std::string_view folder, std::string_view text) {
        program.Write("inside/" + std::string(folder) + "/index.htm", W(text));
    }
};

}  // namespace kvtest
