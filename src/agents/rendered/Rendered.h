#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a source file puts on the page as text, and where each piece of that text comes from.
// A file is read as the page would show it: the text between tags of its markup (JSX, HTML, Vue,
// Svelte and Astro templates, HTML in template literals, Markdown), with tags and attributes left
// out, white space treated as the page treats it, and expressions ({count}, {{ msg }}, ${name})
// standing for whatever value they render. Code, comments, attributes and import paths are never
// text here. Reading is one pass: what it gives, and the time it takes, grow with the file's
// length and no faster, whatever the file holds (a file in the middle of an edit included).
namespace tarn::rendered {

enum class Syntax { jsx, script, html, vue, svelte, astro, markdown, none };

// By the file's extension (".tsx", ".vue", ...); `none` for files that never hold page text.
Syntax syntaxFor(std::string_view extension);

// Where a piece of page text is written, which decides how an edit of it is escaped.
enum class Context : std::uint8_t {
    markup,        // text of the file's own markup
    htmlTemplate,  // HTML inside a template literal (innerHTML, Lit)
    textTemplate,  // a template literal shown as it is ({`${n} left`})
    quoted,        // a quoted string shown as it is ({"text"})
};

// One character of page text (a code point), an expression standing for any text, or a break
// that no match may cross (the end of one element tree or template).
struct Cell {
    enum class Kind : std::uint8_t { character, expression, boundary };
    Kind kind = Kind::character;
    Context context = Context::markup;
    char32_t ch = 0;
    std::size_t begin = 0, end = 0;  // the source bytes it comes from
    std::uint32_t run = 0;           // cells of one run of source text share it: an edit stays in one
};

// A string of the code that could hold page text (not an import path, not an object's key), or a
// quoted prop of a component: its content's source range, and its quote.
struct Literal {
    std::size_t begin = 0, end = 0;
    char quote = '"';  // in YAML, 0 for a plain scalar
    bool yaml = false;
};

// A file as read: its page text in reading order, and its strings.
struct Reading {
    std::vector<Cell> cells;
    std::vector<Literal> literals;
};
Reading read(std::string_view source, Syntax syntax);

// Page text as the page's inspector reports it: white space runs collapsed to one space, trimmed.
std::u32string normalize(std::string_view text);

// Where a text is found in a reading: the cell that each of its characters came from (an
// expression's cell stands for the characters its value rendered), and how many of them are
// letters, digits or marks of the file's own text (not spaces, not values).
struct Match {
    std::vector<std::size_t> cellOf;  // per character of the text searched for
    std::size_t literalCharacters = 0;
};
// Every place the text is shown, in reading order. Where an expression could stand for more or less
// of the text, the reading that puts most of the text on the file's own characters wins. A text
// longer than `longestText` characters is not searched for.
std::vector<Match> find(const std::vector<Cell>& cells, const std::u32string& text);
constexpr std::size_t longestText = 1024;

// Why an edit was refused.
enum class Refusal { changesValue, crossesMarkup, unchecked };

// The source with `oldText` (as matched) replaced by `newText`, changing only literal page text.
// Refused when the change would touch an expression's value or reach across markup, or when the
// edited file would not show the new text with every character the edit wrote.
struct Edit {
    std::optional<std::string> source;
    Refusal refusal = Refusal::unchecked;
};
Edit applyEdit(std::string_view source, Syntax syntax, const std::vector<Cell>& cells, const Match& match,
               const std::u32string& oldText, const std::string& newText);

// `text` written inside the quotes of a code's string literal so that the string holds it as it is.
std::string escapeForLiteral(const Literal& literal, std::string_view text);

// The string values of a message file (JSON, or YAML's scalars), keys left out, with the text
// each holds; a value with escapes other than the usual ones is left out. One pass.
struct Message {
    Literal literal;
    std::string text;
};
std::vector<Message> readMessages(std::string_view source, bool yaml);

// The message file with the value at `literal` holding `text`, quoted as that value's style allows
// (a YAML value that cannot hold it in its own style becomes double-quoted). Nothing when the file
// would not read back with that value as exactly `text` and every other value as it was.
std::optional<std::string> writeMessage(std::string_view source, bool yaml, const Literal& literal, std::string_view text);

}  // namespace tarn::rendered
