#pragma once
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Style sheets as written: their rules (also in the <style> blocks of Vue and Svelte files), a rule
// found by the selector the page serves for it, and declarations set in place. Text in, text out;
// every pass is linear in the text.
namespace tarn::style::css {

struct Rule {
    // As written, comments dropped and whitespace collapsed; a nested rule's as the page serves it
    // (`&` and its parent made `:is(parent)`).
    std::string selector;
    std::size_t open = 0, close = 0;  // offsets of its '{' and '}'
    bool nested = false;    // inside another style rule (relative to it)
    std::string condition;  // the media query of the innermost @media around it, normalised

};

// The style rules of the text from `begin` to `end`, in the order written, those inside @media,
// @supports, @layer and other rules included. A rule's own @media block is a rule of its own, with
// the rule's selector and the block's condition. Comments and strings are skipped; text whose braces
// do not balance ends the list where they stop.
std::vector<Rule> readRules(std::string_view text, std::size_t begin, std::size_t end);

// Where a file's CSS is: a style sheet whole, the inside of each <style> block of any other file.
std::vector<std::pair<std::size_t, std::size_t>> styleRegions(std::string_view content, const std::filesystem::path& file);

// A media query in the form both sides compare in: without "@media", spaces collapsed, lower case.
std::string normalisedCondition(std::string_view query);

// Whether a selector as written is the one the page serves: equal once whitespace and quotes are
// normalised and the scoping frameworks add is removed (Vue's [data-v-…], Svelte's .svelte-…);
// in a CSS module, class names also match their hashed forms.
bool sameSelector(std::string_view written, std::string_view served, bool cssModule);

// Whether the rule's own declarations set the property, by name or through its shorthand.
bool declares(std::string_view text, const Rule& rule, const std::string& property);

// The text with each property set in the rule: its declaration's value replaced, else a declaration
// added after the rule's last one. Setting a shorthand drops the rule's longhands of it.
std::string setDeclarations(std::string_view text, const Rule& rule, const std::vector<std::string>& properties, const std::string& value);

// A new rule's text, indented as the rest of the file.
std::string ruleText(const std::string& selector, const std::vector<std::string>& properties, const std::string& value);

}  // namespace tarn::style::css
