#include "agents/style/Tailwind.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace tarn::style {

namespace {

using namespace std::string_view_literals;

template <typename T, std::size_t N>
bool oneOf(const T& word, const std::array<T, N>& words) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

constexpr std::array<std::string_view, 13> fontSizes{"xs", "sm", "base", "lg", "xl", "2xl", "3xl", "4xl", "5xl", "6xl", "7xl", "8xl", "9xl"};
constexpr std::array<double, 13> fontSizePx{12, 14, 16, 18, 20, 24, 30, 36, 48, 60, 72, 96, 128};
constexpr std::array<std::string_view, 9> weights{"thin", "extralight", "light", "normal", "medium", "semibold", "bold", "extrabold", "black"};
constexpr std::array<std::string_view, 6> alignments{"left", "center", "right", "justify", "start", "end"};
// Spacing steps both Tailwind 3 and 4 have, in quarters of a rem (4px).
constexpr std::array<double, 34> spacingSteps{0.5, 1,  1.5, 2,  2.5, 3,  3.5, 4,  5,  6,  7,  8,  9,  10, 11, 12, 14,
                                              16,  20, 24,  28, 32,  36, 40, 44, 48, 52, 56, 60, 64, 72, 80, 96, 0};
// Radii named alike in both (4 and 2px were renamed between them), and container widths in rem.
constexpr std::array<std::pair<double, std::string_view>, 7> radii{
    {{0, "none"}, {6, "md"}, {8, "lg"}, {12, "xl"}, {16, "2xl"}, {24, "3xl"}, {9999, "full"}}};
constexpr std::array<std::pair<double, std::string_view>, 11> containers{
    {{20, "xs"}, {24, "sm"}, {28, "md"}, {32, "lg"}, {36, "xl"}, {42, "2xl"}, {48, "3xl"}, {56, "4xl"}, {64, "5xl"}, {72, "6xl"}, {80, "7xl"}}};
// Text utilities that are neither a size, an alignment nor a colour.
constexpr std::array<std::string_view, 8> otherText{"ellipsis", "clip", "wrap", "nowrap", "balance", "pretty", "inherit", "current"};
constexpr std::array<std::string_view, 12> otherBackground{"auto",   "cover",  "contain", "center", "top",   "bottom",
                                                           "left",   "right",  "repeat",  "fixed",  "local", "scroll"};

std::string number(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", std::round(value * 1000) / 1000);
    return buffer;
}

bool arbitrary(std::string_view value) { return value.size() > 2 && value.front() == '[' && value.back() == ']'; }

// A length in CSS pixels ("22px", "1.5rem", "0"); nothing for anything else.
std::optional<double> pixels(std::string_view value) {
    double n = 0;
    const char* end = value.data() + value.size();
    auto [rest, error] = std::from_chars(value.data(), end, n);
    if (error != std::errc()) return std::nullopt;
    const std::string_view unit(rest, static_cast<std::size_t>(end - rest));
    if (unit == "px" || (unit.empty() && n == 0)) return n;
    if (unit == "rem") return n * 16;
    return std::nullopt;
}

std::string arbitraryLength(double px) { return "[" + number(px) + "px]"; }

// A spacing value: a step of the scale, "px" for one pixel, or arbitrary; "-" before a negative.
std::optional<std::string> spacing(std::string_view value) {
    if (value == "auto") return std::string("auto");
    auto px = pixels(value);
    if (!px) return std::nullopt;
    const std::string sign = *px < 0 ? "-" : "";
    const double size = std::fabs(*px);
    if (size == 0) return std::string("0");
    if (size == 1) return sign + "px";
    if (oneOf(size / 4, spacingSteps)) return sign + number(size / 4);
    return sign + arbitraryLength(size);
}

// A colour as "#rrggbb" (or with alpha), from rgb(), rgba() or a hex value.
std::optional<std::string> hexColour(std::string_view value) {
    if (value.starts_with('#') && (value.size() == 4 || value.size() == 7 || value.size() == 9)) return std::string(value);
    if (!value.starts_with("rgb")) return std::nullopt;
    double parts[4] = {0, 0, 0, 1};
    int count = 0;
    for (std::size_t at = value.find('('); at != std::string_view::npos && count < 4;) {
        while (at < value.size() && !std::isdigit(static_cast<unsigned char>(value[at])) && value[at] != '.') ++at;
        if (at >= value.size()) break;
        auto [rest, error] = std::from_chars(value.data() + at, value.data() + value.size(), parts[count]);
        if (error != std::errc()) return std::nullopt;
        ++count;
        at = static_cast<std::size_t>(rest - value.data());
    }
    if (count < 3) return std::nullopt;
    char buffer[16];
    const auto byte = [](double v) { return static_cast<int>(std::clamp(std::round(v), 0.0, 255.0)); };
    if (parts[3] >= 1) std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", byte(parts[0]), byte(parts[1]), byte(parts[2]));
    else std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x%02x", byte(parts[0]), byte(parts[1]), byte(parts[2]), byte(parts[3] * 255));
    return std::string(buffer);
}

// The value part of the utility for a change ("lg", "6", "[#ff0000]").
std::optional<std::string> valueFor(const Change& change) {
    const std::string_view v = change.value;
    switch (change.property) {
        case Property::color:
        case Property::background: {
            if (v == "transparent") return std::string(v);
            auto hex = hexColour(v);
            return hex ? std::optional<std::string>("[" + *hex + "]") : std::nullopt;
        }
        case Property::fontSize: {
            auto px = pixels(v);
            if (!px || *px <= 0) return std::nullopt;
            for (std::size_t i = 0; i < fontSizes.size(); ++i) {
                if (fontSizePx[i] == *px) return std::string(fontSizes[i]);
            }
            return arbitraryLength(*px);
        }
        case Property::fontWeight: {
            int weight = 0;
            if (std::from_chars(v.data(), v.data() + v.size(), weight).ec != std::errc() || weight < 1 || weight > 1000) return std::nullopt;
            if (weight % 100 == 0 && weight <= 900) return std::string(weights[static_cast<std::size_t>(weight / 100 - 1)]);
            return "[" + std::to_string(weight) + "]";
        }
        case Property::textAlign: return oneOf(v, alignments) ? std::optional<std::string>(v) : std::nullopt;
        case Property::margin:
        case Property::padding:
        case Property::gap: {
            auto s = spacing(v);
            if (!s || (s->starts_with('-') && change.property != Property::margin) || (*s == "auto" && change.property != Property::margin)) {
                return std::nullopt;
            }
            return s;
        }
        case Property::borderRadius: {
            auto px = pixels(v);
            if (!px || *px < 0) return std::nullopt;
            for (const auto& [size, name] : radii) {
                if (size == *px || (size == 9999 && *px >= 9999)) return std::string(name);
            }
            return arbitraryLength(*px);
        }
        case Property::width:
        case Property::maxWidth: {
            if (v == "100%") return std::string("full");
            if (v == "auto" && change.property == Property::width) return std::string(v);
            if (v == "none" && change.property == Property::maxWidth) return std::string(v);
            auto px = pixels(v);
            if (!px || *px < 0) return std::nullopt;
            if (change.property == Property::maxWidth) {
                for (const auto& [rem, name] : containers) {
                    if (rem * 16 == *px) return std::string(name);
                }
                return arbitraryLength(*px);
            }
            return spacing(v);
        }
        case Property::flexDirection:
            if (v == "row" || v == "row-reverse") return std::string(v);
            if (v == "column") return std::string("col");
            if (v == "column-reverse") return std::string("col-reverse");
            return std::nullopt;
        case Property::alignItems:
            if (v == "flex-start" || v == "start") return std::string("start");
            if (v == "flex-end" || v == "end") return std::string("end");
            if (v == "center" || v == "baseline" || v == "stretch") return std::string(v);
            return std::nullopt;
        case Property::justifyContent:
            if (v == "flex-start" || v == "start") return std::string("start");
            if (v == "flex-end" || v == "end") return std::string("end");
            if (v == "center") return std::string(v);
            if (v.starts_with("space-") && oneOf(v.substr(6), std::array<std::string_view, 3>{"between", "around", "evenly"})) {
                return std::string(v.substr(6));
            }
            return std::nullopt;
    }
    return std::nullopt;
}

std::string_view prefixOf(Property property) {
    switch (property) {
        case Property::color:
        case Property::fontSize:
        case Property::textAlign: return "text";
        case Property::background: return "bg";
        case Property::fontWeight: return "font";
        case Property::margin: return "m";
        case Property::padding: return "p";
        case Property::borderRadius: return "rounded";
        case Property::width: return "w";
        case Property::maxWidth: return "max-w";
        case Property::flexDirection: return "flex";
        case Property::gap: return "gap";
        case Property::alignItems: return "items";
        case Property::justifyContent: return "justify";
    }
    return "";
}

// "px-6" from a box prefix, the sides' letters and a value with its sign first.
std::string boxUtility(std::string_view prefix, std::string_view sides, const std::string& value) {
    const bool negative = value.starts_with('-');
    return (negative ? "-" : "") + std::string(prefix) + std::string(sides) + "-" + (negative ? value.substr(1) : value);
}

constexpr std::array<std::pair<std::string_view, unsigned>, 9> boxSides{{{"", allSides},
                                                                          {"x", left | right},
                                                                          {"y", top | bottom},
                                                                          {"t", top},
                                                                          {"r", right},
                                                                          {"b", bottom},
                                                                          {"l", left},
                                                                          {"s", left},
                                                                          {"e", right}}};

}  // namespace

