#pragma once
#include "model/SupportedStack.h"

#include <cstdint>
#include <set>
#include <string>

// Which stack a project is, read from the names of its dependencies, and the port its dev server
// uses when the dev script names none.
namespace tarn::stacks {

SupportedStack detect(const std::set<std::string>& dependencyNames);
std::int64_t defaultPort(SupportedStack stack, const std::set<std::string>& dependencyNames);

}  // namespace tarn::stacks
