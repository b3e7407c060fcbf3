#pragma once
#include <functional>
#include <string>

namespace tarn {

// A random version-4 UUID, in GLib's lower-case text form.
class Uuid {
public:
    Uuid();  // a fresh random one
    const std::string& string() const { return text_; }
    friend bool operator==(const Uuid&, const Uuid&) = default;
    friend auto operator<=>(const Uuid&, const Uuid&) = default;

private:
    std::string text_;
};

}  // namespace tarn

template <>
struct std::hash<tarn::Uuid> {
    std::size_t operator()(const tarn::Uuid& id) const noexcept { return std::hash<std::string>()(id.string()); }
};
