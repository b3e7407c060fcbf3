#include "agents/acp/JsonRpcPeer.h"
#include "support/Translate.h"

#include "support/MainLoop.h"
#include "support/Text.h"

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <glib.h>
#include <thread>
#include <unistd.h>

namespace tarn::acp {

struct JsonRpcPeer::Outbox {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<std::string> lines;
    bool closed = false;
};

struct JsonRpcPeer::ErrorTail {
    mutable std::mutex mutex;
    std::deque<std::string> lines;
};

namespace {

// Blocking reads until the end, cut into lines; a line over the limit is dropped whole.
template <typename OnLine>
void readLines(int fd, std::size_t limit, OnLine onLine, const std::function<void()>& afterChunk) {
    std::string pending;
    bool skipping = false;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        std::string_view chunk(buffer, static_cast<std::size_t>(n));
        while (!chunk.empty()) {
            const auto newline = chunk.find('\n');
            const auto piece = chunk.substr(0, newline);
            if (!skipping) {
                if (pending.size() + piece.size() > limit) {
                    skipping = true;
                    pending.clear();
                    onLine(std::string_view(), true);
                } else {
                    pending.append(piece);
                }
            }
            if (newline == std::string_view::npos) break;
            if (!skipping) onLine(std::string_view(pending), false);
            pending.clear();
            skipping = false;
            chunk.remove_prefix(newline + 1);
        }
        afterChunk();
    }
    if (!skipping && !pending.empty()) onLine(std::string_view(pending), false);
    afterChunk();
    ::close(fd);
}

// The start of a line, for a log: whole characters, valid UTF-8.
std::string preview(std::string_view line) {
    if (line.size() <= 200) return text::decodeUtf8Lossy(line);
    std::size_t cut = 200;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
    return text::decodeUtf8Lossy(line.substr(0, cut)) + "…";
}

}  // namespace

std::shared_ptr<JsonRpcPeer> JsonRpcPeer::start(ChildOptions options, Handlers handlers) {
    // A write to an agent that has gone must fail with EPIPE, not end Tarn.
    static const bool ignored = [] { return std::signal(SIGPIPE, SIG_IGN) != SIG_ERR; }();
    (void)ignored;
    options.ownProcessGroup = true;
    options.pipeStandardInput = true;
    options.discardOutput = false;
    std::shared_ptr<JsonRpcPeer> peer(new JsonRpcPeer());
    peer->handlers_ = std::move(handlers);
    peer->child_ = launchChild(options);
    peer->pid_ = peer->child_->pid();
    try {
        peer->guard_ = std::make_unique<ProcessGroupGuard>(peer->pid_);
    } catch (...) {
        ::kill(-peer->pid_, SIGKILL);
        throw;
    }
    std::weak_ptr<JsonRpcPeer> weak = peer;
    peer->child_->watchExit([weak](int status) {
        if (auto self = weak.lock()) {
            self->exit_ = status >= 0 ? tr::format(_("exited with status %1"), {std::to_string(status)})
                                      : tr::format(_("was ended by signal %1"), {std::to_string(-status)});
        }
    });

    // Output: parsed on its thread, handed over a read at a time.
    std::thread([weak, fd = peer->child_->takeStandardOutput()] {
        std::vector<json::Json> batch;
        readLines(
            fd, lineLimit,
            [&](std::string_view line, bool tooLong) {
                if (tooLong) {
                    batch.push_back(json::Json{{"tarnLog", tr::format(_("A message over %1 MB was skipped."), {std::to_string(lineLimit >> 20)})}});
                    return;
                }
                if (text::trim(line).empty()) return;
                auto parsed = json::Json::parse(line, nullptr, false);
                if (parsed.is_discarded() || !parsed.is_object()) {
                    batch.push_back(json::Json{{"tarnLog", tr::format(_("Not a protocol message: %1"), {preview(line)})}});
                } else {
                    batch.push_back(std::move(parsed));
                }
            },
            [&] {
                if (batch.empty()) return;
                postToMain([weak, messages = std::move(batch)]() mutable {
                    if (auto self = weak.lock()) self->dispatch(std::move(messages));
                });
                batch = {};
            });
        postToMain([weak] {
            if (auto self = weak.lock()) self->outputEnded();
        });
    }).detach();

    // Standard error: kept for the reason a failure gives, and shown in the agent log.
    peer->errors_ = std::make_shared<ErrorTail>();
    std::thread([weak, tail = peer->errors_, fd = peer->child_->takeStandardError()] {
        std::vector<std::string> batch;
        readLines(
            fd, 64 * 1024,
            [&](std::string_view line, bool tooLong) {
                if (tooLong || text::trim(line).empty()) return;
                std::string kept = preview(text::stripTerminalEscapes(std::string(line)));
                {
                    std::lock_guard lock(tail->mutex);
                    tail->lines.push_back(kept);
                    while (tail->lines.size() > errorLinesKept) tail->lines.pop_front();
                }
                batch.push_back(std::move(kept));
            },
            [&] {
                if (batch.empty()) return;
                postToMain([weak, lines = std::move(batch)] {
                    auto self = weak.lock();
                    if (!self || !self->handlers_.log) return;
                    for (const auto& line : lines) self->handlers_.log(line);
                });
                batch = {};
            });
    }).detach();

    // Input: written by a thread of its own, in order.
    peer->outbox_ = std::make_shared<Outbox>();
    std::thread([box = peer->outbox_, fd = peer->child_->takeStandardInput()] {
        for (;;) {
            std::string line;
            {
                std::unique_lock lock(box->mutex);
                box->ready.wait(lock, [&] { return box->closed || !box->lines.empty(); });
                if (box->lines.empty()) break;
                line = std::move(box->lines.front());
                box->lines.pop_front();
            }
            std::string_view rest(line);
            while (!rest.empty()) {
                const ssize_t n = ::write(fd, rest.data(), rest.size());
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) {
                    std::lock_guard lock(box->mutex);
                    box->closed = true;
                    box->lines.clear();
                    break;
                }
                rest.remove_prefix(static_cast<std::size_t>(n));
            }
        }
        ::close(fd);
    }).detach();
    return peer;
}

