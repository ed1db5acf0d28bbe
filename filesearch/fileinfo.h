#pragma once
// What the search knows of one folder entry: the attribute word, sizes and times of the
// Windows find data, derived from what a Linux file system offers.
//
// Attribute bits on Linux:
//   folder    (16) the entry is a directory (after following a symbolic link);
//   read-only  (1) the owner has no write permission (S_IWUSR clear);
//   hidden     (2) the name begins with ".";
//   archive   (32) every regular file;
//   system     (4) never.
// Times: last write = modification time, last access = access time, creation = birth time
// where the file system records it (statx), otherwise the status-change time.

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace kv {

namespace cache {
struct FileStamp;
}  // namespace cache

// Day count since 30 December 1899, the time of day as fraction.
using TDateTime = double;

inline constexpr std::uint32_t faReadOnly = 0x01;
inline constexpr std::uint32_t faHidden = 0x02;
inline constexpr std::uint32_t faSysFile = 0x04;
inline constexpr std::uint32_t faDirectory = 0x10;
inline constexpr std::uint32_t faArchive = 0x20;

// The platform's complete find data of an entry; times in universal time.
struct TFindData {
    std::uint32_t FileAttributes = 0;
    timespec CreationTime{};
    timespec LastAccessTime{};
    timespec LastWriteTime{};
    std::int64_t FileSize = 0;
    std::string FileName;  // Windows-1251
};

// The search record handed to OnFound.
struct TSearchRec {
    std::int32_t Time = 0;  // last write, packed local date (high word) and time (low word)
    // Bytes. Kept at full width so that files over 2 GB are not mistaken for small ones.
    std::int64_t Size = 0;
    std::uint32_t Attr = 0;
    std::string Name;  // without folder, Windows-1251
    TFindData FindData;
};

// Fills rec for the entry nativeName of the open folder dirFd, following symbolic links, and
// the stamp the search's index knows files by when asked. False when the entry is gone or is
// neither a regular file nor a folder (devices, pipes and sockets are never candidates).
bool ReadEntry(int dirFd, const char* nativeName, std::string_view name, TSearchRec& rec,
               cache::FileStamp* stamp = nullptr);

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int millisecond);
// A universal time as a local date-time value.
TDateTime ToLocalDateTime(const timespec& utc);
// A universal time as packed local date and time (0 outside 1980-2107).
std::int32_t ToPackedDateTime(const timespec& utc);

}  // namespace kv