std::optional<Utility> parseUtility(std::string_view token) {
    // Variants end at the last colon outside brackets.
    std::size_t split = std::string_view::npos;
    int depth = 0;
    for (std::size_t i = 0; i < token.size(); ++i) {
        if (token[i] == '[') ++depth;
        else if (token[i] == ']') --depth;
        else if (token[i] == ':' && depth == 0) split = i;
    }
    Utility u;
    u.variant = split == std::string_view::npos ? "" : std::string(token.substr(0, split + 1));
    std::string_view name = split == std::string_view::npos ? token : token.substr(split + 1);
    if (name.starts_with('!')) name.remove_prefix(1);
    if (name.ends_with('!')) name.remove_suffix(1);
    const bool negative = name.starts_with('-');
    if (negative) name.remove_prefix(1);
    const auto after = [&](std::string_view prefix) -> std::optional<std::string_view> {
        if (!name.starts_with(prefix) || name.size() <= prefix.size() + 1 || name[prefix.size()] != '-') return std::nullopt;
        return name.substr(prefix.size() + 1);
    };
    const auto result = [&](Property p, std::string_view value, unsigned sides = 0) {
        u.property = p;
        u.value = (negative ? "-" : "") + std::string(value);
        u.sides = sides;
        return std::optional<Utility>(u);
    };
    for (const auto& [letters, sides] : boxSides) {
        for (auto [letter, property] : {std::pair{"p"sv, Property::padding}, std::pair{"m"sv, Property::margin}}) {
            if (auto v = after(std::string(letter) + std::string(letters)); v && (!negative || property == Property::margin)) {
                return result(property, *v, sides);
            }
        }
    }
    if (negative) return std::nullopt;
    if (auto v = after("text")) {
        const std::string_view size = v->substr(0, v->find('/'));
        if (oneOf(size, fontSizes) || (arbitrary(*v) && (pixels(v->substr(1, v->size() - 2)) || v->starts_with("[length:")))) {
            return result(Property::fontSize, *v);
        }
        if (oneOf(*v, alignments)) return result(Property::textAlign, *v);
        if (oneOf(*v, otherText) || v->starts_with("opacity")) return std::nullopt;
        return result(Property::color, *v);
    }
    if (auto v = after("bg")) {
        const std::string_view word = v->substr(0, v->find('-'));
        if (oneOf(word, otherBackground) || oneOf(word, std::array<std::string_view, 9>{"no", "clip", "origin", "gradient", "linear",
                                                                                     "radial", "conic", "none", "blend"}) ||
            v->starts_with("opacity")) {
            return std::nullopt;
        }
        return result(Property::background, *v);
    }
    if (auto v = after("font")) {
        if (oneOf(*v, weights) || (arbitrary(*v) && std::isdigit(static_cast<unsigned char>((*v)[1])))) return result(Property::fontWeight, *v);
        return std::nullopt;
    }
    if (name == "rounded") return result(Property::borderRadius, "");
    if (auto v = after("rounded")) return result(Property::borderRadius, *v);
    if (auto v = after("max-w")) return result(Property::maxWidth, *v);
    if (auto v = after("w")) return result(Property::width, *v);
    if (auto v = after("flex"); v && oneOf(*v, std::array<std::string_view, 4>{"row", "col", "row-reverse", "col-reverse"})) {
        return result(Property::flexDirection, *v);
    }
    if (auto v = after("gap")) return result(Property::gap, *v);
    if (auto v = after("items")) return result(Property::alignItems, *v);
    if (auto v = after("justify"); v && !v->starts_with("items") && !v->starts_with("self")) return result(Property::justifyContent, *v);
    return std::nullopt;
}

