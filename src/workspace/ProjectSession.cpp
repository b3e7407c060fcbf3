#include "workspace/ProjectSession.h"
#include "support/Translate.h"

#include "agents/StartupPlanning.h"
#include "bootstrap/PackageManagers.h"
#include "bootstrap/RememberedPlan.h"

namespace tarn {

std::string ProjectSession::stackLabelFor(const ProjectContext& context) {
    // "Next.js via pnpm (Codex CLI)"
    return tr::format(_("%1 via %2 (%3)"), {nameOf(context.stack), nameOf(context.packageManager), context.commandSource});
}

void ProjectSession::take(const ProjectContext& context) {
    context_ = context;
    installCommandLabel = context.installCommand;
    devCommandLabel = context.devCommand;
    stackLabel = stackLabelFor(context);
}

Task<std::optional<std::string>> ProjectSession::open(Url folder) {
    auto keep = owner_.hold();
    // package.json and the package managers, read off the main thread in one go.
    struct Reading {
        std::optional<ProjectContext> detected;
        std::string failure;
    };
    Reading reading = co_await inBackground([this, folder] {
        Reading r;
        try {
            r.detected = bootstrap_.detectProject(folder);
        } catch (const std::exception& e) {
            r.failure = e.what();
        }
        return r;
    });
    if (!reading.detected) co_return reading.failure;
    projectPathLabel = reading.detected->rootURL.path();
    take(*reading.detected);
    co_return std::nullopt;
}

void ProjectSession::takeRemembered(const ProjectContext& context) {
    projectPathLabel = context.rootURL.path();
    take(context);
    if (context.instructionsFile) instructionsPathLabel = context.instructionsFile->path();
}

Task<void> ProjectSession::planStartupCommands(bool probeAgents, Cancellation lifetime) {
    if (!context_) co_return;
    auto keep = owner_.hold();
    const ProjectContext ctx = *context_;
    if (probeAgents) {
        co_await runtimes_.refreshInBackground();
    } else {
        co_await runtimes_.ensureKnown();
    }

    AgentBootstrapPlan plan;
    const AgentTool* tool = runtimes_.tool();
    if (!tool) {
        chat_.appendSystemMessage(_("No CLI runtime detected (Codex or Claude Code). Using local startup command detection."));
        plan = startup::localPlan(ctx);
    } else if (!tool->plansStartups()) {
        plan = startup::localPlan(ctx);
    } else {
        const std::string name = displayName(tool->runtime());
        chat_.appendSystemMessage(tr::format(_("Asking %1 to plan install/dev commands..."), {name}));
        std::optional<std::string> failure;
        try {
            plan = co_await tool->proposeStartupPlan(ctx, planLimit_, lifetime);
        } catch (const std::exception& e) {
            failure = e.what();
        }
        if (failure) {
            chat_.appendSystemMessage(tr::format(_("%1 startup planning failed, using fallback: %2"), {name, *failure}));
            plan = startup::localPlan(ctx);
        } else {
            chat_.appendSystemMessage(tr::format(_("%1 startup plan received."), {name}));
        }
    }

    ProjectContext updated = ctx;
    updated.packageManager = packageManagers::inferFrom(plan.installCommand, plan.devCommand).value_or(ctx.packageManager);
    updated.commandSource = plan.planner == startup::localPlanner ? ctx.commandSource : plan.planner;
    updated.installCommand = plan.installCommand;
    updated.devCommand = plan.devCommand;
    updated.instructionsFile = std::nullopt;
    try {
        updated.instructionsFile = startup::writeRuntimeInstructions(plan, updated);
    } catch (const std::exception& e) {
        chat_.appendSystemMessage(tr::format(_("Could not write .tarn/instructions.md: %1"), {e.what()}));
        co_return;
    }
    take(updated);
    instructionsPathLabel = updated.instructionsFile->path();
    chat_.appendSystemMessage(_("Saved startup instructions to .tarn/instructions.md"));
    // The next opening starts from this plan while its inputs stay as they are; a plan that cannot
    // be kept only means planning again then.
    co_await inBackground([updated, folder = plansFolder_] {
        try {
            rememberedPlan::remember(updated, folder);
        } catch (const std::exception&) {
        }
    });

}

}  // namespace tarn
