#pragma once
#include "bootstrap/ProjectBootstrapService.h"
#include "support/Translate.h"
#include "model/ProjectContext.h"
#include "support/Published.h"
#include "support/Task.h"
#include "support/Url.h"
#include "workspace/AgentRuntimes.h"
#include "workspace/Chat.h"
#include "workspace/Owner.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace tarn {

// The opened project: what detection read of its folder, the labels that describe it, and its
// start-up commands, planned by an agent tool or the local rules and kept in .tarn/instructions.md.
class ProjectSession {
public:
    ProjectSession(const Owner& owner, AgentRuntimes& runtimes, Chat& chat, std::chrono::milliseconds planLimit,
                   std::filesystem::path plansFolder)
        : owner_(owner), runtimes_(runtimes), chat_(chat), planLimit_(planLimit), plansFolder_(std::move(plansFolder)) {}

    Published<std::string> projectPathLabel{_("Open a project to start")};
    Published<std::string> stackLabel{_("No stack detected")};
    Published<std::string> installCommandLabel{"-"};
    Published<std::string> devCommandLabel{"-"};
    Published<std::string> instructionsPathLabel{_("No instructions yet")};


    const std::optional<ProjectContext>& context() const { return context_; }
    std::optional<Url> root() const { return context_ ? std::optional(context_->rootURL) : std::nullopt; }

    // Reads a folder as a project off the main thread; takes it as the project and fills the
    // labels. Gives why it is no project instead (the previous one stays).
    Task<std::optional<std::string>> open(Url folder);
    // Takes a plan remembered from an earlier opening as the project, as planning would.
    void takeRemembered(const ProjectContext& context);
    // Plans the commands (after asking the tools again when told to, else with the launch's
    // answer), writes the instructions and remembers the plan; a plan that cannot be written is
    // not used.
    Task<void> planStartupCommands(bool probeAgents, Cancellation lifetime);
    const std::filesystem::path& plansFolder() const { return plansFolder_; }

    // "Next.js via pnpm (Codex CLI)".
    static std::string stackLabelFor(const ProjectContext& context);

private:
    void take(const ProjectContext& context);

    const Owner& owner_;
    AgentRuntimes& runtimes_;
    Chat& chat_;
    std::chrono::milliseconds planLimit_;
    std::filesystem::path plansFolder_;
    ProjectBootstrapService bootstrap_;
    std::optional<ProjectContext> context_;
};

}  // namespace tarn
