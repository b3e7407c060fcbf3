#pragma once
#include "process/ProcessGroupGuard.h"
#include "support/Json.h"
#include "support/Subprocess.h"
#include "support/Task.h"

#include <chrono>
#include <coroutine>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarn::acp {

// An error the other side answered with, in its own words.
class JsonRpcError : public std::runtime_error {
public:
    JsonRpcError(int code, const std::string& message, json::Json data = nullptr)
        : std::runtime_error(message), code(code), data(std::move(data)) {}
    int code;
    json::Json data;
};

// The other side went away, or never answered in time; the text says which.
class PeerGone : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// JSON-RPC 2.0 with a child process over its standard input and output, one message a line. The
// child leads a process group of its own that ends with this object and with Tarn. Its output and
// its standard error are read on threads of their own (a line may be megabytes of base64), parsed
// there and handed to the main thread in batches; writes go through a thread too, so an agent that
// stops reading never blocks the window. Everything here is called on the main thread.
class JsonRpcPeer : public std::enable_shared_from_this<JsonRpcPeer> {
public:
    struct Handlers {
        std::function<void(const std::string& method, const json::Json& params)> notification;
        // Answer with respond() or fail(), now or later. Without a handler: "method not found".
        std::function<void(const json::Json& id, const std::string& method, const json::Json& params)> request;
        // The child's standard error and whatever on its output was not a message.
        std::function<void(const std::string& line)> log;
        // The child's output ended (it exited, or closed it).
        std::function<void()> closed;
    };

    // Throws PlatformError when the child cannot start.
    static std::shared_ptr<JsonRpcPeer> start(ChildOptions options, Handlers handlers);
    ~JsonRpcPeer();
    JsonRpcPeer(const JsonRpcPeer&) = delete;
    JsonRpcPeer& operator=(const JsonRpcPeer&) = delete;

    // The result, or JsonRpcError with the answer's error, or PeerGone when the child goes first or
    // `limit` passes without an answer.
    Task<json::Json> call(std::string method, json::Json params,
                          std::optional<std::chrono::milliseconds> limit = std::nullopt);
    void notify(const std::string& method, json::Json params);
    void respond(const json::Json& id, json::Json result);
    void fail(const json::Json& id, int code, const std::string& message);

    // Ends the child's group: a termination request now, a kill after the guard's grace period.
    void end();
    bool isOpen() const { return open_; }
    int pid() const { return pid_; }
    // The last lines the child printed on standard error, oldest first.
    std::vector<std::string> lastErrorLines() const;
    // How the child ended, once it has: "exited with status 1", "was ended by signal 9".
    std::optional<std::string> exitDescription() const { return exit_; }

    static constexpr std::size_t lineLimit = 64 * 1024 * 1024;
    static constexpr std::size_t errorLinesKept = 20;
    static constexpr int methodNotFound = -32601;

    // Shared with the threads; they outlive the peer when they must.
    struct Outbox;
    struct ErrorTail;

private:
    JsonRpcPeer() = default;
    struct Call {
        std::optional<json::Json> result;
        std::exception_ptr error;
        std::coroutine_handle<> waiter;
        bool done = false;
        unsigned timer = 0;
    };
    struct CallAwaiter {
        std::shared_ptr<Call> call;
        bool await_ready() const noexcept { return call->done; }
        void await_suspend(std::coroutine_handle<> h) { call->waiter = h; }
        json::Json await_resume();
    };
    void send(const json::Json& message);
    void dispatch(std::vector<json::Json> messages);
    void settle(long long id, std::optional<json::Json> result, std::exception_ptr error);
    void outputEnded();
    std::string goneReason() const;

    Handlers handlers_;
    std::unique_ptr<ChildProcess> child_;
    std::unique_ptr<ProcessGroupGuard> guard_;
    std::shared_ptr<Outbox> outbox_;
    std::shared_ptr<ErrorTail> errors_;
    std::map<long long, std::shared_ptr<Call>> calls_;
    long long nextId_ = 1;
    int pid_ = 0;
    bool open_ = true;
    std::optional<std::string> exit_;
};

}  // namespace tarn::acp
