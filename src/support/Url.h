#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// An absolute URL, validated and normalised by GLib's GUri. File URLs name local paths.
class Url {
public:
    // Absent when the text is not an absolute URL.
    static std::optional<Url> parse(std::string_view text);
    // What an address bar makes of typed text: trimmed; with a scheme ("scheme://...") as it is,
    // otherwise taken as http ("localhost:3000" is a host and port, not a scheme). Absent when empty
    // or not an address.
    static std::optional<Url> fromAddressBar(std::string_view typed);
    // A file URL for an absolute local path (made absolute against the working folder otherwise),
    // normalised: no "." or ".." steps, no trailing slash.
    static Url forFile(std::string_view path);

    const std::string& string() const { return text_; }
    std::string scheme() const;
    std::string host() const;
    int port() const;  // -1 when none is given
    // Served from this machine: localhost (and *.localhost), 127.x.x.x, ::1 or 0.0.0.0.
    bool isLocal() const;
    bool isFile() const;
    // The local path of a file URL; the percent-decoded path component otherwise.
    std::string path() const;
    // A file URL for `name` inside this folder.
    Url appending(std::string_view name) const;

    friend bool operator==(const Url&, const Url&) = default;

private:
    explicit Url(std::string text) : text_(std::move(text)) {}
    std::string text_;
};

}  // namespace tarn
