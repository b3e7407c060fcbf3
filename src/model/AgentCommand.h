#pragma once
#include <string>

namespace tarn {

// A command an agent offers, typed after "/" at the start of a request ("/review").
struct AgentCommand {
    std::string name;  // without the slash
    std::string description;
    std::string hint;  // what to type after it, when it takes input

    friend bool operator==(const AgentCommand&, const AgentCommand&) = default;
};

}  // namespace tarn
