#pragma once
#include <string>

namespace tarn {

// State of the dev-server process.
class ServerRuntimeState {
public:
    enum class Case { idle, starting, running, stopped, failed, external };

    static ServerRuntimeState idle() { return ServerRuntimeState(Case::idle, {}); }
    static ServerRuntimeState starting() { return ServerRuntimeState(Case::starting, {}); }
    static ServerRuntimeState running() { return ServerRuntimeState(Case::running, {}); }
    static ServerRuntimeState stopped() { return ServerRuntimeState(Case::stopped, {}); }
    static ServerRuntimeState failed(std::string message) { return ServerRuntimeState(Case::failed, std::move(message)); }
    // A server started outside Tarn that the preview shows; the message says which.
    static ServerRuntimeState external(std::string message) { return ServerRuntimeState(Case::external, std::move(message)); }

    ServerRuntimeState() : ServerRuntimeState(Case::idle, {}) {}
    Case kind() const { return case_; }
    // The failure's text, or which external server; empty for the other cases.
    const std::string& message() const { return message_; }

    friend bool operator==(const ServerRuntimeState&, const ServerRuntimeState&) = default;

private:
    ServerRuntimeState(Case c, std::string message) : case_(c), message_(std::move(message)) {}
    Case case_;
    std::string message_;
};

}  // namespace tarn
