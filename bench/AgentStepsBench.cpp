// What the user sees of an agent at work, in the window: the time from the real Claude Code CLI
// printing a step (a tool call, or its result) to the window's next frame after the step reached
// the transcript, over a request against the scripted model service; then the main loop's longest
// stall while a tool prints 1,000 steps as fast as it can. The CLI's lines are stamped by a small
// wrapper as they leave it, so the figure includes the pipe, the reader and the window.
#include "BenchSupport.h"
#include "InProcessWindow.h"
#include "app/MainWindow.h"
#include "app/TarnApp.h"
#include "agents/ClaudeStreamReader.h"
#include "support/StallProbe.h"
#include "support/Text.h"

#include <gtkmm/init.h>
#include <map>
#include <spawn.h>

extern char** environ;

using namespace bench;

namespace {

const fs::path kTools = TARN_AGENT_TOOLS_DIR;

struct Window {
    std::shared_ptr<tarn::AppViewModel> model = tarn::AppViewModel::create();
    tarn::MainWindow* window = new tarn::MainWindow(model);
    Window() {
        window->present();
        turnUntil([&] { return model->agentsKnown(); });
    }
    ~Window() { closeWindow(*model, window); }
    bool run(tarn::Task<void> task) { return runToEnd(std::move(task), std::chrono::seconds(300)); }
};

// Each step's id and status as the transcript shows it, with the time it first did.
struct StepWatch {
    std::map<std::string, long long> seen;  // "id/status" → µs, real time
    long long pendingSince = 0;
    std::vector<std::string> pending;
    std::map<std::string, long long> drawn;  // "id/status" → first frame after it was seen

    void observe(tarn::AppViewModel& model) {
        for (const auto& message : *model.chat().messages) {
            for (const auto& step : message.steps) {
                const std::string key = step.id + "/" + (step.status == tarn::AgentStep::Status::running ? "running" : "ended");
                if (seen.emplace(key, g_get_real_time()).second) pending.push_back(key);
            }
        }
    }
    void frame() {
        const long long now = g_get_real_time();
        for (const auto& key : pending) drawn.emplace(key, now);
        pending.clear();
    }
};

}  // namespace

