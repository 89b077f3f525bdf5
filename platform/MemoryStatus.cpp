#include "MemoryStatus.h"

#include <charconv>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include <sys/sysinfo.h>

namespace orvane::platform {

namespace {

// Finds "Key:   1234 kB" and returns the figure in bytes.
std::optional<std::uint64_t> meminfoBytes(std::string_view text, std::string_view key) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != ':')
            continue;
        std::string_view rest = line.substr(key.size() + 1);
        std::size_t first = rest.find_first_not_of(" \t");
        if (first == std::string_view::npos)
            return std::nullopt;
        rest = rest.substr(first);
        std::uint64_t value = 0;
        auto [ptr, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
        if (ec != std::errc())
            return std::nullopt;
        std::string_view unit(ptr, static_cast<std::size_t>(rest.data() + rest.size() - ptr));
        std::uint64_t scale = unit.find("kB") != std::string_view::npos ? 1024 : 1;
        if (value > std::numeric_limits<std::uint64_t>::max() / scale)
            return std::nullopt;
        return value * scale;
    }
    return std::nullopt;
}

} // namespace

std::optional<MemoryStatus> parseMeminfo(std::string_view text) {
    auto total = meminfoBytes(text, "MemTotal");
    if (!total || *total == 0)
        return std::nullopt;
    // MemAvailable is what the kernel would hand out without swapping; older kernels lack it.
    auto available = meminfoBytes(text, "MemAvailable");
    if (!available) {
        auto free = meminfoBytes(text, "MemFree").value_or(0);
        auto buffers = meminfoBytes(text, "Buffers").value_or(0);
        auto cached = meminfoBytes(text, "Cached").value_or(0);
        available = free + buffers + cached;
    }
    if (*available > *total)
        available = total;
    MemoryStatus status;
    status.totalPhysical = *total;
    const long double used = static_cast<long double>(*total - *available);
    status.memoryLoad = static_cast<int>(used * 100.0L / static_cast<long double>(*total) + 0.5L);
    return status;
}

MemoryStatus memoryStatus() {
    std::ifstream in("/proc/meminfo");
    if (in) {
        std::stringstream buffer;
        buffer << in.rdbuf();
        if (auto status = parseMeminfo(buffer.str()))
            return *status;
    }
    struct sysinfo info {};
    if (sysinfo(&info) != 0 || info.totalram == 0)
        return {};
    const std::uint64_t unit = info.mem_unit ? info.mem_unit : 1;
    MemoryStatus status;
    status.totalPhysical = static_cast<std::uint64_t>(info.totalram) * unit;
    const std::uint64_t freeBytes = static_cast<std::uint64_t>(info.freeram + info.bufferram) * unit;
    const std::uint64_t used = freeBytes < status.totalPhysical ? status.totalPhysical - freeBytes : 0;
    status.memoryLoad = static_cast<int>(
        static_cast<long double>(used) * 100.0L / static_cast<long double>(status.totalPhysical) + 0.5L);
    return status;
}

} // namespace orvane::platform
