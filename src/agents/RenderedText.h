#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a source file puts on the page as text, and where each piece of that text comes from.
// A file is read as the page would show it: the text between tags of its markup (JSX, HTML, Vue,
// Svelte and Astro templates, HTML in template literals), with tags and attributes left out, white
// space treated as the page treats it, and expressions ({count}, {{ msg }}, ${name}) standing for
// whatever value they render. Code, comments, attributes and import paths are never text here.
namespace tarn::rendered {

enum class Syntax { jsx, script, html, vue, svelte, astro, markdown, none };

// By the file's extension (".tsx", ".vue", ...); `none` for files that never hold page text.
Syntax syntaxFor(std::string_view extension);

// One character of page text (a code point), an expression standing for any text, or a break
// that no match may cross (the end of one element tree or template).
struct Cell {
    enum class Kind { character, expression, boundary } kind = Kind::character;
    char32_t ch = 0;
    std::size_t begin = 0, end = 0;  // the source bytes it comes from
    int run = 0;                     // cells of one run of source text share it
};

std::vector<Cell> project(std::string_view source, Syntax syntax);

// Page text as the page's inspector reports it: white space runs collapsed to one space, trimmed.
std::u32string normalize(std::string_view text);

// Where a text is found in a projection: the cell that each of its characters came from (an
// expression cell stands for the characters its value rendered).
struct Match {
    std::vector<std::size_t> cellOf;  // per character of the text searched for
};
std::vector<Match> find(const std::vector<Cell>& cells, const std::u32string& text);

// String literals of the file's code that could hold page text (not import paths), and the quoted
// props of its components: their content's source range. For text that only an expression
// renders, such as an item of a list.
struct Literal {
    std::size_t begin, end;
    char quote;
};
std::vector<Literal> stringLiterals(std::string_view source, Syntax syntax);

// Why an edit was refused.
enum class Refusal { changesValue, crossesMarkup, unchecked };

// The source with `oldText` (as matched) replaced by `newText`, changing only literal page text.
// Refused when the change would touch an expression's value or reach across markup, or when the
// edited file would not show the new text.
struct Edit {
    std::optional<std::string> source;
    Refusal refusal = Refusal::unchecked;
};
Edit applyEdit(std::string_view source, Syntax syntax, const std::vector<Cell>& cells, const Match& match,
               const std::u32string& oldText, const std::string& newText);

// `text` written inside the literal's quotes so that the string holds it as it is.
std::string escapeForLiteral(const Literal& literal, std::string_view text);

}  // namespace tarn::rendered