std::optional<std::string> utilityFor(const Change& change) {
    auto value = valueFor(change);
    if (!value) return std::nullopt;
    if (change.property == Property::margin || change.property == Property::padding) {
        for (const auto& [letters, sides] : boxSides) {
            if (sides == change.sides) return boxUtility(prefixOf(change.property), letters, *value);
        }
        return std::nullopt;
    }
    return std::string(prefixOf(change.property)) + "-" + *value;
}

std::optional<std::string> applyToClassList(std::string_view classes, const Change& change, std::string_view variant) {
    auto value = valueFor(change);
    if (!value) return std::nullopt;
    const bool box = change.property == Property::margin || change.property == Property::padding;
    struct Token {
        std::size_t begin, end;
        std::optional<Utility> utility;
    };
    std::vector<Token> mine;
    for (std::size_t at = 0; at < classes.size();) {
        if (std::isspace(static_cast<unsigned char>(classes[at]))) {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < classes.size() && !std::isspace(static_cast<unsigned char>(classes[end]))) ++end;
        Token t{at, end, parseUtility(classes.substr(at, end - at))};
        if (t.utility && t.utility->property == change.property && t.utility->variant == variant) mine.push_back(std::move(t));
        at = end;
    }

    // What the new utilities are: one, or for a box one per group of equal sides.
    std::vector<std::string> written;
    if (box) {
        // The sides as the class list sets them now, general utilities first as Tailwind orders them.
        std::array<std::optional<std::string>, 4> side;  // top, right, bottom, left
        std::vector<Token> ordered = mine;
        std::stable_sort(ordered.begin(), ordered.end(), [](const Token& a, const Token& b) {
            return std::popcount(a.utility->sides) > std::popcount(b.utility->sides);
        });
        for (const auto& t : ordered) {
            for (int i = 0; i < 4; ++i) {
                if (t.utility->sides & (1u << i)) side[static_cast<std::size_t>(i)] = t.utility->value;
            }
        }
        for (int i = 0; i < 4; ++i) {
            if (change.sides & (1u << i)) side[static_cast<std::size_t>(i)] = *value;
        }
        const std::string_view prefix = prefixOf(change.property);
        const auto& [t, r, b, l] = side;
        if (t && t == r && t == b && t == l) {
            written.push_back(boxUtility(prefix, "", *t));
        } else {
            if (l && l == r) written.push_back(boxUtility(prefix, "x", *l));
            if (t && t == b) written.push_back(boxUtility(prefix, "y", *t));
            if (!(t && t == b)) {
                if (t) written.push_back(boxUtility(prefix, "t", *t));
                if (b) written.push_back(boxUtility(prefix, "b", *b));
            }
            if (!(l && l == r)) {
                if (r) written.push_back(boxUtility(prefix, "r", *r));
                if (l) written.push_back(boxUtility(prefix, "l", *l));
            }
        }
    } else {
        written.push_back(std::string(prefixOf(change.property)) + "-" + *value);
    }
    std::string replacement;
    for (const auto& w : written) replacement += (replacement.empty() ? "" : " ") + std::string(variant) + w;

    if (mine.empty()) {
        std::string out(classes);
        while (!out.empty() && std::isspace(static_cast<unsigned char>(out.back()))) out.pop_back();
        return out + (out.empty() ? "" : " ") + replacement + std::string(classes.substr(out.size()));
    }
    // The first of them becomes the new ones; the others go with the space before them.
    std::string out;
    std::size_t copied = 0;
    for (std::size_t i = 0; i < mine.size(); ++i) {
        const Token& t = mine[i];
        std::size_t from = t.begin;
        if (i > 0) {
            while (from > copied && std::isspace(static_cast<unsigned char>(classes[from - 1]))) --from;
        }
        out.append(classes.substr(copied, from - copied));
        if (i == 0) out += replacement;
        copied = t.end;
    }
    out.append(classes.substr(copied));
    return out;
}

}  // namespace tarn::style
