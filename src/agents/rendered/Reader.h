#pragma once
#include "agents/rendered/Sink.h"

#include <optional>
#include <string>
#include <utility>
#include <string_view>

namespace tarn::rendered::detail {

// The markup languages a file's text is written in.
enum class Dialect { html, jsx, vue, svelte, astro, htmlTemplate };

// One pass over one file: each construct is read once, where it stands, and what it shows goes to
// the sink. Constructs nest (markup in code in markup...); past a depth no real file reaches, the
// rest of a construct is skipped without being read for text, so neither time nor the stack grows
// faster than the file.
class Reader {
public:
    Reader(std::string_view source, Syntax syntax, Sink& sink) : s_(source), syntax_(syntax), sink_(sink) {}

    // Code from `pos` to `end`: its strings, its template literals and (with `jsx`) its element
    // trees. With `untilBrace` it reads an expression's code and stops after the '}' that closes
    // it. Template literals in it are shown as they are when `textTemplates` (an expression in
    // markup: React, Svelte and Astro show strings as text), read as HTML otherwise. Returns where
    // it stopped.
    std::size_t script(std::size_t pos, std::size_t end, bool jsx, bool untilBrace, bool textTemplates);

    // Markup from `pos`: text, tags and expressions. In element mode it starts at a tag and ends
    // when that element closes; an HTML template ends at its closing backtick (returned there).
    std::size_t markup(std::size_t pos, std::size_t end, Dialect d, bool element);

    char at(std::size_t i) const { return i < s_.size() ? s_[i] : '\0'; }
    bool startsAt(std::size_t i, std::string_view what) const { return s_.substr(i, what.size()) == what; }
    std::size_t size() const { return s_.size(); }
    std::string_view source() const { return s_; }
    Sink& sink() { return sink_; }

    // Text between `b` and `e` as the dialect shows it (entities, JSX's line joining, Vue's white
    // space between elements).
    void text(std::size_t b, std::size_t e, Dialect d);
    // Characters of one run, as they are written; `escapes` decodes a template literal's escapes,
    // `entities` HTML's character references.
    void characters(std::size_t b, std::size_t e, Context context, bool escapes, bool entities);

private:
    // Nesting depth of the constructs being read.
    struct Depth {
        explicit Depth(int& depth) : depth_(++depth) {}
        ~Depth() { --depth_; }
        bool tooDeep() const { return depth_ > maxDepth; }
        int& depth_;
    };
    static constexpr int maxDepth = 64;

    std::size_t skipString(std::size_t pos, std::size_t end) const;
    std::size_t skipComment(std::size_t pos, std::size_t end) const;
    // Past a construct too deep to read: to its closer ('}', '`' or '>') without reading it.
    std::size_t skipFlat(std::size_t pos, std::size_t end, char closer) const;

    // A template literal from its backtick; returns the position after its closing backtick.
    std::size_t templateLiteral(std::size_t pos, std::size_t end, bool asText);
    // A template literal shown as it is, from after its backtick: returns the closing backtick.
    std::size_t textTemplate(std::size_t pos, std::size_t end);
    // A value `${...}` from its '$': returns the position after its '}'.
    std::size_t value(std::size_t pos, std::size_t end, bool textTemplates);
    // An element tree of JSX code, as a region of its own.
    std::size_t element(std::size_t pos, std::size_t end);
    // A string of the code: kept unless it names a module or keys an object.
    void literal(std::size_t b, std::size_t e, char previous, const std::string& before);

    struct Tag {
        std::string name;
        bool closing = false, selfClosing = false;
        std::size_t end = 0;  // after its '>' (or where the template around it ends)
    };
    Tag tag(std::size_t pos, std::size_t end, Dialect d);
    // An expression in markup from its '{': a lone string shows as its text; Svelte's blocks show
    // nothing; others stand for their value. Returns the position after its '}'.
    std::size_t braces(std::size_t pos, std::size_t end, Dialect d);
    bool looksLikeTag(std::size_t pos, Dialect d) const;

    std::string_view s_;
    Syntax syntax_;
    Sink& sink_;
    int depth_ = 0;
    std::size_t values_ = 0;  // values read so far, to tell whether a template holds one
};

bool isNameChar(char c);
// An HTML character reference at `pos` ('&'): its character and its length through ';'.
std::optional<std::pair<char32_t, std::size_t>> entityAt(std::string_view s, std::size_t pos, std::size_t end);

}  // namespace tarn::rendered::detail
