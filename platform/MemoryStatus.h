#pragma once
// What the About box shows about the machine's memory.

#include <cstdint>
#include <optional>
#include <string_view>

namespace orvane::platform {

struct MemoryStatus {
    // Physical memory in bytes. 64-bit: machines with more than 4 GB are common.
    std::uint64_t totalPhysical = 0;
    // Share of physical memory in use, 0 to 100.
    int memoryLoad = 0;
};

// Reads the kernel's figures (/proc/meminfo, falling back to sysinfo()).
// Never throws; a machine that reports nothing gives zeros.
MemoryStatus memoryStatus();

// Parses the text of /proc/meminfo. Empty when MemTotal is missing or unreadable.
std::optional<MemoryStatus> parseMeminfo(std::string_view text);

} // namespace orvane::platform
