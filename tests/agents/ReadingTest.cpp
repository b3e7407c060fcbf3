// The markup reader: a fixture suite (each file under fixtures/rendered is read and its reading,
// written out as text, compared with the `.reading` file beside it; TARN_UPDATE_READINGS=1 writes
// them instead, to be read before they are committed), the escaping of edits in every place text
// can stand, and the reader's bounds on files in the middle of an edit.
#include "TestSupport.h"
#include "agents/rendered/Rendered.h"
#include "support/Json.h"
#include "support/Text.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <random>

using namespace tarn;
using namespace tarn::test;
namespace fs = std::filesystem;

namespace {

// The page text as one line ("{}" a value, "|" a break), then each string kept, one a line.
std::string written(std::string_view source, const rendered::Reading& reading) {
    std::string out = "text: ";
    for (const auto& cell : reading.cells) {
        if (cell.kind == rendered::Cell::Kind::boundary) out += "|";
        else if (cell.kind == rendered::Cell::Kind::expression) out += "{}";
        else if (cell.ch == U'\n') out += "\\n";
        else text::appendCodePoint(out, cell.ch);
    }
    out += "\nliterals:\n";
    for (const auto& literal : reading.literals) {
        out += "  ";
        out += literal.quote;
        out += source.substr(literal.begin, literal.end - literal.begin);
        out += literal.quote;
        out += "\n";
    }
    return out;
}

// Edits `shown` to `replacement` in `source`: the edited source, or why not.
std::string edited(const std::string& source, rendered::Syntax syntax, const std::string& shown, const std::string& replacement) {
    const auto reading = rendered::read(source, syntax);
    const auto text = rendered::normalize(shown);
    auto found = rendered::find(reading.cells, text);
    // A value alone shows any text: the file's own characters must carry some of it.
    std::erase_if(found, [](const rendered::Match& m) { return m.literalCharacters == 0; });
    if (found.size() != 1) return "found " + std::to_string(found.size()) + " times";
    auto edit = rendered::applyEdit(source, syntax, reading.cells, found.front(), text, replacement);
    return edit.source.value_or("refused");
}

}  // namespace

TEST(Reading, EachDialectAsThePageShowsIt) {
    const fs::path folder = fs::path(TARN_FIXTURES_DIR) / "rendered";
    const bool update = std::getenv("TARN_UPDATE_READINGS") != nullptr;
    int files = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const fs::path file = entry.path();
        if (file.extension() == ".reading") continue;
        const auto syntax = rendered::syntaxFor(file.extension().string());
        ASSERT_NE(syntax, rendered::Syntax::none) << file;
        const std::string source = readFile(file);
        const std::string reading = written(source, rendered::read(source, syntax));
        const fs::path expected = file.string() + ".reading";
        if (update) writeFile(expected, reading);
        ASSERT_TRUE(fs::exists(expected)) << "no reading for " << file.filename();
        EXPECT_EQ(reading, readFile(expected)) << file.filename();
        ++files;
    }
    EXPECT_GE(files, 9);
}

