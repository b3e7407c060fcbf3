#include "support/PlatformError.h"

namespace tarn {

std::string describe(const std::exception& error) { return error.what(); }

}  // namespace tarn
