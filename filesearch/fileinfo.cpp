#include "filesearch/fileinfo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cmath>

#include "cache/walkcache.h"

namespace kv {
namespace {

// Days from 1 March 0000 style civil calendar arithmetic (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::int64_t nanoseconds(const statx_timestamp& t) {
    return t.tv_sec * 1'000'000'000 + t.tv_nsec;
}

timespec FromStatx(const statx_timestamp& t) {
    timespec result{};
    result.tv_sec = static_cast<time_t>(t.tv_sec);
    result.tv_nsec = static_cast<long>(t.tv_nsec);
    return result;
}

bool LocalTime(const timespec& utc, tm& local) {
    const time_t seconds = utc.tv_sec;
    return localtime_r(&seconds, &local) != nullptr;
}

}  // namespace

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int millisecond) {
    const double days =
        static_cast<double>(DaysFromCivil(year, month, day) - DaysFromCivil(1899, 12, 30));
    const double time =
        (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + millisecond) / 86400000.0;
    return days + time;
}

TDateTime ToLocalDateTime(const timespec& utc) {
    tm local{};
    if (!LocalTime(utc, local)) return 0;
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec, static_cast<int>(utc.tv_nsec / 1000000));
}

std::int32_t ToPackedDateTime(const timespec& utc) {
    tm local{};
    if (!LocalTime(utc, local)) return 0;
    const int year = local.tm_year + 1900;
    if (year < 1980 || year > 2107) return 0;
    const std::uint32_t date = static_cast<std::uint32_t>(
        ((year - 1980) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
    const std::uint32_t time = static_cast<std::uint32_t>((local.tm_hour << 11) |
                                                          (local.tm_min << 5) | (local.tm_sec / 2));
    return static_cast<std::int32_t>((date << 16) | time);
}

bool ReadEntry(int dirFd, const char* nativeName, std::string_view name, TSearchRec& rec,
               cache::FileStamp* stamp) {
    struct statx info {};
    if (statx(dirFd, nativeName, AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME, &info) !=
        0) {
        return false;
    }
    const bool folder = S_ISDIR(info.stx_mode);
    if (!folder && !S_ISREG(info.stx_mode)) return false;

    std::uint32_t attr = folder ? faDirectory : faArchive;
    if ((info.stx_mode & S_IWUSR) == 0) attr |= faReadOnly;
    if (!name.empty() && name.front() == '.') attr |= faHidden;

    TFindData& data = rec.FindData;
    data.FileAttributes = attr;
    data.LastWriteTime = FromStatx(info.stx_mtime);
    data.LastAccessTime = FromStatx(info.stx_atime);
    data.CreationTime =
        FromStatx((info.stx_mask & STATX_BTIME) != 0 ? info.stx_btime : info.stx_ctime);
    data.FileSize = folder ? 0 : static_cast<std::int64_t>(info.stx_size);
    data.FileName.assign(name);
    if (stamp) {
        *stamp = {makedev(info.stx_dev_major, info.stx_dev_minor), info.stx_ino, info.stx_size,
                  nanoseconds(info.stx_mtime), nanoseconds(info.stx_ctime)};
    }

    rec.Attr = attr;
    rec.Size = data.FileSize;
    rec.Name.assign(name);
    rec.Time = ToPackedDateTime(data.LastWriteTime);
    return true;
}

}  // namespace kv
