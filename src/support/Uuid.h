#pragma once
#include <string>

namespace tarn {

// A random version-4 UUID; its text form is upper case wherever it is shown or stored.
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
