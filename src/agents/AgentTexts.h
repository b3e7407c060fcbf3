#pragma once
#include <map>
#include <string>

// The agents' fixed texts (prompts, the local agent's files), shipped inside the binary as
// resources under texts/.
namespace tarn::agenttexts {

// The text of a resource by its file name; empty for none.
const std::string& get(const std::string& name);

// The text with each "{name}" of `values` replaced by its value, in one pass: a value is never
// read for names of its own.
std::string fill(const std::string& name, const std::map<std::string, std::string>& values);

}  // namespace tarn::agenttexts