TEST(Reading, EditsAreEscapedForWhereTheTextStands) {
    using rendered::Syntax;
    // JSX markup: braces and angle brackets would be code.
    EXPECT_EQ(edited("const a = <p>Hello there</p>;", Syntax::jsx, "Hello there", "Hello {you} <3"),
              "const a = <p>Hello {'{'}you{'}'} {'<'}3</p>;");
    // HTML: what would start a tag or a reference.
    EXPECT_EQ(edited("<p>Fish &amp; chips</p>", Syntax::html, "Fish & chips", "Fish & <b>chips</b>"),
              "<p>Fish &amp; &lt;b>chips&lt;/b></p>");
    // Vue, Svelte and Astro: braces start expressions too.
    EXPECT_EQ(edited("<template><p>Hi all</p></template>", Syntax::vue, "Hi all", "Hi {{all}}"),
              "<template><p>Hi &#123;&#123;all&#125;&#125;</p></template>");
    EXPECT_EQ(edited("<p>Hi all</p>", Syntax::svelte, "Hi all", "Hi {all}"), "<p>Hi &#123;all&#125;</p>");
    // HTML in a template literal: the template's own escapes, then HTML's.
    EXPECT_EQ(edited("el.innerHTML = `<p>Price</p>`", Syntax::script, "Price", "Price `$5` & up"),
              "el.innerHTML = `<p>Price \\`\\$5\\` &amp; up</p>`");
    // A template literal shown as it is: only the template's escapes.
    EXPECT_EQ(edited("const a = <p>{`${n} pieces left`}</p>;", Syntax::jsx, "3 pieces left", "3 pieces & `more` left"),
              "const a = <p>{`${n} pieces & \\`more\\` left`}</p>;");
    // A quoted string shown as it is.
    EXPECT_EQ(edited("const a = <p>{\"Say hi\"}</p>;", Syntax::jsx, "Say hi", "Say \"hi\""),
              "const a = <p>{\"Say \\\"hi\\\"\"}</p>;");
    // Markdown: only what would start a tag.
    EXPECT_EQ(edited("# Fish & chips\n", Syntax::markdown, "Fish & chips", "Fish & <chips>"), "# Fish & &lt;chips>\n");
    // A string of the code, through its literal.
    rendered::Literal single{1, 4, '\''};
    EXPECT_EQ(rendered::escapeForLiteral(single, "it's\na \\ test"), "it\\'s\\na \\\\ test");
    rendered::Literal backtick{1, 4, '`'};
    EXPECT_EQ(rendered::escapeForLiteral(backtick, "`${x}`\n"), "\\`\\${x}\\`\n");
}

TEST(Reading, AValueIsWhatItStandsForAndNoMore) {
    using rendered::Syntax;
    // The value takes "0", not the words after it, which the file's own text shows.
    EXPECT_EQ(edited("const a = <p>{n} items in the cart</p>;", Syntax::jsx, "0 items in the cart", "0 loaves in the cart"),
              "const a = <p>{n} loaves in the cart</p>;");
    // Two values side by side stand for one: the first shows it, where it is.
    EXPECT_EQ(edited("const a = <main><p>Basket: {n}</p>\n{list}</main>;", Syntax::jsx, "Basket: 2", "Basket: 2 loaves"),
              "const a = <main><p>Basket: {n} loaves</p>\n{list}</main>;");
    EXPECT_EQ(edited("const a = <p>Hello {name}! Welcome</p>;", Syntax::jsx, "Hello Bob! Welcome", "Hello Bob! Goodbye"),
              "const a = <p>Hello {name}! Goodbye</p>;");
}

TEST(Reading, HalfEditedFilesAreReadInOnePass) {
    // Shapes of files in the middle of an edit: templates and expressions opened and never
    // closed. Every cell comes from bytes of its own, and a file of any size is read at once (these
    // took minutes, or all the memory, when every unclosed expression was read again).
    const std::vector<std::string> shapes{"<a>{`${", "`${<a>{", "<a>{`<b>${", "`<a>${<b>{", "x = `${", "{`${<", "${`<"};
    for (const auto& shape : shapes) {
        std::string source;
        for (int i = 0; i < 4000; ++i) source += shape;
        source += "hello";
        for (auto syntax : {rendered::Syntax::jsx, rendered::Syntax::script, rendered::Syntax::svelte, rendered::Syntax::astro}) {
            const auto reading = rendered::read(source, syntax);
            EXPECT_LE(reading.cells.size(), source.size()) << shape;
            EXPECT_LE(reading.literals.size(), source.size()) << shape;
            rendered::find(reading.cells, rendered::normalize("hello world"));
        }
    }
    // Arbitrary pieces of markup and code: no two characters come from the same byte, and no two
    // values begin at the same one (a value's cell spans the markup read inside it).
    const std::vector<std::string> pieces{"`", "${", "}", "<a>", "</a>", "<", ">", "{", "'", "\"", "x", " ", "\n", "/*", "*/", "//",
                                          "(", "return ", "=", "<b/>", "&amp;", "\\", "<script>", "</script>", "{#if x}", "{{",
                                          "}}", "<template>", "</template>", "---\n", "](", "&", "<!--", "-->", "<A b=\"c\">", "/"};
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        std::string source;
        const int length = 1 + static_cast<int>(random() % 400);
        for (int i = 0; i < length; ++i) source += pieces[random() % pieces.size()];
        for (int syntax = 0; syntax <= static_cast<int>(rendered::Syntax::markdown); ++syntax) {
            const auto reading = rendered::read(source, static_cast<rendered::Syntax>(syntax));
            std::vector<std::pair<std::size_t, std::size_t>> spans;
            std::vector<std::size_t> values;
            for (const auto& cell : reading.cells) {
                if (cell.kind == rendered::Cell::Kind::character) spans.emplace_back(cell.begin, cell.end);
                if (cell.kind == rendered::Cell::Kind::expression) values.push_back(cell.begin);
            }
            std::sort(spans.begin(), spans.end());
            for (std::size_t k = 1; k < spans.size(); ++k) {
                ASSERT_LE(spans[k - 1].second, spans[k].first) << "syntax " << syntax << ": " << source;
            }
            std::sort(values.begin(), values.end());
            ASSERT_EQ(std::adjacent_find(values.begin(), values.end()), values.end()) << "syntax " << syntax << ": " << source;
            ASSERT_LE(reading.cells.size(), 2 * source.size() + 2);
        }
    }
}

