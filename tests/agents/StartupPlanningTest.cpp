#include "AgentToolFixture.h"
#include "agents/ClaudeCodeCLIService.h"
#include "agents/CodexCLIService.h"
#include "agents/StartupPlanning.h"
#include "support/PlatformError.h"
#include "support/Regex.h"

using namespace tarn;
using namespace tarn::test;
namespace fs = std::filesystem;

namespace {

class Planning : public AgentToolFixture {};

}  // namespace

TEST_F(Planning, ThePromptCarriesTheProjectsSignals) {
    // The project's own text goes in as it is, braces and all.
    writeFile(project / "package.json", R"({"scripts":{"dev":"next dev {dev}"}})");
    EXPECT_TRUE(startup::buildPlannerPrompt(context(), startup::Planner::codex)
                    .ends_with("- package.json:\n{\"scripts\":{\"dev\":\"next dev {dev}\"}}"));
    auto ctx = context();
    ctx.lockfiles = {"yarn.lock", "package-lock.json"};
    ctx.availablePackageManagers = {PackageManager::npm, PackageManager::yarn};
    fs::remove(project / "package.json");
    auto prompt = startup::buildPlannerPrompt(ctx, startup::Planner::claudeCode);
    EXPECT_NE(prompt.find("- lockfiles: yarn.lock, package-lock.json\n- package managers available in PATH: npm, yarn\n"
                          "- local default install command: npm install\n- local default dev command: npm run dev\n"
                          "- package.json:\npackage.json unavailable"),
              std::string::npos);
}

TEST_F(Planning, ExcerptIsCutAfter8000Characters) {
    std::string exact(7998, 'a');
    writeFile(project / "package.json", "é" + exact + "é");  // 8000 characters, more bytes
    EXPECT_EQ(startup::readPackageJSONExcerpt(root()), "é" + exact + "é");
    writeFile(project / "package.json", "é" + exact + "éz");
    EXPECT_EQ(startup::readPackageJSONExcerpt(root()), "é" + exact + "é\n...<truncated>");
}

TEST(PlanParsing, AnswersInEveryShape) {
    auto plan = startup::parseBootstrapOutput(
        R"({"result":"something else","structured_output":{"install_command":" pnpm install ","dev_command":"pnpm dev","rationale":" lockfile ","alternatives":["npm run dev"]}})");
    ASSERT_TRUE(plan);
    EXPECT_EQ(*plan, (AgentBootstrapPlan{"pnpm install", "pnpm dev", "lockfile", {"npm run dev"}, ""}));

    plan = startup::parseBootstrapOutput(
        "{\"type\":\"start\"}\n{\"result\":\"```json\\n{\\\"install_command\\\":\\\"npm ci\\\",\\\"dev_command\\\":\\\"npm run dev\\\",\\\"alternatives\\\":[\\\"a\\\",3]}\\n```\"}");
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->installCommand, "npm ci");
    EXPECT_EQ(plan->rationale, "No rationale provided.");
    EXPECT_TRUE(plan->alternatives.empty());

    EXPECT_EQ(startup::parsePlanText(R"({"install_command":"a","dev_command":"b","rationale":"  "})")->rationale, "");
    EXPECT_FALSE(startup::parsePlanText(R"({"install_command":"a","dev_command":"  "})"));
    EXPECT_FALSE(startup::parsePlanText(R"({"install_command":"a","dev_command":3})"));
    EXPECT_FALSE(startup::parsePlanText(R"(["install_command"])"));
    EXPECT_FALSE(startup::parseBootstrapOutput("no json"));
}

TEST_F(Planning, ClaudeCodeAsksWithTheSchema) {
    writeFile(project / "package.json", "{}");
    replay("claude.stdout", R"({"structured_output":{"install_command":"bun install","dev_command":"bun run dev","rationale":"bun.lock","alternatives":[]}})");
    ClaudeCodeCLIService claude;
    auto plan = runTask(claude.proposeStartupPlan(context()));
    EXPECT_EQ(plan, (AgentBootstrapPlan{"bun install", "bun run dev", "bun.lock", {}, "Claude Code CLI"}));
    EXPECT_EQ(recordedArguments("claude"),
              (std::vector<std::string>{"-p", startup::buildPlannerPrompt(context(), startup::Planner::claudeCode),
                                        "--output-format", "json", "--json-schema", startup::claudePlanSchema(),
                                        "--permission-mode", "plan"}));
    EXPECT_EQ(readFile(standin / "claude.cwd"), project.string() + "\n");

    replay("claude.stdout", R"({"install_command":"npm i","dev_command":"\n "})");
    EXPECT_THROW(
        try { runTask(claude.proposeStartupPlan(context())); } catch (const AgentToolError& e) {
            EXPECT_STREQ(e.what(), "Claude Code returned an invalid bootstrap response.");
            throw;
        },
        AgentToolError);
    replay("claude.stdout", "  \n");
    EXPECT_THROW(runTask(claude.proposeStartupPlan(context())), AgentToolError);
}

