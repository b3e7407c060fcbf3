#include "process/DevServerController.h"

#include "process/ProcessEnvironment.h"
#include "support/LineSplitter.h"
#include "support/PipeReader.h"
#include "support/Subprocess.h"
#include "support/Text.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <gio/gunixinputstream.h>
#include <thread>

namespace tarn {

namespace {

// True while any process of the group is alive.
bool groupHasLiveMember(int pgid) {
    if (pgid <= 0 || (::kill(-pgid, 0) != 0 && errno == ESRCH)) return false;
    return !liveProcessGroupMembers(pgid).empty();
}

}  // namespace

// One started server: its process, pipes, and the unfinished line of its output. The end of a run
// that was replaced is handled on the run's own pipes and buffer, so a newer server keeps flowing.
struct DevServerController::Run : std::enable_shared_from_this<Run> {
    std::shared_ptr<DevServerController*> owner;  // null inside once the controller is gone
    GObjectPtr<GSubprocess> process;
    int pgid = 0;
    bool ended = false;
    text::Utf8StreamDecoder outDecoder, errDecoder;
    LineSplitter buffer;  // shared by both streams
    std::unique_ptr<PipeReader> outReader, errReader;

    void deliver(const std::string& line) {
        if (*owner && (*owner)->onOutputLine) (*owner)->onOutputLine(line);
    }

    void received(text::Utf8StreamDecoder& decoder, std::string_view chunk) {
        buffer.append(decoder.feed(chunk), [this](const std::string& line) { deliver(line); });
    }

    void stopReading() {
        outReader.reset();
        errReader.reset();
    }

    void finished(int status) {
        ended = true;
        // Take what the server wrote just before it ended, then stop reading: a grandchild that
        // still holds the pipes must not keep the end from being reported.
        auto self = shared_from_this();
        if (outReader) outReader->drainAvailable();
        if (errReader) errReader->drainAvailable();
        stopReading();
        auto sink = [this](const std::string& line) { deliver(line); };
        buffer.append(outDecoder.finish(), sink);
        buffer.append(errDecoder.finish(), sink);
        buffer.flush(sink);
        if (*owner && (*owner)->onExit) (*owner)->onExit(status);
    }

    static void childEnded(GObject* source, GAsyncResult* res, gpointer data) {
        std::unique_ptr<std::shared_ptr<Run>> holder(static_cast<std::shared_ptr<Run>*>(data));
        g_subprocess_wait_finish(G_SUBPROCESS(source), res, nullptr);
        (*holder)->finished(exitStatusOf(G_SUBPROCESS(source)));
    }
};

DevServerController::DevServerController() : self_(std::make_shared<DevServerController*>(this)) {}

DevServerController::~DevServerController() {
    *self_ = nullptr;
    // No dev server outlives Tarn: ask every group still alive to end, then insist.
    std::vector<int> groups;
    for (auto& run : runs_) {
        run->stopReading();
        if (groupHasLiveMember(run->pgid)) {
            ::kill(-run->pgid, SIGTERM);
            groups.push_back(run->pgid);
        }
    }
    auto anyAlive = [&] {
        for (int pgid : groups) {
            if (groupHasLiveMember(pgid)) return true;
        }
        return false;
    };
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(shutdownGraceMilliseconds);
    while (anyAlive() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (int pgid : groups) {
        if (groupHasLiveMember(pgid)) ::kill(-pgid, SIGKILL);
    }
    // A kill is delivered asynchronously; return only once the processes are really gone.
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (anyAlive() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void DevServerController::start(const ProjectContext& context) {
    stop();

    ChildOptions options;
    options.arguments = {"/bin/zsh", "-lc", context.devCommand};
    options.workingDirectory = context.rootURL.path();
    options.environment = ProcessEnvironment::augmentedEnvironment();
    options.environment["BROWSER"] = "none";
    options.ownProcessGroup = true;

    // Forget servers that have ended along with their whole group.
    std::erase_if(runs_, [](const std::shared_ptr<Run>& r) { return r->ended && !groupHasLiveMember(r->pgid); });

    auto run = std::make_shared<Run>();
    run->owner = self_;
    run->process = launchChild(options);  // throws the platform error; nothing is stored then
    const char* id = g_subprocess_get_identifier(run->process.get());
    run->pgid = id ? std::atoi(id) : 0;

    Run* raw = run.get();
    auto attach = [raw](GInputStream* pipe, text::Utf8StreamDecoder& decoder) {
        int fd = g_unix_input_stream_get_fd(G_UNIX_INPUT_STREAM(pipe));
        return std::make_unique<PipeReader>(
            fd, [raw, &decoder](std::string_view chunk) { raw->received(decoder, chunk); }, nullptr);
    };
    run->outReader = attach(g_subprocess_get_stdout_pipe(run->process.get()), run->outDecoder);
    run->errReader = attach(g_subprocess_get_stderr_pipe(run->process.get()), run->errDecoder);
    g_subprocess_wait_async(run->process.get(), nullptr, &Run::childEnded, new std::shared_ptr<Run>(run));
    current_ = run;
    runs_.push_back(run);

    if (onOutputLine) onOutputLine("Dev server started with command: " + context.devCommand);
}

void DevServerController::stop() {
    if (!current_) return;
    auto run = std::move(current_);
    current_.reset();
    if (!run->ended || groupHasLiveMember(run->pgid)) ::kill(-run->pgid, SIGTERM);
    // Nothing more is read; the end still arrives through onExit.
    run->stopReading();
    run->buffer.clear();
}

bool DevServerController::isRunning() const { return current_ && !current_->ended; }

int DevServerController::processGroup() const { return current_ ? current_->pgid : 0; }

}  // namespace tarn
