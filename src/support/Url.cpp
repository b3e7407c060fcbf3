#include "support/Url.h"

#include "support/GObjectPtr.h"
#include "support/Text.h"

#include <algorithm>
#include <filesystem>
#include <glib.h>
#include <memory>

namespace tarn {

namespace {

using UriPtr = GPtr<GUri, g_uri_unref>;

UriPtr parseUri(const std::string& text) {
    return UriPtr(g_uri_parse(text.c_str(), G_URI_FLAGS_ENCODED, nullptr));
}

}  // namespace

std::optional<Url> Url::parse(std::string_view text) {
    std::string s(text);
    auto uri = parseUri(s);
    if (!uri) return std::nullopt;
    GCharPtr normalised(g_uri_to_string(uri.get()));
    return Url{normalised.get()};
}

std::optional<Url> Url::fromAddressBar(std::string_view typed) {
    const std::string trimmed = text::trim(typed);
    if (trimmed.empty()) return std::nullopt;
    const auto marker = trimmed.find("://");
    const bool hasScheme = marker != std::string::npos && marker > 0 && g_ascii_isalpha(trimmed[0]) &&
                           std::all_of(trimmed.begin(), trimmed.begin() + static_cast<long>(marker), [](char c) {
                               return g_ascii_isalnum(c) || c == '+' || c == '-' || c == '.';
                           });
    if (hasScheme) {
        if (auto url = parse(trimmed)) return url;
    }
    return parse("http://" + trimmed);
}

Url Url::forFile(std::string_view path) {
    std::filesystem::path p(path);
    if (!p.is_absolute()) p = std::filesystem::absolute(p);
    // One spelling per folder, however it was given: "a/./b/" and "a/b" are the same place, so
    // every path computed from it (relative paths above all) comes out the same.
    p = p.lexically_normal();
    if (!p.has_filename() && p.has_relative_path()) p = p.parent_path();
    GCharPtr uri(g_filename_to_uri(p.c_str(), nullptr, nullptr));
    if (!uri) return Url{"file://" + p.string()};
    return Url{uri.get()};
}

std::string Url::scheme() const {
    auto uri = parseUri(text_);
    return uri ? g_uri_get_scheme(uri.get()) : "";
}

std::string Url::host() const {
    auto uri = parseUri(text_);
    const char* host = uri ? g_uri_get_host(uri.get()) : nullptr;
    return host ? host : "";
}

bool Url::isLocal() const {
    std::string name = host();
    if (name.size() > 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
    const std::string_view tail = ".localhost";
    const bool underLocalhost = name.size() >= tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
    return name == "localhost" || underLocalhost || name == "::1" || name == "0.0.0.0" || name.rfind("127.", 0) == 0;
}

int Url::port() const {
    auto uri = parseUri(text_);
    return uri ? g_uri_get_port(uri.get()) : -1;
}

bool Url::isFile() const { return scheme() == "file"; }

std::string Url::path() const {
    if (isFile()) {
        GCharPtr local(g_filename_from_uri(text_.c_str(), nullptr, nullptr));
        if (local) {
            return std::string(local.get());
        }
    }
    auto uri = parseUri(text_);
    if (!uri) return {};
    GCharPtr decoded(g_uri_unescape_string(g_uri_get_path(uri.get()), nullptr));
    return decoded ? std::string(decoded.get()) : std::string(g_uri_get_path(uri.get()));
}

Url Url::appending(std::string_view name) const {
    return forFile((std::filesystem::path(path()) / std::string(name)).string());
}

}  // namespace tarn
