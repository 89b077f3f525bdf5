// orvane-tool: the command-line companion of the player (pack, unpack, info, ...).

#include "CommandRegistry.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace orvane::tool;

namespace {

void printHelp(FILE* out) {
    std::fprintf(out, "usage: orvane-tool COMMAND [ARGS...]\n\ncommands:\n");
    for (const Command& c : commands())
        std::fprintf(out, "  %-8s %s\n", c.name, c.summary);
    std::fprintf(out, "\n'orvane-tool COMMAND --help' describes one command.\n");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        printHelp(stderr);
        return kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printHelp(stdout);
        return kExitOk;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const Command& c : commands()) {
        if (name != c.name)
            continue;
        if (wantsHelp(args)) {
            std::fputs(c.usage, stdout);
            return kExitOk;
        }
        return c.run(args);
    }
    std::fprintf(stderr, "orvane-tool: unknown command '%s'\n", name.c_str());
    printHelp(stderr);
    return kExitUsage;
}
