#pragma once
// Helpers for the long-running test programs (soak and hostile articles): the process's memory
// as the kernel counts it, and a watchdog that ends a run that hangs.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace kvtest {

// Resident memory now (/proc/self/statm), in bytes; 0 when it cannot be read.
std::int64_t ResidentBytes();
// The highest resident memory since the start or the last ResetPeakResident (VmHWM), in bytes.
std::int64_t PeakResidentBytes();
// Starts a new peak from the current resident memory (false when the kernel refuses).
bool ResetPeakResident();

// Ends the process with a message when it is still alive `limit` after construction: a hang
// must fail the run, not stall it. Destroying the watchdog disarms it.
class Watchdog {
public:
    Watchdog(std::chrono::seconds limit, std::string what);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};

}  // namespace kvtest
