// Holds a dev server through the controller until it is killed: the stand-in for a Tarn that
// crashes. Usage: tarn_server_host FOLDER DEV_COMMAND REPORT_FOLDER. Writes the server's group and
// its watcher to REPORT_FOLDER/ids, and each line the server prints to REPORT_FOLDER/lines.
// With a fifth argument, --hand-over, it starts the server as the launcher does and execs itself
// without it, so the server is taken over across exec; ids then also holds the group handed over.
#include "process/DevServerController.h"
#include "process/ServerHandover.h"

#include <fstream>
#include <glib.h>
#include <unistd.h>

int main(int argc, char* argv[]) {
    const bool handOver = argc == 5 && std::string(argv[4]) == "--hand-over";
    if (argc != 4 && !handOver) return 2;
    tarn::handover::claim();
    const int handed = tarn::handover::pendingGroup();
    tarn::DevServerController controller;
    const std::string report = argv[3];
    controller.onOutputLine = [&](const std::string& line) {
        std::ofstream(report + "/lines", std::ios::app) << line << std::endl;
    };
    tarn::ProjectContext context{tarn::Url::forFile(argv[1]), tarn::SupportedStack::unknown, tarn::PackageManager::npm,
                                 "", argv[2], *tarn::Url::parse("http://localhost:3000"), "", {}, {}, std::nullopt};
    if (handOver) {
        tarn::handover::startForExec(context);
        argv[4] = nullptr;
        ::execv(argv[0], argv);
        return 3;
    }
    controller.start(context);
    std::ofstream(report + "/ids.tmp") << controller.processGroup() << " " << controller.watcherProcess() << " " << handed << std::endl;
    std::rename((report + "/ids.tmp").c_str(), (report + "/ids").c_str());
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(loop);
}
