// An agent of the Agent Client Protocol in the window: the time from the agent writing a tool call
// to the window's next frame after it reached the transcript; the main loop's longest stall while
// one turn brings 10,000 updates; and the memory a turn keeps. The agent is the scripted one of the
// test tree (tests/fixtures/acp-agent.mjs), so the figures are Tarn's, not a model's.
#include "BenchSupport.h"
#include "InProcessWindow.h"
#include "app/MainWindow.h"
#include "app/TarnApp.h"
#include "support/StallProbe.h"

#include <gtkmm/init.h>
#include <map>

using namespace bench;

namespace {

long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
    }
    return 0;
}

}  // namespace

int main() {
    tarn::TarnApp::chooseRenderer();
    Gtk::init_gtkmm_internals();
    if (!gtk_init_check()) {
        std::fprintf(stderr, "needs a display: run it under xvfb-run\n");
        return 1;
    }
    tarn::TarnApp::loadResources();
    const fs::path base = fs::temp_directory_path() / "tarn-bench-acp";
    fs::remove_all(base);
    fs::create_directories(base);
    makeStorefront(base / "shop", freePort());
    const fs::path stamps = base / "stamps";
    setenv("TARN_ACP_STAMPS", stamps.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (base / "config").c_str(), 1);
    std::string turns = R"({"turns": [[{"paced": {"count": 60, "everyMs": 40}}, {"say": "Paced."}], [{"flood": 10000}, {"say": "Flooded."}])";
    for (int i = 0; i < 20; ++i) turns += R"(, [{"tool": {"toolCallId": "m1", "title": "Read src/App.jsx", "kind": "read", "status": "completed"}}, {"say": "A short reply."}])";
    turns += "]}";
    std::ofstream(base / "scenario.json") << turns;

    auto model = tarn::AppViewModel::create();
    auto* window = new tarn::MainWindow(model);
    window->present();
    turnUntil([&] { return model->agentsKnown(); });
    runToEnd(model->runtimes().addAgent({"Scripted", "/usr/bin/node",
                                         {std::string(TARN_FIXTURES_DIR) + "/acp-agent.mjs", (base / "scenario.json").string()}, {}}));
    model->runtimes().select(tarn::AgentRuntime::acp("Scripted"));
    model->openFolder((base / "shop").string());
    turnUntil([&] { return model->projectContext().has_value() && !*model->requests().isSending; }, std::chrono::seconds(120));
    turnUntil([&] { return model->server().serverState->kind() == tarn::ServerRuntimeState::Kind::running; }, std::chrono::seconds(60));
    // The page's first load stalls the loop by itself; start once the loop is quiet.
    for (int round = 0; round < 10; ++round) {
        tarn::StallProbe quiet;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        turnUntil([&] { return std::chrono::steady_clock::now() > until; }, std::chrono::seconds(5));
        if (quiet.longest().count() < 20000) break;
    }

    // 1. Paced tool calls: written → first frame after the transcript has them.
    std::map<std::string, long long> seen, drawn;
    std::vector<std::string> pending;
    auto watching = model->chat().messages.observe([&] {
        for (const auto& step : model->chat().messages->back().steps) {
            if (seen.emplace(step.id, g_get_real_time()).second) pending.push_back(step.id);
        }
    });
    GdkFrameClock* clock = gtk_widget_get_frame_clock(GTK_WIDGET(window->gobj()));
    struct Frame {
        std::vector<std::string>* pending;
        std::map<std::string, long long>* drawn;
    } frame{&pending, &drawn};
    const gulong painted = g_signal_connect(clock, "after-paint", G_CALLBACK(+[](GdkFrameClock*, gpointer data) {
        auto* f = static_cast<Frame*>(data);
        for (const auto& id : *f->pending) f->drawn->emplace(id, g_get_real_time());
        f->pending->clear();
    }), &frame);
    model->requests().draftPrompt = "Paced";
    runToEnd(model->requests().sendPrompt());
    turnUntil([&] { return pending.empty(); }, std::chrono::seconds(5));
    watching.disconnect();
    g_signal_handler_disconnect(clock, painted);
    std::vector<double> latencies;
    std::ifstream in(stamps);
    long long at;
    std::string id;
    while (in >> at >> id) {
        if (auto shown = drawn.find(id); shown != drawn.end()) latencies.push_back((shown->second - at) / 1000.0);
    }
    const double slowest = latencies.empty() ? 0 : *std::max_element(latencies.begin(), latencies.end());
    std::printf("%zu tool calls: written to drawn, median %.1f ms, slowest %.1f ms\n", latencies.size(), median(latencies), slowest);
    tableRow("ACP update, written by the agent to drawn (median / slowest)",
             format("%.1f ms", median(latencies)) + " / " + format("%.1f ms", slowest), "-", "-", "median <= 16 ms");

    // 2. 10,000 updates in one turn.
    {
        tarn::StallProbe probe;
        model->requests().draftPrompt = "Flood";
        runToEnd(model->requests().sendPrompt(), std::chrono::seconds(300));
        std::printf("10,000 updates in one turn: %zu steps in the reply, longest stall %.1f ms\n",
                    model->chat().messages->back().steps.size(), probe.longest().count() / 1000.0);
        tableRow("longest stall: an ACP turn of 10,000 updates", format("%.1f ms", probe.longest().count() / 1000.0), "-", "-", "<= 50 ms");
    }

    // 3. Memory a turn keeps: twenty short turns.
    const long before = residentKiB();
    for (int i = 0; i < 20; ++i) {
        model->requests().draftPrompt = "Short " + std::to_string(i);
        runToEnd(model->requests().sendPrompt());
    }
    const double perTurn = static_cast<double>(residentKiB() - before) / 20.0;
    std::printf("memory kept a short turn: %.0f KiB (over 20 turns)\n", perTurn);
    tableRow("memory kept by an ACP turn (20 short turns)", format("%.0f KiB", perTurn), "-", "-", "-");

    closeWindow(*model, window);
    fs::remove_all(base);
}
