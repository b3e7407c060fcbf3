#pragma once
#include "support/Task.h"
#include "support/Url.h"

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarn {

struct ShellCommandOutput {
    std::string stdout;  // whole standard output, decoded, untrimmed
    std::string stderr;
    int exitCode = 0;
};

class ShellCommandError : public std::runtime_error {
public:
    enum class Kind { failedToStart, nonZeroExit };

    static ShellCommandError failedToStart(const std::string& platformMessage);
    static ShellCommandError nonZeroExit(ShellCommandOutput output);

    Kind kind() const { return kind_; }
    // For nonZeroExit: the complete output of the run.
    const ShellCommandOutput& output() const { return output_; }

private:
    ShellCommandError(Kind c, std::string description, ShellCommandOutput output)
        : std::runtime_error(std::move(description)), kind_(c), output_(std::move(output)) {}
    Kind kind_;
    ShellCommandOutput output_;
};

// How a long run is held: in a process group of its own that a guard ends with the run, and if
// Tarn dies; and stoppable. A cancelled run ends its group (a kill follows a grace period) and
// throws CancellationError once the child is gone.
struct RunControl {
    bool ownProcessGroup = false;
    std::optional<Cancellation> cancellation;  // implies a group of its own
};

// Runs one external program to its end without blocking the main thread. Every child gets the
// augmented environment and /dev/null as standard input; both pipes are drained while it runs and
// read to their end before the result is delivered.
class ShellCommandRunner {
public:
    using LineCallback = std::function<void(const std::string&)>;

    static Task<ShellCommandOutput> run(std::string executable, std::vector<std::string> arguments,
                                        std::optional<Url> currentDirectory = std::nullopt);

    // Also hands every non-empty line of either stream to `onOutputLine` (on the main thread) as it
    // arrives; a line is decoded whole, so a character split between two reads stays intact.
    static Task<ShellCommandOutput> runStreaming(std::string executable, std::vector<std::string> arguments,
                                                 std::optional<Url> currentDirectory, LineCallback onOutputLine,
                                                 RunControl control = {});
};

}  // namespace tarn
