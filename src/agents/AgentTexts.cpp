#include "agents/AgentTexts.h"

#include "support/GObjectPtr.h"

#include <gio/gio.h>
#include <mutex>

extern "C" GResource* tarn_agents_get_resource(void);

namespace tarn::agenttexts {

const std::string& get(const std::string& name) {
    // Read once each; asked from worker threads too.
    static std::mutex lock;
    static std::map<std::string, std::string> loaded;
    std::lock_guard guard(lock);
    if (auto found = loaded.find(name); found != loaded.end()) return found->second;
    GPtr<GBytes, g_bytes_unref> bytes(g_resource_lookup_data(tarn_agents_get_resource(), ("/dev/tarn/Tarn/agents/" + name).c_str(),
                                                             G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr));
    gsize size = 0;
    const char* data = bytes ? static_cast<const char*>(g_bytes_get_data(bytes.get(), &size)) : nullptr;
    return loaded.emplace(name, std::string(data ? data : "", size)).first->second;
}

std::string fill(const std::string& name, const std::map<std::string, std::string>& values) {
    const std::string& text = get(name);
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t open = text.find('{', at);
        if (open == std::string::npos) break;
        const std::size_t close = text.find('}', open);
        if (close == std::string::npos) break;
        out.append(text, at, open - at);
        if (auto value = values.find(text.substr(open + 1, close - open - 1)); value != values.end()) {
            out += value->second;
            at = close + 1;
        } else {
            out += '{';
            at = open + 1;
        }
    }
    out.append(text, at, std::string::npos);
    return out;
}

}  // namespace tarn::agenttexts
