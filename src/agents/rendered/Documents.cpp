// Whole files: which reading each kind of file gets, single-file components (Vue, Astro) and
// Markdown.
#include "agents/rendered/Reader.h"
#include "support/Text.h"

#include <cctype>

namespace tarn::rendered {

namespace {

using detail::Dialect;
using detail::Reader;
using detail::Sink;

// A markup document (HTML, Svelte, Astro's body) as one region.
void document(Reader& reader, std::size_t from, std::size_t to, Dialect d) {
    reader.sink().open();
    reader.markup(from, to, d, false);
    reader.sink().close();
}

// The top-level <template> is the page; its scripts' strings may hold what it shows.
void vue(Reader& reader) {
    const std::string_view s = reader.source();
    const std::size_t open = s.find("<template");
    if (open == std::string_view::npos) return;
    std::size_t contentStart = s.find('>', open);
    if (contentStart == std::string_view::npos) return;
    ++contentStart;
    std::size_t contentEnd = s.size();
    int depth = 1;
    for (std::size_t i = contentStart; i < s.size(); ++i) {
        if (s[i] != '<') continue;
        if (reader.startsAt(i, "<template")) {
            ++depth;
        } else if (reader.startsAt(i, "</template") && --depth == 0) {
            contentEnd = i;
            break;
        }
    }
    document(reader, contentStart, contentEnd, Dialect::vue);
    Sink::Mute mute(reader.sink(), Sink::Mute::What::cells);
    for (std::size_t at = s.find("<script"); at != std::string_view::npos; at = s.find("<script", at)) {
        const std::size_t begin = s.find('>', at);
        const std::size_t close = begin == std::string_view::npos ? begin : s.find("</script", begin);
        if (close == std::string_view::npos) break;
        reader.script(begin + 1, close, false, false, false);
        at = close + 8;
    }
}

// Astro: the code fence at the top holds strings; the rest is markup with expressions.
void astro(Reader& reader) {
    const std::string_view s = reader.source();
    std::size_t start = 0;
    if (reader.startsAt(0, "---")) {
        const std::size_t close = s.find("\n---", 3);
        if (close != std::string_view::npos) {
            Sink::Mute mute(reader.sink(), Sink::Mute::What::cells);
            reader.script(3, close, false, false, false);
            start = close + 4;
        }
    }
    document(reader, start, s.size(), Dialect::astro);
}

// Markdown: each line's words, without the marks that format them; links show their text; code
// is no text.
void markdown(Reader& reader) {
    const std::string_view s = reader.source();
    Sink& sink = reader.sink();
    sink.open();
    bool fenced = false;
    std::size_t line = 0;
    while (line < s.size()) {
        std::size_t next = s.find('\n', line);
        if (next == std::string_view::npos) next = s.size();
        const std::string_view content = s.substr(line, next - line);
        if (content.starts_with("```")) fenced = !fenced;
        const bool code = fenced || content.starts_with("```") || content.starts_with("import ") || content.starts_with("export ");
        if (code) {
            sink.boundary();
        } else {
            std::size_t i = line;
            while (i < next && (s[i] == '#' || s[i] == '>' || s[i] == ' ' || s[i] == '-' || s[i] == '*')) ++i;
            sink.newRun();
            while (i < next) {
                const char c = s[i];
                if (c == '*' || c == '_' || c == '`' || c == '[') {
                    ++i;
                    continue;
                }
                if (c == ']' && reader.at(i + 1) == '(') {
                    // A link's address is no text; it ends within its line.
                    std::size_t close = i;
                    while (close < next && s[close] != ')') ++close;
                    i = close < next ? close + 1 : next;
                    sink.newRun();
                    continue;
                }
                if (c == '&') {
                    if (auto entity = detail::entityAt(s, i, next)) {
                        sink.character(entity->first, i, i + entity->second, Context::markup);
                        i += entity->second;
                        continue;
                    }
                }
                auto [cp, length] = text::decodeAt(s, i);
                sink.character(cp, i, i + length, Context::markup);
                i += length;
            }
            sink.character(U' ', next, std::min(next + 1, s.size()), Context::markup);
        }
        line = next + 1;
    }
    sink.close();
}

}  // namespace

Syntax syntaxFor(std::string_view extension) {
    std::string ext;
    for (char c : extension) {
        if (c != '.') ext += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (ext == "tsx" || ext == "jsx" || ext == "js" || ext == "mjs" || ext == "cjs") return Syntax::jsx;
    if (ext == "ts" || ext == "mts" || ext == "cts") return Syntax::script;
    if (ext == "html" || ext == "htm") return Syntax::html;
    if (ext == "vue") return Syntax::vue;
    if (ext == "svelte") return Syntax::svelte;
    if (ext == "astro") return Syntax::astro;
    if (ext == "md" || ext == "mdx") return Syntax::markdown;
    return Syntax::none;
}

Reading read(std::string_view source, Syntax syntax) {
    Sink sink;
    Reader reader(source, syntax, sink);
    switch (syntax) {
        case Syntax::jsx: reader.script(0, source.size(), true, false, false); break;
        case Syntax::script: reader.script(0, source.size(), false, false, false); break;
        case Syntax::html: document(reader, 0, source.size(), Dialect::html); break;
        case Syntax::svelte: document(reader, 0, source.size(), Dialect::svelte); break;
        case Syntax::vue: vue(reader); break;
        case Syntax::astro: astro(reader); break;
        case Syntax::markdown: markdown(reader); break;
        case Syntax::none: break;
    }
    return sink.take();
}

}  // namespace tarn::rendered
