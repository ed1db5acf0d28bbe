#pragma once
// Helpers shared by the test programs.

#include <QTemporaryDir>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/messages.h"

namespace kvtest {

// Records every message box instead of showing it, for the lifetime of the object.
class MessageRecorder {
public:
    struct Box {
        kv::messages::Kind kind;
        std::string text;  // Windows-1251
    };
    explicit MessageRecorder(kv::messages::Answer answer = kv::messages::Answer::Ok);
    ~MessageRecorder();
    const std::vector<Box>& Boxes() const { return boxes_; }

private:
    std::vector<Box> boxes_;
    kv::messages::Hook previous_;
};

// A temporary folder removed with the object.
class TempFolder {
public:
    TempFolder();
    std::filesystem::path Path() const { return dir_.path().toStdString(); }
    // Writes bytes to a file below the folder (UTF-8 relative name), creating folders.
    std::filesystem::path Write(std::string_view relative, std::string_view bytes) const;
    std::filesystem::path MakeFolder(std::string_view relative) const;

private:
    QTemporaryDir dir_;
};

std::string ReadFile(const std::filesystem::path& file);
// Windows-1251 bytes of a UTF-8 literal.
std::string W(std::string_view utf8);
// Windows-1251 bytes as the engine's UTF-16 text, and back.
std::u16string U(std::string_view bytes);
std::string B(std::u16string_view text);

// Keeps the process's current folder and restores it.
class CurrentFolderGuard {
public:
    CurrentFolderGuard();
    ~CurrentFolderGuard();

private:
    std::filesystem::path saved_;
};

}  // namespace kvtest
