#pragma once
#include <optional>
#include <string>
#include <string_view>

// Tailwind's utility classes, as a style change writes them: which property a utility sets, the
// utility for a value, and a class list with one property changed. Only names that mean the same
// in Tailwind 3 and 4 are written; any other value becomes an arbitrary one ("text-[17px]").
namespace tarn::style {

// What the style panel changes. Margin and padding name their sides.
enum class Property {
    color,
    background,
    fontSize,
    fontWeight,
    textAlign,
    margin,
    padding,
    borderRadius,
    width,
    maxWidth,
    flexDirection,
    gap,
    alignItems,
    justifyContent,
};

// Sides of a box, for margin and padding.
enum Side : unsigned { top = 1, right = 2, bottom = 4, left = 8, allSides = 15 };

// One property set to a CSS value as the page computes it ("22px", "rgb(255, 0, 0)", "700",
// "center"), on the given sides for margin and padding.
struct Change {
    Property property;
    std::string value;
    unsigned sides = allSides;
};

// A utility of a class list: its variants ("md:hover:", "" for none) and what it sets, with the
// sides a margin or padding utility covers. Nothing when it is no utility the panel edits.
struct Utility {
    std::string variant;
    Property property;
    unsigned sides = 0;
    std::string value;  // the part after the prefix: "4", "lg", "[17px]"
};
std::optional<Utility> parseUtility(std::string_view token);

// The utility's name (no variant) that sets `change` on the given sides, or nothing when the value
// cannot be written (a colour or length it does not recognise).
std::optional<std::string> utilityFor(const Change& change);

// `classes` with `change` applied for `variant`: the utilities of that property and variant
// replaced where the first of them stood (a shorthand split per side, "p-4" → "px-6 py-4"), or the
// new one added at the end. Everything else keeps its place and spacing. Nothing when the value
// cannot be written.
std::optional<std::string> applyToClassList(std::string_view classes, const Change& change, std::string_view variant = "");

}  // namespace tarn::style
