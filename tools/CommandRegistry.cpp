#include "CommandRegistry.h"

#include <algorithm>
#include <cstdio>

namespace orvane::tool {

namespace {
std::vector<Command>& registry() {
    static std::vector<Command> all;
    return all;
}
} // namespace

CommandRegistration::CommandRegistration(const Command& command) { registry().push_back(command); }

std::vector<Command> commands() {
    auto all = registry();
    std::sort(all.begin(), all.end(), [](const Command& a, const Command& b) {
        return std::string(a.name) < std::string(b.name);
    });
    return all;
}

bool wantsHelp(const std::vector<std::string>& args) {
    return std::any_of(args.begin(), args.end(), [](const std::string& a) { return a == "--help" || a == "-h"; });
}

int failInput(const std::string& file, const std::string& reason) {
    std::fprintf(stderr, "orvane-tool: %s: %s\n", file.c_str(), reason.c_str());
    return kExitBadInput;
}

int failUsage(const Command& command, const std::string& message) {
    std::fprintf(stderr, "orvane-tool %s: %s\n%s", command.name, message.c_str(), command.usage);
    return kExitUsage;
}

} // namespace orvane::tool
