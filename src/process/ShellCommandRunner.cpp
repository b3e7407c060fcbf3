#include "process/ShellCommandRunner.h"
#include "support/Translate.h"

#include "process/ProcessEnvironment.h"
#include "process/ProcessGroupGuard.h"
#include "support/LineSplitter.h"
#include "support/PipeReader.h"
#include "support/Subprocess.h"
#include "support/Text.h"

#include <csignal>

namespace tarn {

ShellCommandError ShellCommandError::failedToStart(const std::string& platformMessage) {
    return ShellCommandError(Kind::failedToStart, tr::format(_("Failed to start command: %1"), {platformMessage}), {});
}

ShellCommandError ShellCommandError::nonZeroExit(ShellCommandOutput output) {
    std::string message = text::trim(output.stderr);
    if (message.empty()) message = tr::format(_("Command failed with exit code %1."), {std::to_string(output.exitCode)});
    return ShellCommandError(Kind::nonZeroExit, std::move(message), std::move(output));
}

namespace {

constexpr guint kOrphanedPipeGraceMs = 500;

// One run in flight: the child, its two streams, and the coroutine waiting for the end.
struct RunState : std::enable_shared_from_this<RunState> {
    struct Stream {
        std::string text;  // decoded as it arrives; the same as decoding the whole stream at once
        text::Utf8StreamDecoder decoder;
        LineSplitter lines;
        std::unique_ptr<PipeReader> reader;
        bool ended = false;
    };

    std::unique_ptr<ChildProcess> child;
    std::unique_ptr<ProcessGroupGuard> guard;
    std::optional<Cancellation> cancellation;
    int cancellationWatch = -1;
    bool cancelled = false;
    Stream out, err;
    bool exited = false;
    bool finished = false;
    int status = 0;
    ShellCommandRunner::LineCallback onLine;
    std::coroutine_handle<> waiter;
    ShellCommandOutput result;

    void attach(Stream& stream, int fd) {
        stream.reader = std::make_unique<PipeReader>(
            fd, [this, &stream](std::string_view chunk) { received(stream, chunk); },
            [this, &stream] {
                stream.ended = true;
                maybeFinish();
            });
    }

    void received(Stream& stream, std::string_view chunk) {
        std::size_t from = stream.text.size();
        stream.text.append(stream.decoder.feed(chunk));
        if (onLine) stream.lines.append(std::string_view(stream.text).substr(from), onLine);
    }

    void maybeFinish() {
        if (finished || !exited || !out.ended || !err.ended) return;
        finished = true;
        // What the child left running in its group ends with the run.
        if (guard) guard->release();
        if (cancellation && cancellationWatch >= 0) cancellation->unwatch(cancellationWatch);
        for (Stream* s : {&out, &err}) {
            std::string rest = s->decoder.finish();
            s->text.append(rest);
            if (onLine) {
                s->lines.append(rest, onLine);
                s->lines.flush(onLine);
            }
        }
        result = ShellCommandOutput{std::move(out.text), std::move(err.text), status};
        // Resume on a later turn, outside the reader that got us here.
        postToMain([self = shared_from_this()] {
            if (self->waiter) self->waiter.resume();
        });
    }

    // Everything the child wrote is in its pipes once it has ended; a process it left running
    // may still hold them open, so what is there is taken and the end is not waited for long.
    void endStreamsSoon() {
        for (Stream* s : {&out, &err}) {
            if (s->reader) s->reader->drainAvailable();
            if (s->reader && s->reader->atEnd()) s->ended = true;
        }
        if (out.ended && err.ended) return;
        auto self = shared_from_this();
        g_timeout_add_full(G_PRIORITY_DEFAULT, kOrphanedPipeGraceMs, [](gpointer data) -> gboolean {
            auto& state = **static_cast<std::shared_ptr<RunState>*>(data);
            for (Stream* s : {&state.out, &state.err}) {
                if (s->ended) continue;
                s->reader->drainAvailable();
                s->reader->stop();
                s->ended = true;
            }
            state.maybeFinish();
            return G_SOURCE_REMOVE;
        }, new std::shared_ptr<RunState>(self), [](gpointer data) { delete static_cast<std::shared_ptr<RunState>*>(data); });
    }

    void childEnded(int exitStatus) {
        status = exitStatus;
        exited = true;
        endStreamsSoon();
        maybeFinish();
    }
};

struct Completion {
    std::shared_ptr<RunState> state;
    bool await_ready() const noexcept { return state->finished; }
    void await_suspend(std::coroutine_handle<> h) { state->waiter = h; }
    void await_resume() const noexcept {}
};

}  // namespace

Task<ShellCommandOutput> ShellCommandRunner::run(std::string executable, std::vector<std::string> arguments,
                                                 std::optional<Url> currentDirectory) {
    return runStreaming(std::move(executable), std::move(arguments), std::move(currentDirectory), nullptr);
}

Task<ShellCommandOutput> ShellCommandRunner::runStreaming(std::string executable, std::vector<std::string> arguments,
                                                          std::optional<Url> currentDirectory,
                                                          LineCallback onOutputLine, RunControl control) {
    ChildOptions options;
    options.arguments.push_back(std::move(executable));
    options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
    if (currentDirectory) options.workingDirectory = currentDirectory->path();
    options.environment = ProcessEnvironment::augmentedEnvironment();
    options.ownProcessGroup = control.ownProcessGroup || control.cancellation.has_value();

    auto state = std::make_shared<RunState>();
    state->onLine = std::move(onOutputLine);
    try {
        state->child = launchChild(options);
        if (options.ownProcessGroup) state->guard = std::make_unique<ProcessGroupGuard>(state->child->pid());
    } catch (const PlatformError& e) {
        if (state->child) ::kill(state->child->pid(), SIGKILL);
        throw ShellCommandError::failedToStart(e.what());
    }
    if (control.cancellation) {
        state->cancellation = control.cancellation;
        std::weak_ptr<RunState> weak = state;
        state->cancellationWatch = control.cancellation->watch([weak] {
            auto self = weak.lock();
            if (!self || self->finished) return;
            self->cancelled = true;
            if (self->guard) self->guard->release();
        });
    }
    state->attach(state->out, state->child->stdoutFd());
    state->attach(state->err, state->child->stderrFd());
    state->child->watchExit([state](int status) { state->childEnded(status); });

    co_await Completion{state};
    if (state->cancelled) throw CancellationError();
    ShellCommandOutput output = std::move(state->result);
    if (output.exitCode != 0) throw ShellCommandError::nonZeroExit(std::move(output));
    co_return output;
}

}  // namespace tarn
