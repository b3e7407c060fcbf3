// What the workspace says to the agent tools and shows of their work.
#include "WorkspaceFixture.h"
#include "workspace/RequestTexts.h"

using namespace tarn;
using namespace tarn::test;

TEST(RequestTexts, SelectedElementsGoAlongWithTheWords) {
    InspectTarget bare;
    bare.selector = "div > span";
    EXPECT_EQ(requestTexts::describeSelectedTarget(1, bare),
              "2. component: Unknown component; fileHint: unknown file; selector: div > span; text: (no text snippet)");
    EXPECT_EQ(requestTexts::composeAgentRequest("Do it", {}), "Do it");
    EXPECT_EQ(requestTexts::composeAgentRequest("Do it", {target("a", "A"), bare}),
              "Do it\n\nSelected UI elements from the live preview (prioritize these when mapping code):\n"
              "1. component: App; fileHint: src/App.tsx; selector: h1; text: \"A\"\n"
              "2. component: Unknown component; fileHint: unknown file; selector: div > span; text: (no text snippet)");
}

TEST(RequestTexts, ARepliesSummaryIsSaidOnce) {
    const std::vector<std::pair<AgentRunResult, std::string>> cases{
        {{"Made it sticky.", {}, "Made it sticky.\nDetails."}, "Made it sticky.\nDetails."},
        {{"  Made it sticky.", {}, "\n  Made it sticky.\nDetails.\n"}, "Made it sticky.\nDetails."},
        {{"Codex finished.", {}, "Something else"}, "Codex finished.\n\nSomething else"},
    };
    for (const auto& [result, reply] : cases) EXPECT_EQ(requestTexts::replyText(result), reply) << result.output;
}
