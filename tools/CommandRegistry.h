#pragma once
// orvane-tool dispatches to commands that register themselves, one file per command,
// so commands from different parts of the engine never share a source file.

#include <string>
#include <vector>

namespace orvane::tool {

// Exit codes of the tool's contract.
inline constexpr int kExitOk = 0;
inline constexpr int kExitBadInput = 1;
inline constexpr int kExitUsage = 2;

using CommandMain = int (*)(const std::vector<std::string>& args);

struct Command {
    const char* name;
    const char* summary; // one line for the tool's --help
    const char* usage;   // full help text of the command
    CommandMain run;
};

// Returns the registered commands sorted by name.
std::vector<Command> commands();

struct CommandRegistration {
    explicit CommandRegistration(const Command& command);
};

// True when args asks for help (--help or -h anywhere).
bool wantsHelp(const std::vector<std::string>& args);

// Prints "orvane-tool: <file>: <reason>" on stderr and returns kExitBadInput.
int failInput(const std::string& file, const std::string& reason);

// Prints "orvane-tool <command>: <message>" and the usage on stderr and returns kExitUsage.
int failUsage(const Command& command, const std::string& message);

} // namespace orvane::tool