JsonRpcPeer::~JsonRpcPeer() {
    {
        std::lock_guard lock(outbox_->mutex);
        outbox_->closed = true;
    }
    outbox_->ready.notify_all();
    for (auto& [id, call] : calls_) {
        if (call->timer) g_source_remove(call->timer);
    }
    end();
}

void JsonRpcPeer::end() {
    if (guard_) guard_->release();
}

std::vector<std::string> JsonRpcPeer::lastErrorLines() const {
    std::lock_guard lock(errors_->mutex);
    return {errors_->lines.begin(), errors_->lines.end()};
}

json::Json JsonRpcPeer::CallAwaiter::await_resume() {
    if (call->error) std::rethrow_exception(call->error);
    return std::move(*call->result);
}

Task<json::Json> JsonRpcPeer::call(std::string method, json::Json params, std::optional<std::chrono::milliseconds> limit) {
    auto call = std::make_shared<Call>();
    if (!open_) {
        call->done = true;
        call->error = std::make_exception_ptr(PeerGone(goneReason()));
    } else {
        const long long id = nextId_++;
        calls_[id] = call;
        send({{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}});
        if (limit) {
            struct Expiry {
                std::weak_ptr<JsonRpcPeer> peer;
                long long id;
                std::string method;
                long long seconds;
            };
            auto* expiry = new Expiry{weak_from_this(), id, method, static_cast<long long>(limit->count() / 1000)};
            call->timer = g_timeout_add_full(
                G_PRIORITY_DEFAULT, static_cast<guint>(limit->count()),
                [](gpointer data) -> gboolean {
                    auto* e = static_cast<Expiry*>(data);
                    if (auto self = e->peer.lock()) {
                        auto it = self->calls_.find(e->id);
                        if (it != self->calls_.end()) it->second->timer = 0;
                        self->settle(e->id, std::nullopt,
                                     std::make_exception_ptr(PeerGone(tr::format(_("The agent did not answer “%1” within %2 seconds."),
                                                                                 {e->method, std::to_string(e->seconds)}))));
                    }
                    return G_SOURCE_REMOVE;
                },
                expiry, [](gpointer data) { delete static_cast<Expiry*>(data); });
        }
    }
    co_return co_await CallAwaiter{call};
}

