#pragma once
#include <string>

namespace tarn::preview {

// The page bridge script, as shipped inside the binary.
const std::string& bridgeScript();

}  // namespace tarn::preview
