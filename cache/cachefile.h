#pragma once
// Cache files in the user's cache folder: where they live, what they are named after, and
// how they are written (whole or not at all) and checked when read back (whole or not at all).

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kv::cache {

// Closes a file descriptor when it goes out of scope.
struct FileHandle {
    int fd;
    explicit FileHandle(int f) : fd(f) {}
    ~FileHandle() {
        if (fd >= 0) ::close(fd);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
};

// $XDG_CACHE_HOME/kvarnelya, else $HOME/.cache/kvarnelya; empty (no cache) when neither is set.
std::filesystem::path DefaultFolder();

// A 64-bit hash of bytes: names a cache after its content folder and checks a file's payload.
std::uint64_t Hash(std::string_view bytes);

// The cache file of one kind ("walk", ...) for the content folder at `root` (absolute path).
std::filesystem::path FileFor(const std::filesystem::path& folder, const std::string& root,
                              std::string_view kind);

// Writes header + payload to `file` through a temporary file renamed over it, creating the
// folder when missing; false (and nothing left behind) when any step fails.
bool WriteAtomically(const std::filesystem::path& file, std::string_view header,
                     std::string_view payload);

// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadWhole(const std::filesystem::path& file);

// The header that seals a payload: the kind's magic (8 bytes, with its format version), the
// byte order, the content folder it belongs to, and the payload's size and hash.
std::string SealHeader(std::string_view magic, const std::string& root, std::string_view payload);
// The payload of a file sealed for this magic and root; nothing when the file is of another
// kind, version or folder, truncated, lengthened or altered.
std::optional<std::string_view> Unseal(std::string_view file, std::string_view magic,
                                       const std::string& root);

// Reads fixed-width values and length-prefixed texts from a byte range, failing (and staying
// failed) on the first read past its end, so corrupt input is noticed once, at the end.
class Reader {
public:
    explicit Reader(std::string_view bytes) : rest_(bytes) {}
    std::uint32_t U32();
    std::uint64_t U64();
    std::string_view Bytes(std::size_t count);
    std::string_view Text() { return Bytes(U32()); }
    std::string_view Text64();
    bool Ok() const { return ok_; }
    bool AtEnd() const { return ok_ && rest_.empty(); }
    std::string_view Rest() const { return rest_; }

private:
    void Copy(void* out, std::size_t size);
    std::string_view rest_;
    bool ok_ = true;
};

// Appends values in the form Reader reads them.
void PutU32(std::string& out, std::uint32_t value);
void PutU64(std::string& out, std::uint64_t value);
void PutText(std::string& out, std::string_view text);

}  // namespace kv::cache
