#include "workspace/ErrorReports.h"

#include "support/Text.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace fs = std::filesystem;

namespace tarn::errorReports {

bool isConsoleError(const std::string& consoleLine) { return text::startsWith(consoleLine, "[ERROR] "); }

bool readsAsBuildError(const std::string& serverLine) {
    const std::string line = text::toLower(text::graphemePrefix(serverLine, 2000));
    if (text::contains(line, " 0 errors") || text::contains(line, "no errors")) return false;
    static const std::array<const char*, 14> markers{
        "error:",           "error]",           "[error",           "failed to compile", "failed to resolve import",
        "module not found", "cannot find module", "unexpected token", "syntaxerror",       "typeerror",
        "referenceerror",   "internal server error", "\xe2\xa8\xaf ", "build failed"};
    if (std::any_of(markers.begin(), markers.end(), [&](const char* m) { return text::contains(line, m); })) return true;
    // A frame of a stack trace.
    return text::startsWith(text::trim(line), "at ") && text::contains(line, ":");
}

namespace {

bool isPathCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '.' || c == '_' || c == '-' || c == '@' ||
           c == '+' || c == '~' || c == '[' || c == ']' || c == '(' || c == ')' || c == '?' || c == '=' || c == '&' ||
           (static_cast<unsigned char>(c) >= 0x80);
}

bool hasSourceExtension(const std::string& path) {
    static const std::array<const char*, 16> extensions{".js",  ".jsx", ".ts",   ".tsx",  ".mjs", ".cjs",  ".mts", ".cts",
                                                        ".vue", ".svelte", ".astro", ".css", ".scss", ".html", ".md", ".mdx"};
    const std::string ext = text::toLower(fs::path(path).extension().string());
    return std::find(extensions.begin(), extensions.end(), ext) != extensions.end();
}

// The project file a path of a message stands for: absolute inside the root, relative to it, or
// served from it (http://localhost:5173/src/App.jsx, webpack-internal:///./app/page.tsx).
std::optional<std::string> projectFile(std::string path, const fs::path& root) {
    if (auto scheme = path.find("://"); scheme != std::string::npos) {
        const auto slash = path.find('/', scheme + 3);
        path = slash == std::string::npos ? std::string() : path.substr(slash);
    }
    if (auto query = path.find('?'); query != std::string::npos) path.resize(query);
    std::error_code ec;
    std::vector<fs::path> tries;
    fs::path p(path);
    if (p.is_absolute()) {
        const fs::path relative = p.lexically_normal().lexically_relative(root);
        if (!relative.empty() && *relative.begin() != "..") tries.push_back(relative);
    }
    // As served or as written: the path from each of its folders on, "(rsc)/./app" and "/src" alike.
    std::string rest = path;
    for (int guard = 0; !rest.empty() && guard < 16; ++guard) {
        while (!rest.empty() && (rest.front() == '/' || text::startsWith(rest, "./"))) rest.erase(0, rest.front() == '/' ? 1 : 2);
        if (!rest.empty()) tries.emplace_back(rest);
        const auto next = rest.find('/');
        if (next == std::string::npos) break;
        rest.erase(0, next + 1);
    }
    for (const auto& relative : tries) {
        const fs::path normal = relative.lexically_normal();
        if (normal.empty() || *normal.begin() == ".." || text::startsWith(normal.generic_string(), "node_modules/")) continue;
        if (fs::is_regular_file(root / normal, ec)) return normal.generic_string();
    }
    return std::nullopt;
}

}  // namespace

std::optional<Place> placeNamed(const std::string& message, const fs::path& root) {
    const std::string_view text(message.data(), std::min<std::size_t>(message.size(), 20000));
    for (std::size_t colon = text.find(':'); colon != std::string_view::npos; colon = text.find(':', colon + 1)) {
        // "<path>:<line>" with the path just before the colon (bounded, so the scan stays linear).
        std::size_t digits = colon + 1;
        while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])) && digits - colon < 9) ++digits;
        if (digits == colon + 1) continue;
        std::size_t start = colon;
        while (start > 0 && colon - start < 400 && (isPathCharacter(text[start - 1]) || text[start - 1] == ':')) --start;
        std::string path(text.substr(start, colon - start));
        // A scheme's colon belongs to the path ("http://", "webpack-internal:///").
        if (auto paren = path.find_last_of("( "); paren != std::string::npos) path.erase(0, paren + 1);
        if (auto q = path.find('?'); q != std::string::npos && !hasSourceExtension(path.substr(0, q))) continue;
        if (!hasSourceExtension(path.substr(0, path.find('?')))) continue;
        auto file = projectFile(path, root);
        if (!file) continue;
        Place place;
        place.file = *file;
        place.line = std::atoi(std::string(text.substr(colon + 1, digits - colon - 1)).c_str());
        if (digits + 1 < text.size() && text[digits] == ':' && std::isdigit(static_cast<unsigned char>(text[digits + 1]))) {
            place.column = std::atoi(std::string(text.substr(digits + 1, 8)).c_str());
        }
        return place;
    }
    return std::nullopt;
}

std::string fixRequest(const std::string& error, const std::string& route, const std::optional<Place>& place) {
    std::string request = "Fix this error the app shows";
    if (!route.empty()) request += " on the route " + route;
    request += ":\n\n" + text::trim(error) + "\n";
    if (place) {
        request += "\nIt points at " + place->file + ":" + std::to_string(place->line);
        if (place->column > 0) request += ":" + std::to_string(place->column);
        request += ".\n";
    }
    return request;
}

}  // namespace tarn::errorReports
