#include "process/DevServerController.h"
#include "process/Sandbox.h"
#include "support/Translate.h"

#include "process/ProcessEnvironment.h"
#include "process/ProcessGroupGuard.h"
#include "process/ServerHandover.h"
#include "support/LineSplitter.h"
#include "support/PipeReader.h"
#include "support/Subprocess.h"
#include "support/Text.h"
#include "support/Trace.h"

#include <csignal>

namespace tarn {

// One started server: its process, guard, pipes, and the unfinished line of its output. The end
// of a run that was replaced is handled on the run's own pipes and buffer, so a newer server keeps
// flowing.
struct DevServerController::Run : std::enable_shared_from_this<Run> {
    std::shared_ptr<DevServerController*> owner;  // null inside once the controller is gone
    std::unique_ptr<ChildProcess> process;
    std::unique_ptr<ProcessGroupGuard> guard;
    int pgid = 0;
    bool ended = false;
    bool sandboxed = false;
    bool silenced = false;  // stopped: nothing more is delivered but the end
    text::Utf8StreamDecoder outDecoder, errDecoder;
    LineSplitter buffer;  // shared by both streams
    std::unique_ptr<PipeReader> outReader, errReader;

    void deliver(const std::string& line) {
        if (!silenced && *owner && (*owner)->onOutputLine) (*owner)->onOutputLine(line);
    }

    void received(text::Utf8StreamDecoder& decoder, std::string_view chunk) {
        buffer.append(decoder.feed(chunk), [this](const std::string& line) { deliver(line); });
    }

    void stopReading() {
        outReader.reset();
        errReader.reset();
    }

    // Ends the group (at once, and for good if it ignores the request) and drops any output
    // not yet delivered, half-read characters included.
    void end() {
        silenced = true;
        stopReading();
        buffer.clear();
        outDecoder = {};
        errDecoder = {};
        if (guard) guard->release();
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
        // Whatever the leader left running goes with it.
        if (guard) guard->release();
        if (*owner && (*owner)->onExit) (*owner)->onExit(status);
    }

};

DevServerController::DevServerController() : self_(std::make_shared<DevServerController*>(this)) {}

DevServerController::~DevServerController() {
    *self_ = nullptr;
    // No dev server outlives Tarn; its group ends in the background (the guard's watcher kills it
    // if it ignores the request) and the child is reaped when it exits.
    if (current_) current_->end();
}

DevServerController::Launched DevServerController::launch(const ProjectContext& context) {
    ChildOptions options;
    const std::vector<std::string> command{"/bin/zsh", "-lc", context.devCommand};
    // The project's own code runs here: away from the user's keys unless they said otherwise.
    Launched launched;
    launched.sandboxed = sandbox::wanted(context.rootURL.path());
    options.arguments = launched.sandboxed ? sandbox::wrap(command, context.rootURL.path()) : command;
    options.workingDirectory = context.rootURL.path();
    options.environment = ProcessEnvironment::augmentedEnvironment();
    options.environment["BROWSER"] = "none";
    options.ownProcessGroup = true;
    launched.process = launchChild(options);  // throws the platform error; nothing is kept then
    try {
        launched.guard = std::make_unique<ProcessGroupGuard>(launched.process->pid());
    } catch (...) {
        // Without a guard the server could outlive Tarn: do not keep it.
        ::kill(-launched.process->pid(), SIGKILL);
        throw;
    }
    return launched;
}

void DevServerController::start(const ProjectContext& context) {
    stop();

    auto run = std::make_shared<Run>();
    run->owner = self_;
    if (auto handed = handover::take(context.rootURL.path(), context.devCommand)) {
        run->process = std::make_unique<ChildProcess>(handed->pid, -1, handed->outFd, handed->errFd);
        run->guard = std::make_unique<ProcessGroupGuard>(handed->pid, std::make_unique<ChildProcess>(handed->watcherPid, handed->guardFd, -1, -1));
        run->sandboxed = handed->sandboxed;
    } else {
        Launched launched = launch(context);
        run->process = std::move(launched.process);
        run->guard = std::move(launched.guard);
        run->sandboxed = launched.sandboxed;
    }
    run->pgid = run->process->pid();

    Run* raw = run.get();
    auto attach = [raw](int fd, text::Utf8StreamDecoder& decoder) {
        return std::make_unique<PipeReader>(
            fd, [raw, &decoder](std::string_view chunk) { raw->received(decoder, chunk); }, nullptr);
    };
    run->outReader = attach(run->process->stdoutFd(), run->outDecoder);
    run->errReader = attach(run->process->stderrFd(), run->errDecoder);
    run->process->watchExit([run](int status) { run->finished(status); });
    current_ = run;
    trace::mark("dev server started");

    if (onOutputLine) onOutputLine(tr::format(_("Dev server started with command: %1"), {context.devCommand}));
}

void DevServerController::stop() {
    if (!current_) return;
    auto run = std::move(current_);
    current_.reset();
    // The end still arrives through onExit.
    run->end();
}

bool DevServerController::sandboxed() const { return current_ && current_->sandboxed; }

bool DevServerController::isRunning() const { return current_ && !current_->ended; }

int DevServerController::processGroup() const { return current_ ? current_->pgid : 0; }

int DevServerController::watcherProcess() const { return current_ && current_->guard ? current_->guard->watcherPid() : 0; }

}  // namespace tarn