TEST(Reading, AnyTextWrittenIntoAMessageValueReadsBackAsItself) {
    // Every style a value can be written in; the second value of each file is the one edited.
    struct File {
        std::string source;
        bool yaml;
    };
    const std::vector<File> files{
        {"{\"a\": \"one\", \"b\": \"two\", \"c\": \"three\"}\n", false},
        {"a: one\nb: two # note\nc: three\n", true},
        {"a: 'one'\nb: 'two'\nc: 'three'\n", true},
        {"a: \"one\"\nb: \"two\"\nc: \"three\"\n", true},
        {"list:\n  - one\n  - two\n  - 'three'\n", true},
        {"a: one\r\nb: two\r\nc: three\r\n", true},
    };
    static const std::vector<std::string> pieces{"a", "Z", " ", "\t", "\n", "\r", "#", ":", ": ", " #", "'", "\"", "\\", "-",
                                                 "é", "漢", "😀", "{", "[", "&", "*", "!", "%", "@", "`", ">", "|", "?",
                                                 "1", "true", "null", "~", ",", "\x01", "\\u0041", "''"};
    std::mt19937 random(5);
    int written = 0;
    for (int round = 0; round < 6000; ++round) {
        std::string text;
        const int count = std::uniform_int_distribution<int>(1, 8)(random);
        for (int i = 0; i < count; ++i) text += pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(random)];
        const File& file = files[static_cast<std::size_t>(round) % files.size()];
        const auto before = rendered::readMessages(file.source, file.yaml);
        ASSERT_EQ(before.size(), 3u) << file.source;
        auto edited = rendered::writeMessage(file.source, file.yaml, before[1].literal, text);
        ASSERT_TRUE(edited) << "refused " << testing::PrintToString(text) << " in " << file.source;
        const auto after = rendered::readMessages(*edited, file.yaml);
        ASSERT_EQ(after.size(), 3u) << *edited;
        EXPECT_EQ(after[0].text, before[0].text) << *edited;
        EXPECT_EQ(after[1].text, text) << *edited;
        EXPECT_EQ(after[2].text, before[2].text) << *edited;
        if (!file.yaml) EXPECT_EQ(json::Json::parse(*edited)["b"], text) << *edited;  // JSON's own reader agrees
        ++written;
    }
    EXPECT_EQ(written, 6000);

    // The faults this closes: a line break in single quotes, a trailing carriage return and a
    // leading tab in a plain value each become a double-quoted value.
    const std::string yaml = "a: 'x'\nb: y\n";
    auto values = rendered::readMessages(yaml, true);
    EXPECT_EQ(rendered::writeMessage(yaml, true, values[0].literal, "two\nlines"), "a: \"two\\nlines\"\nb: y\n");
    EXPECT_EQ(rendered::writeMessage(yaml, true, values[1].literal, "ends\r"), "a: 'x'\nb: \"ends\\r\"\n");
    EXPECT_EQ(rendered::writeMessage(yaml, true, values[1].literal, "\tin"), "a: 'x'\nb: \"\\tin\"\n");
    // A word that a loader would read as another type stays a string.
    EXPECT_EQ(rendered::writeMessage(yaml, true, values[1].literal, "yes"), "a: 'x'\nb: \"yes\"\n");
    // A literal that is not one of the file's values is refused, not guessed at.
    EXPECT_FALSE(rendered::writeMessage(yaml, true, rendered::Literal{0, 1, 0, true}, "z"));
}