TEST_F(Planning, CodexAnswersThroughItsFile) {
    replay("codex.answer", "```json\n{\"install_command\":\"yarn install\",\"dev_command\":\"yarn dev\"}\n```");
    CodexCLIService codex;
    auto plan = runTask(codex.proposeStartupPlan(context()));
    EXPECT_EQ(plan, (AgentBootstrapPlan{"yarn install", "yarn dev", "No rationale provided.", {}, "Codex CLI"}));
    auto args = recordedArguments("codex");
    ASSERT_EQ(args.size(), 9u);
    EXPECT_EQ(std::vector<std::string>(args.begin(), args.begin() + 6),
              (std::vector<std::string>{"exec", "--sandbox", "read-only", "--skip-git-repo-check", "--cd",
                                        project.string()}));
    EXPECT_EQ(args[6], "-o");
    EXPECT_TRUE(fs::path(args[7]).parent_path().filename().string().starts_with("tarn-codex-bootstrap-"));
    EXPECT_FALSE(fs::exists(fs::path(args[7]).parent_path()));
    EXPECT_EQ(args[8], startup::buildPlannerPrompt(context(), startup::Planner::codex));

    // Planning reads only, whatever the release: no write access is asked for.
    installAnotherCodex("older");
    replay("codex.help", readFile(std::string(TARN_FIXTURES_DIR) + "/agent-output/codex-exec-help-full-auto.txt"));
    runTask(codex.proposeStartupPlan(context()));
    EXPECT_EQ(recordedArguments("codex")[2], "read-only");

    replay("codex.answer", R"({"install_command":"","dev_command":"x"})");
    try {
        runTask(codex.proposeStartupPlan(context()));
        FAIL();
    } catch (const AgentToolError& e) {
        EXPECT_STREQ(e.what(), "Codex returned an invalid bootstrap response.");
    }
}

TEST_F(Planning, InstructionsFileIsWrittenWhole) {
    CodexCLIService codex;
    AgentBootstrapPlan plan{"npm install", "npm run dev", "Only npm is installed.", {}, "Local fallback"};
    auto url = startup::writeRuntimeInstructions(plan, context());
    EXPECT_EQ(url.path(), (project / ".tarn" / "instructions.md").string());
    std::string text = readFile(url.path());
    auto stamp = Regex::compile(R"(Generated: (\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}Z)\n)")->firstMatch(text);
    ASSERT_TRUE(stamp);
    EXPECT_EQ(text, "# Tarn Runtime Instructions\n\nGenerated: " + *stamp->groups[0] +
                        "\nSource: Local fallback\n\n## Project signals\n- stack: Next.js\n- detected lockfiles:\n"
                        "- none detected\n- package managers found in PATH: none\n\n## Commands to run\n- install: `npm "
                        "install`\n- dev server: `npm run dev`\n\n## Why\nOnly npm is installed.\n\n## Alternatives\n- none");

    auto ctx = context();
    ctx.lockfiles = {"pnpm-lock.yaml"};
    ctx.availablePackageManagers = {PackageManager::npm, PackageManager::pnpm};
    plan.alternatives = {"pnpm dev", "npx next dev"};
    text = readFile(startup::writeRuntimeInstructions(plan, ctx).path());
    EXPECT_NE(text.find("- detected lockfiles:\n- pnpm-lock.yaml\n- package managers found in PATH: npm, pnpm\n"),
              std::string::npos);
    EXPECT_TRUE(text.ends_with("## Alternatives\n- pnpm dev\n- npx next dev"));

    fs::remove_all(project / ".tarn");
    writeFile(project / ".tarn", "a file");
    EXPECT_THROW(startup::writeRuntimeInstructions(plan, ctx), PlatformError);
}
