#include "process/ServerOutput.h"

#include "support/Text.h"

namespace tarn::serverOutput {

std::optional<Url> localAddress(const std::string& line) {
    for (const auto& link : text::findLinks(line)) {
        auto url = Url::parse(link);
        if (!url) continue;
        if (text::contains(url->string(), "localhost") || text::contains(url->string(), "127.0.0.1")) return url;
    }
    return std::nullopt;
}

Meaning meaningOf(const std::string& line) {
    const std::string lower = text::toLower(line);
    if (text::contains(lower, "command not found")) return Meaning::commandNotFound;
    if (text::contains(lower, "ready") || text::contains(lower, "started") || text::contains(lower, "localhost")) return Meaning::ready;
    return Meaning::nothing;
}

}  // namespace tarn::serverOutput