int main() {
    tarn::TarnApp::chooseRenderer();
    Gtk::init_gtkmm_internals();
    if (!gtk_init_check()) {
        std::fprintf(stderr, "needs a display: run it under xvfb-run\n");
        return 1;
    }
    tarn::TarnApp::loadResources();
    const fs::path base = fs::temp_directory_path() / "tarn-bench-steps";
    fs::remove_all(base);
    fs::create_directories(base / "bin");

    // 1. The real CLI, one step a model turn.
    if (fs::exists(kTools / "installed")) {
        makeStorefront(base / "shop", freePort());
        std::string scenario = R"({"planner": [{"plan": {"install_command": "npm install", "dev_command": "npm run dev", "rationale": "r", "alternatives": []}}], "steps": [{"read": "src/index.html"})";
        for (int i = 0; i < 20; ++i) scenario += R"(, {"bash": "true"})";
        scenario += R"(, {"answer": "Done."}]})";
        std::ofstream(base / "scenario.json") << scenario;
        const std::string node = "/usr/bin/node", script = std::string(TARN_FIXTURES_DIR) + "/model-service.mjs";
        std::vector<std::string> args{node, script, (base / "scenario.json").string(), (base / "port").string()};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t service = 0;
        posix_spawn(&service, node.c_str(), nullptr, nullptr, argv.data(), environ);
        turnUntil([&] { return fs::exists(base / "port"); }, std::chrono::seconds(30));
        const std::string url = "http://127.0.0.1:" + readText(base / "port");

        // Stamps each line as the CLI prints it, with the tool call it names.
        const fs::path stamps = base / "stamps";
        std::ofstream(base / "bin" / "claude")
            << "#!/bin/bash\n'" << (kTools / "node_modules" / ".bin" / "claude").string() << "' \"$@\" | "
            << "while IFS= read -r line; do id=$(grep -o -m1 -E '\"(tool_use_id|id)\":\"toolu_[0-9]+\"' <<<\"$line\" | head -n1); "
            << "kind=running; [[ $line == *tool_result* ]] && kind=ended; "
            << "[ -n \"$id\" ] && echo \"$(date +%s%6N) ${id##*:} $kind\" >> '" << stamps.string() << "'; printf '%s\\n' \"$line\"; done\n";
        fs::permissions(base / "bin" / "claude", fs::perms::owner_all);
        for (auto [name, value] : std::initializer_list<std::pair<const char*, std::string>>{
                 {"ANTHROPIC_BASE_URL", url}, {"ANTHROPIC_API_KEY", "scripted"}, {"CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC", "1"},
                 {"DISABLE_TELEMETRY", "1"}, {"DISABLE_AUTOUPDATER", "1"}, {"DISABLE_ERROR_REPORTING", "1"},
                 {"CLAUDE_CONFIG_DIR", (base / "claude-config").string()}, {"IS_SANDBOX", "1"}, {"CLAUDE_CODE_MAX_RETRIES", "0"},
                 {"PATH", (base / "bin").string() + ":/usr/bin:/bin"}}) {
            setenv(name, value.c_str(), 1);
        }
        std::vector<double> latencies;
        {
            Window w;
            StepWatch watch;
            auto watching = w.model->chat().messages.observe([&] { watch.observe(*w.model); });
            GdkFrameClock* clock = gtk_widget_get_frame_clock(GTK_WIDGET(w.window->gobj()));
            g_signal_connect(clock, "after-paint", G_CALLBACK(+[](GdkFrameClock*, gpointer data) {
                static_cast<StepWatch*>(data)->frame();
            }), &watch);
            w.model->openFolder((base / "shop").string());
            turnUntil([&] { return w.model->projectContext().has_value() && !*w.model->requests().isSending; }, std::chrono::seconds(120));
            turnUntil([&] { return w.model->server().serverState->kind() == tarn::ServerRuntimeState::Kind::running; }, std::chrono::seconds(60));
            w.model->requests().draftPrompt = "Look around";
            w.run(w.model->requests().sendPrompt());
            turnUntil([&] { return watch.pending.empty(); }, std::chrono::seconds(5));
            watching.disconnect();
            std::ifstream in(stamps);
            long long at;
            std::string id, kind;
            while (in >> at >> id >> kind) {
                id.erase(std::remove(id.begin(), id.end(), '"'), id.end());
                auto shown = watch.drawn.find(id + "/" + kind);
                if (shown != watch.drawn.end()) latencies.push_back((shown->second - at) / 1000.0);
            }
        }
        ::kill(service, SIGTERM);
        ::waitpid(service, nullptr, 0);
        if (latencies.empty()) {
            std::fprintf(stderr, "no step of the real CLI reached the window\n");
        } else {
            const double slowest = *std::max_element(latencies.begin(), latencies.end());
            std::printf("%zu step events through the real Claude Code: median %.1f ms, slowest %.1f ms\n", latencies.size(),
                        median(latencies), slowest);
            tableRow("agent step, printed by the CLI to drawn (median / slowest)",
                     format("%.1f ms", median(latencies)) + " / " + format("%.1f ms", slowest), "-", "-", "<= 50 ms");
        }
    } else {
        std::fprintf(stderr, "step latency skipped: the agent tools are not installed (run the tests once)\n");
    }

    // 2. A tool printing 1,000 steps at once: a replay of the stream, through the same reader.
    {
        makeStorefront(base / "flood", freePort());
        std::string stream = "{\"type\":\"system\",\"subtype\":\"init\",\"model\":\"replay\"}\n";
        for (int i = 0; i < 1000; ++i) {
            const std::string id = "toolu_" + std::to_string(i);
            stream += "{\"type\":\"assistant\",\"message\":{\"content\":[{\"type\":\"tool_use\",\"id\":\"" + id +
                      "\",\"name\":\"Bash\",\"input\":{\"command\":\"step " + std::to_string(i) + "\"}}]}}\n";
            stream += "{\"type\":\"user\",\"message\":{\"content\":[{\"type\":\"tool_result\",\"tool_use_id\":\"" + id + "\"}]}}\n";
        }
        stream += "{\"type\":\"result\",\"subtype\":\"success\",\"is_error\":false,\"result\":\"Done.\",\"num_turns\":1000}\n";
        std::ofstream(base / "flood.jsonl") << stream;
        {
            // The reader alone, for where the time goes.
            const auto start = std::chrono::steady_clock::now();
            tarn::ClaudeStreamReader reader("/", {});
            for (const auto& line : tarn::text::splitLines(stream)) reader.read(line);
            std::printf("reading the 1,000 steps alone: %.1f ms\n",
                        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        std::ofstream(base / "bin" / "claude") << "#!/bin/sh\n[ \"$1\" = --version ] && { echo '2.1.197 (Claude Code)'; exit 0; }\ncat '"
                                               << (base / "flood.jsonl").string() << "'\n";
        setenv("PATH", ((base / "bin").string() + ":/usr/bin:/bin").c_str(), 1);
        double stall = 0;
        {
            Window w;
            w.model->openFolder((base / "flood").string());
            turnUntil([&] { return w.model->projectContext().has_value() && !*w.model->requests().isSending; }, std::chrono::seconds(120));
            turnUntil([&] { return w.model->server().serverState->kind() == tarn::ServerRuntimeState::Kind::running; }, std::chrono::seconds(60));
            // The page's first load stalls the loop on its own; measure after it, in one-second rounds.
            auto stallOver = [&](std::chrono::seconds span) {
                tarn::StallProbe probe;
                const auto until = std::chrono::steady_clock::now() + span;
                turnUntil([&] { return std::chrono::steady_clock::now() > until; }, span + std::chrono::seconds(5));
                return probe.longest().count() / 1000.0;
            };
            for (int round = 0; round < 10 && stallOver(std::chrono::seconds(1)) > 20; ++round) {}
            w.model->thinking().begin("Thinking");
            std::printf("longest stall over 3 s with the thinking message's ring turning: %.1f ms\n", stallOver(std::chrono::seconds(3)));
            w.model->thinking().complete("Done.", {});
            tarn::StallProbe probe;
            // Split at the reply: streaming is Tarn's; after it come the checkpoint and the page's reload.
            double streaming = -1;
            auto split = w.model->chat().messages.observe([&] {
                const auto& last = w.model->chat().messages->back();
                if (streaming < 0 && last.role == tarn::AgentRole::assistant && !last.isThinking) {
                    streaming = probe.longest().count() / 1000.0;
                }
            });
            w.model->requests().draftPrompt = "Many steps";
            w.run(w.model->requests().sendPrompt());
            split.disconnect();
            stall = probe.longest().count() / 1000.0;
            std::printf("longest stall while the steps streamed: %.1f ms\n", streaming);
            std::size_t steps = 0;
            for (const auto& m : *w.model->chat().messages) steps = std::max(steps, m.steps.size());
            std::printf("1,000 steps streamed: %zu in the reply (%s), longest stall %.1f ms\n", steps,
                        w.model->chat().messages->back().content.substr(0, 80).c_str(), stall);
        }
        tableRow("longest stall: a tool printing 1,000 steps", format("%.1f ms", stall), "-", "-", "<= 50 ms");
    }
    fs::remove_all(base);
}
