#pragma once
#include <string>

namespace tarn {

// State of the dev-server process.
class ServerRuntimeState {
public:
    enum class Kind { idle, starting, running, stopped, failed, external };

    static ServerRuntimeState idle() { return ServerRuntimeState(Kind::idle, {}); }
    static ServerRuntimeState starting() { return ServerRuntimeState(Kind::starting, {}); }
    static ServerRuntimeState running() { return ServerRuntimeState(Kind::running, {}); }
    static ServerRuntimeState stopped() { return ServerRuntimeState(Kind::stopped, {}); }
    static ServerRuntimeState failed(std::string message) { return ServerRuntimeState(Kind::failed, std::move(message)); }
    // A server started outside Tarn that the preview shows; the message says which.
    static ServerRuntimeState external(std::string message) { return ServerRuntimeState(Kind::external, std::move(message)); }

    ServerRuntimeState() : ServerRuntimeState(Kind::idle, {}) {}
    Kind kind() const { return kind_; }
    // The failure's text, or which external server; empty for the other cases.
    const std::string& message() const { return message_; }

    friend bool operator==(const ServerRuntimeState&, const ServerRuntimeState&) = default;

private:
    ServerRuntimeState(Kind c, std::string message) : kind_(c), message_(std::move(message)) {}
    Kind kind_;
    std::string message_;
};

}  // namespace tarn
