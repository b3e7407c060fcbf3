#include "preview/BridgeMessages.h"
#include "support/Url.h"
#include "support/Uuid.h"

namespace tarn::preview {

namespace {

std::string textOr(const json::Json& body, const char* key, std::string fallback) {
    return json::stringMember(body, key).value_or(std::move(fallback));
}

bool flagOr(const json::Json& body, const char* key, bool fallback) {
    auto it = body.find(key);
    return it != body.end() && it->is_boolean() ? it->get<bool>() : fallback;
}

}  // namespace

std::string inspectModeCall(bool enabled) {
    return std::string("window.__tarnSetInspectMode && window.__tarnSetInspectMode(") + (enabled ? "true" : "false") + ");";
}

std::optional<std::string> selectionsCall(const std::vector<std::string>& keys) {
    std::string array;
    try {
        array = json::Json(keys).dump();
    } catch (const json::Json::exception&) {
        return std::nullopt;
    }
    return "window.__tarnSyncSelections && window.__tarnSyncSelections(" + array + ");";
}

std::optional<std::string> tryStyleCall(const std::string& key, const std::string& property, const std::string& value) {
    try {
        return "window.__tarnTryStyle && window.__tarnTryStyle(" + json::Json(key).dump() + ", " + json::Json(property).dump() + ", " +
               json::Json(value).dump() + ");";
    } catch (const json::Json::exception&) {
        return std::nullopt;
    }
}

std::string takeBackStylesCall() { return "window.__tarnTakeBackStyles && window.__tarnTakeBackStyles();"; }

std::optional<BrowserConsoleEntry> decodeConsole(const json::Json& body) {
    if (!body.is_object()) return std::nullopt;
    BrowserConsoleEntry entry;
    entry.level = textOr(body, "level", "log");
    entry.message = textOr(body, "message", "");
    return entry;
}

namespace {

int boundedCount(const json::Json& body, const char* key, int fallback) {
    auto it = body.find(key);
    return it != body.end() && it->is_number_integer() ? static_cast<int>(std::clamp<long long>(it->get<long long>(), 0, 1 << 20)) : fallback;
}

}  // namespace

void decodeStyleSources(const json::Json& body, InspectTarget& target) {
    target.placeCount = std::max(1, boundedCount(body, "placeCount", 1));
    auto it = body.find("styleSources");
    if (it == body.end() || !it->is_object()) return;
    static const std::map<std::string, StyleSource::Kind> kinds{{"inline", StyleSource::Kind::inline_},
                                                                {"rule", StyleSource::Kind::rule},
                                                                {"inherited", StyleSource::Kind::inherited},
                                                                {"default", StyleSource::Kind::defaulted}};
    for (const auto& [name, value] : it->items()) {
        if (!value.is_object() || name.size() > 32 || target.styleSources.size() >= 32) continue;
        StyleSource source;
        if (auto kind = kinds.find(textOr(value, "kind", "")); kind != kinds.end()) source.kind = kind->second;
        source.selector = textOr(value, "selector", "").substr(0, 400);
        source.matched = textOr(value, "matched", "").substr(0, 400);
        source.condition = textOr(value, "condition", "").substr(0, 400);
        source.sheet = textOr(value, "sheet", "").substr(0, 1000);
        source.layered = flagOr(value, "layered", false);
        source.reach = boundedCount(value, "reach", 1);
        source.sameSource = flagOr(value, "sameSource", false);
        if (auto weights = value.find("specificity"); weights != value.end() && weights->is_array() && weights->size() == 3) {
            for (std::size_t i = 0; i < 3; ++i) {
                source.specificity[i] = (*weights)[i].is_number_integer() ? static_cast<int>(std::clamp<long long>((*weights)[i].get<long long>(), 0, 1000)) : 0;
            }
        }
        target.styleSources[name] = std::move(source);
    }
}

std::optional<InspectTarget> decodeInspect(const json::Json& body) {
    if (!body.is_object()) return std::nullopt;
    InspectTarget target;
    target.selectionKey = textOr(body, "selectionKey", Uuid().string());
    target.isSelected = flagOr(body, "isSelected", true);
    target.selector = textOr(body, "selector", "");
    target.tagName = textOr(body, "tagName", "");
    target.textSnippet = textOr(body, "textSnippet", "");
    target.componentGuess = textOr(body, "componentGuess", "Unknown");
    target.fileGuess = textOr(body, "fileGuess", "");
    if (body.contains("source") && body["source"].is_object()) {
        const json::Json& source = body["source"];
        const std::string file = textOr(source, "file", "");
        if (!file.empty()) {
            target.fileGuess = file;
            auto number = [&](const char* key) {
                auto it = source.find(key);
                return it != source.end() && it->is_number_integer() ? std::max(0, static_cast<int>(std::min<long long>(it->get<long long>(), 1 << 30))) : 0;
            };
            target.line = number("line");
            target.column = number("column");
            target.framework = textOr(source, "framework", "");
            target.locatedBy = flagOr(source, "fromAncestor", false) ? LocatedBy::ancestor : LocatedBy::framework;
        }
    } else if (!target.fileGuess.empty()) {
        target.locatedBy = LocatedBy::attribute;
    }
    target.metaClick = flagOr(body, "metaClick", false);
    target.sameTextCount = std::max(1, boundedCount(body, "sameTextCount", 1));
    // Only the properties the panel edits, each a short text.
    if (auto it = body.find("computedStyle"); it != body.end() && it->is_object()) {
        for (const auto& [name, value] : it->items()) {
            if (value.is_string() && name.size() <= 32 && value.get_ref<const std::string&>().size() <= 256 && target.computedStyle.size() < 32) {
                target.computedStyle[name] = value.get<std::string>();
            }
        }
    }
    decodeStyleSources(body, target);
    return target;
}

std::optional<std::string> decodeRoute(const json::Json& body) {
    if (!body.is_object()) return std::nullopt;
    return textOr(body, "route", "/");
}

bool isLocalAddress(const std::string& address) {
    auto url = Url::parse(address);
    return url && url->isLocal();
}

std::string routeOf(const std::optional<std::string>& address) {
    if (!address) return "/";
    auto url = Url::parse(*address);
    return url ? url->path() : "/";
}

}  // namespace tarn::preview
