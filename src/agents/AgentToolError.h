#pragma once
#include <stdexcept>

namespace tarn {

// Why an agent tool could not do what it was asked, in words that name the tool.
class AgentToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace tarn