void JsonRpcPeer::notify(const std::string& method, json::Json params) {
    send({{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
}

void JsonRpcPeer::respond(const json::Json& id, json::Json result) {
    send({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}});
}

void JsonRpcPeer::fail(const json::Json& id, int code, const std::string& message) {
    send({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
}

void JsonRpcPeer::send(const json::Json& message) {
    if (!open_) return;
    std::string line = message.dump(-1, ' ', false, json::Json::error_handler_t::replace);
    line.push_back('\n');
    {
        std::lock_guard lock(outbox_->mutex);
        if (outbox_->closed) return;
        outbox_->lines.push_back(std::move(line));
    }
    outbox_->ready.notify_one();
}

void JsonRpcPeer::dispatch(std::vector<json::Json> messages) {
    // A handler may drop the last reference to this peer; keep it for the batch.
    auto keep = shared_from_this();
    for (auto& message : messages) {
        if (auto log = message.find("tarnLog"); log != message.end()) {
            if (handlers_.log) handlers_.log(log->get<std::string>());
            continue;
        }
        const auto method = message.find("method");
        const auto id = message.find("id");
        if (method != message.end() && method->is_string()) {
            const json::Json params = message.contains("params") ? message["params"] : json::Json::object();
            if (id != message.end() && !id->is_null()) {
                if (handlers_.request) handlers_.request(*id, method->get<std::string>(), params);
                else fail(*id, methodNotFound, "Method not found: " + method->get<std::string>());
            } else if (handlers_.notification) {
                handlers_.notification(method->get<std::string>(), params);
            }
        } else if (id != message.end() && id->is_number_integer()) {
            if (auto error = message.find("error"); error != message.end() && error->is_object()) {
                const int code = error->value("code", 0);
                std::string text = error->contains("message") && (*error)["message"].is_string() ? (*error)["message"].get<std::string>() : std::string();
                if (error->contains("data") && (*error)["data"].is_string()) text += (text.empty() ? "" : ": ") + (*error)["data"].get<std::string>();
                settle(id->get<long long>(), std::nullopt, std::make_exception_ptr(JsonRpcError(code, text, error->value("data", json::Json()))));
            } else {
                settle(id->get<long long>(), message.value("result", json::Json()), nullptr);
            }
        } else if (handlers_.log) {
            handlers_.log(tr::format(_("Not a protocol message: %1"), {preview(message.dump())}));
        }
        if (!open_) break;
    }
}

void JsonRpcPeer::settle(long long id, std::optional<json::Json> result, std::exception_ptr error) {
    auto it = calls_.find(id);
    if (it == calls_.end()) return;
    auto call = it->second;
    calls_.erase(it);
    if (call->timer) g_source_remove(std::exchange(call->timer, 0));
    call->result = std::move(result);
    call->error = error;
    call->done = true;
    if (auto waiter = std::exchange(call->waiter, nullptr)) postToMain([waiter] { waiter.resume(); });
}

std::string JsonRpcPeer::goneReason() const {
    std::string reason = exit_ ? tr::format(_("The agent %1."), {*exit_}) : std::string(_("The agent closed its output."));
    const auto lines = lastErrorLines();
    if (!lines.empty()) {
        const std::size_t from = lines.size() > 5 ? lines.size() - 5 : 0;
        reason += " " + text::join(std::vector<std::string>(lines.begin() + static_cast<long>(from), lines.end()), "\n");
    }
    return reason;
}

void JsonRpcPeer::outputEnded() {
    if (!open_) return;
    auto keep = shared_from_this();
    // The exit status usually arrives a moment after the pipe closes; it makes the reason clearer.
    auto finish = [weak = weak_from_this()] {
        auto self = weak.lock();
        if (!self || !self->open_) return;
        self->open_ = false;
        std::vector<long long> ids;
        for (const auto& [id, call] : self->calls_) ids.push_back(id);
        for (long long id : ids) self->settle(id, std::nullopt, std::make_exception_ptr(PeerGone(self->goneReason())));
        if (self->handlers_.closed) self->handlers_.closed();
    };
    if (exit_) {
        finish();
    } else {
        g_timeout_add_full(G_PRIORITY_DEFAULT, 200, [](gpointer data) -> gboolean {
            (*static_cast<std::function<void()>*>(data))();
            return G_SOURCE_REMOVE;
        }, new std::function<void()>(finish), [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
    }
}

}  // namespace tarn::acp
