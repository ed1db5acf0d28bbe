#include "cache/cachefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>

namespace kv::cache {
namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kByteOrder = 0x01020304;

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t wrote = ::write(fd, bytes.data(), bytes.size());
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(wrote));
    }
    return true;
}

std::uint64_t mix(std::uint64_t h, std::uint64_t word) {
    h ^= word;
    h *= 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 29);
}

}  // namespace

fs::path DefaultFolder() {
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache)
        return fs::path(cache) / "kvarnelya";
    if (const char* home = std::getenv("HOME"); home && *home)
        return fs::path(home) / ".cache" / "kvarnelya";
    return {};
}

std::uint64_t Hash(std::string_view bytes) {
    // Eight bytes a step: the payload of a large encyclopedia is tens of megabytes.
    std::uint64_t h = 0xCBF29CE484222325ull ^ bytes.size();
    size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        h = mix(h, word);
    }
    std::uint64_t tail = 0;
    if (i < bytes.size()) std::memcpy(&tail, bytes.data() + i, bytes.size() - i);  // may be null
    return mix(mix(h, tail), 0x2545F4914F6CDD1Dull);
}

fs::path FileFor(const fs::path& folder, const std::string& root, std::string_view kind) {
    char name[17];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(Hash(root)));
    return folder / (std::string(name) + "." + std::string(kind));
}

bool WriteAtomically(const fs::path& file, std::string_view header, std::string_view payload) {
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    if (error) return false;
    std::string pattern = file.native() + ".XXXXXX";
    FileHandle handle(::mkstemp(pattern.data()));
    if (handle.fd < 0) return false;
    bool ok = writeAll(handle.fd, header) && writeAll(handle.fd, payload);
    ok = ::close(std::exchange(handle.fd, -1)) == 0 && ok;
    if (ok) ok = ::rename(pattern.c_str(), file.c_str()) == 0;
    if (!ok) ::unlink(pattern.c_str());
    return ok;
}

std::optional<std::string> ReadWhole(const fs::path& file) {
    FileHandle handle(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (handle.fd < 0 || ::fstat(handle.fd, &st) != 0 || !S_ISREG(st.st_mode)) return {};
    std::string bytes(static_cast<size_t>(st.st_size), '\0');
    size_t have = 0;
    while (have < bytes.size()) {
        const ssize_t got = ::read(handle.fd, bytes.data() + have, bytes.size() - have);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return {};
        have += static_cast<size_t>(got);
    }
    return bytes;
}

std::string SealHeader(std::string_view magic, const std::string& root, std::string_view payload) {
    std::string header(magic);
    PutU32(header, kByteOrder);
    PutText(header, root);
    PutU64(header, payload.size());
    PutU64(header, Hash(payload));
    return header;
}

std::optional<std::string_view> Unseal(std::string_view file, std::string_view magic,
                                       const std::string& root) {
    Reader in(file);
    if (in.Bytes(magic.size()) != magic || in.U32() != kByteOrder || in.Text() != root) return {};
    const std::uint64_t size = in.U64();
    const std::uint64_t hash = in.U64();
    if (!in.Ok() || in.Rest().size() != size || Hash(in.Rest()) != hash) return {};
    return in.Rest();
}

std::string_view Reader::Bytes(std::size_t count) {
    if (!ok_ || count > rest_.size()) {
        ok_ = false;
        return {};
    }
    const std::string_view bytes = rest_.substr(0, count);
    rest_.remove_prefix(count);
    return bytes;
}

std::string_view Reader::Text64() {
    const std::uint64_t size = U64();
    if (size > rest_.size()) ok_ = false;
    return Bytes(ok_ ? static_cast<std::size_t>(size) : 0);
}

void Reader::Copy(void* out, std::size_t size) {
    const std::string_view bytes = Bytes(size);
    if (ok_) std::memcpy(out, bytes.data(), size);
}

std::uint32_t Reader::U32() {
    std::uint32_t value = 0;
    Copy(&value, sizeof value);
    return value;
}

std::uint64_t Reader::U64() {
    std::uint64_t value = 0;
    Copy(&value, sizeof value);
    return value;
}

void PutU32(std::string& out, std::uint32_t value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutU64(std::string& out, std::uint64_t value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutText(std::string& out, std::string_view text) {
    PutU32(out, static_cast<std::uint32_t>(text.size()));
    out.append(text);
}

}  // namespace kv::cache
