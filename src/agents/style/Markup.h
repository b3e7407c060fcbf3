#pragma once
#include "agents/style/Tailwind.h"
#include "model/InspectTarget.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Elements as written in markup (JSX, Vue and Svelte templates, HTML): an element's opening tag
// found from where the page says it is, its attributes, and the string literal of its class list.
namespace tarn::style::markup {

// The end of a quoted string or template literal that starts at `at`, past its closing quote.
std::size_t pastString(std::string_view s, std::size_t at);
// Past the bracket that closes the one at `at` ('{', '(' or '['), strings skipped.
std::size_t pastBracket(std::string_view s, std::size_t at);

struct Attribute {
    std::string name;
    std::size_t begin = 0, end = 0;  // the value as written: quotes or braces included
};

// The element's opening tag: where its name ends, where it closes ('>' or "/>"), its attributes.
struct Tag {
    std::size_t nameEnd = 0, close = 0;
    std::vector<Attribute> attributes;
    const Attribute* find(std::string_view name) const {
        for (const auto& a : attributes) {
            if (a.name == name) return &a;
        }
        return nullptr;
    }
};

// The opening tag of the element at the target's place: on its line when the framework gave it,
// else (or when it is not there) the nearest one before the place that is still open there.
std::optional<Tag> elementTag(std::string_view s, const InspectTarget& target);

// The class list's string literal inside an attribute value: "…", {"…"}, {`…`} without values,
// or a string argument of cn()/clsx() (the one with a utility of the property, else the first).
std::optional<std::pair<std::size_t, std::size_t>> classLiteral(std::string_view s, const Attribute& a, const Change& change,
                                                                 std::string_view variant);

// An element whose text is written elsewhere (located at a message file's value, or a string
// constant in a script): the one place in the project's markup that looks it up, by its key
// (t('nav.home')) or its name ({OPENING}). None when no such place, or more than one, is found.
std::optional<InspectTarget> throughLookup(const std::filesystem::path& root, const InspectTarget& target);

}  // namespace tarn::style::markup
