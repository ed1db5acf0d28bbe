#include "tests/common/testutil.h"

#include <fstream>
#include <sstream>

#include "platform/codec.h"

namespace kvtest {
namespace fs = std::filesystem;

MessageRecorder::MessageRecorder(kv::messages::Answer answer) {
    previous_ =
        kv::messages::setHook([this, answer](kv::messages::Kind kind, const std::string& text) {
            boxes_.push_back({kind, text});
            return answer;
        });
}

MessageRecorder::~MessageRecorder() {
    kv::messages::setHook(std::move(previous_));
}

TempFolder::TempFolder() = default;

fs::path TempFolder::Write(std::string_view relative, std::string_view bytes) const {
    const fs::path file = Path() / fs::path(std::string(relative));
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
}

fs::path TempFolder::MakeFolder(std::string_view relative) const {
    const fs::path folder = Path() / fs::path(std::string(relative));
    fs::create_directories(folder);
    return folder;
}

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string W(std::string_view utf8) {
    return kv::cp1251::fromUtf8(utf8);
}

std::u16string U(std::string_view bytes) {
    return kv::cp1251::toUtf16(bytes);
}

std::string B(std::u16string_view text) {
    return kv::cp1251::fromUtf16(text);
}

CurrentFolderGuard::CurrentFolderGuard() : saved_(fs::current_path()) {}
CurrentFolderGuard::~CurrentFolderGuard() {
    std::error_code ec;
    fs::current_path(saved_, ec);
}

}  // namespace kvtest
