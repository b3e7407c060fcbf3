#include "support/Json.h"
#include "support/PlatformError.h"
#include "support/Regex.h"
#include "support/Text.h"
#include "support/Url.h"
#include "support/Uuid.h"

#include <algorithm>
#include <glib.h>
#include <gtest/gtest.h>
#include <random>

using namespace tarn;

TEST(Text, TrimRemovesUnicodeWhiteSpaceAndNewlinesOnly) {
    EXPECT_EQ(text::trim(" \t\n\r\v\f\u0085\u2028\u2029\u00A0\u3000 a b \n"), "a b");
    EXPECT_EQ(text::trim("\u200Bword\u200B"), "\u200Bword\u200B");  // zero-width space is not white space
    EXPECT_EQ(text::trim(" \n "), "");
    EXPECT_EQ(text::trimSpacesAndTabs(" \t x y\t "), "x y");
    EXPECT_EQ(text::trimSpacesAndTabs("\nx\n"), "\nx\n");
}

TEST(Text, NewlineSplitKeepsOrDropsEmptyPieces) {
    EXPECT_EQ(text::splitNewlines("a\r\nb"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(text::splitNewlines("a\u2028b\u0085c\vd\fe"), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
    EXPECT_EQ(text::splitNewlines("a\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(text::splitLines("\n\na\r\n\rb\n"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(text::split("::a::b:", ':', true), (std::vector<std::string>{"a", "b"}));
}

TEST(Text, CaseMappingAndGraphemes) {
    EXPECT_EQ(text::toLower("ÉCOLE Straße"), "école straße");
    EXPECT_EQ(text::toUpper("straße"), "STRASSE");
    // A flag, an e with a combining accent and a family emoji are one character each.
    std::string s = "🇫🇷e\u0301👨‍👩‍👧x";
    EXPECT_EQ(text::graphemeCount(s), 4u);
    EXPECT_EQ(text::graphemePrefix(s, 2), "🇫🇷e\u0301");
    EXPECT_EQ(text::graphemePrefix(s, 10), s);
    EXPECT_EQ(text::graphemeCount(""), 0u);
}

TEST(Text, LossyDecodingReplacesEachBadSequence) {
    EXPECT_EQ(text::decodeUtf8Lossy("ok é"), "ok é");
    EXPECT_EQ(text::decodeUtf8Lossy("a\xFF" "b"), "a\uFFFD" "b");
    // A truncated three-byte sequence is one replacement; an overlong form and a surrogate are rejected.
    EXPECT_EQ(text::decodeUtf8Lossy("\xE2\x82x"), "\uFFFDx");
    EXPECT_EQ(text::decodeUtf8Lossy("\xC0\xAF"), "\uFFFD\uFFFD");
    EXPECT_EQ(text::decodeUtf8Lossy("\xED\xA0\x80"), "\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(text::decodeUtf8Lossy("\xF0\x9F\x98"), "\uFFFD");
}

TEST(Text, StreamDecoderKeepsSplitCharactersIntact) {
    const std::string euro = "\xE2\x82\xAC";
    text::Utf8StreamDecoder decoder;
    std::string out = decoder.feed("a" + euro.substr(0, 1));
    out += decoder.feed(euro.substr(1, 1));
    out += decoder.feed(euro.substr(2) + "b");
    out += decoder.finish();
    EXPECT_EQ(out, "a€b");

    text::Utf8StreamDecoder cut;
    EXPECT_EQ(cut.feed("x\xE2\x82"), "x");
    EXPECT_EQ(cut.finish(), "\uFFFD");
    text::Utf8StreamDecoder bad;
    EXPECT_EQ(bad.feed("\xE2(") + bad.finish(), "\uFFFD(");
}

TEST(Regex, GroupsThatDidNotTakePartAreAbsent) {
    auto re = Regex::compile(R"(--port\s+(\d+)|-p\s+(\d+))");
    ASSERT_TRUE(re);
    auto m = re->firstMatch("next dev -p 4000");
    ASSERT_TRUE(m);
    EXPECT_FALSE(m->groups[0]);
    EXPECT_EQ(m->groups[1], "4000");
    EXPECT_FALSE(Regex::compile("(unclosed"));
    EXPECT_EQ(Regex::compile("^```[A-Za-z0-9]*\\s*")->replaceFirst("```json\n{}", ""), "{}");
}

TEST(Url, ParsesAbsoluteAddressesAndFilePaths) {
    auto url = Url::parse("http://localhost:5173");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->host(), "localhost");
    EXPECT_EQ(url->port(), 5173);
    EXPECT_FALSE(Url::parse("not a url"));
    auto folder = Url::forFile("/tmp/my project/ünï");
    EXPECT_TRUE(folder.isFile());
    EXPECT_EQ(folder.path(), "/tmp/my project/ünï");
    EXPECT_EQ(folder.appending(".tarn").path(), "/tmp/my project/ünï/.tarn");
    // However a folder is written, it is one URL.
    for (const char* spelling : {"/tmp/my project/ünï/", "/tmp/my project/ünï//", "/tmp/./my project/x/../ünï"}) {
        EXPECT_EQ(Url::forFile(spelling), folder) << spelling;
    }
    EXPECT_EQ(Url::forFile("/").path(), "/");
}

TEST(Json, DocumentsMustBeObjectsOrArrays) {
    EXPECT_TRUE(json::parseDocument("[1]").is_array());
    EXPECT_THROW(json::parseDocument("\"text\""), PlatformError);
    EXPECT_THROW(json::parseDocument("{\"a\":"), PlatformError);
    EXPECT_THROW(json::parseDocument("{\"a\":\"\xFF\"}"), PlatformError);
    EXPECT_FALSE(json::parseObject("[]"));
    auto obj = json::parseObject(R"({"a":" x ","b":3,"c":""})");
    ASSERT_TRUE(obj);
    EXPECT_EQ(json::firstNonBlankString(*obj, {"c", "b", "a"}), "x");
}

namespace {

// Valid UTF-8 of every length, escape sequences whole and cut short, and stray escape bytes,
// mixed at random: what a dev server's coloured output looks like at its worst.
std::string randomTerminalLine(std::mt19937& random) {
    static const std::vector<std::string> pieces{
        "a", " ", "é", "漢", "😀", "\x1b[31m", "\x1b[0;1;38;5;208m", "\x1b[", "\x1b[12", "\x1b]8;;http://x\x07",
        "\x1b]0;title\x1b\\", "\x1b]unterminated", "\x1b(B", "\x1b", "\xc2\x9b" "2J", "\xc2\x9b", "\x1bP+q\x1b\\",
        "\x07", ":", "http://localhost:5173/"};
    std::string line;
    const int count = std::uniform_int_distribution<int>(0, 24)(random);
    for (int i = 0; i < count; ++i) line += pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(random)];
    return line;
}

}  // namespace

TEST(Text, EscapeRemovalKeepsWholeCharacters) {
    EXPECT_EQ(text::stripTerminalEscapes("\x1b[1;32m  VITE\x1b[0m ready"), "  VITE ready");
    EXPECT_EQ(text::stripTerminalEscapes("\x1b]8;;http://a\x07link\x1b]8;;\x1b\\ end"), "link end");
    EXPECT_EQ(text::stripTerminalEscapes("\xc2\x9b" "1mbold"), "bold");
    // An escape followed by a character that starts no sequence takes only itself.
    EXPECT_EQ(text::stripTerminalEscapes("\x1b" "é\x1b漢"), "é漢");
    EXPECT_EQ(text::stripTerminalEscapes("x\x1b[38;5;é"), "xé");

    std::mt19937 random(7);
    for (int round = 0; round < 20000; ++round) {
        const std::string line = randomTerminalLine(random);
        ASSERT_TRUE(g_utf8_validate(line.data(), static_cast<gssize>(line.size()), nullptr));
        const std::string out = text::stripTerminalEscapes(line);
        ASSERT_TRUE(g_utf8_validate(out.data(), static_cast<gssize>(out.size()), nullptr)) << line;
        ASSERT_EQ(out.find('\x1b'), std::string::npos) << line;
        ASSERT_EQ(out.find("\xc2\x9b"), std::string::npos) << line;
    }
    // Any bytes at all: nothing longer comes out, and nothing breaks.
    for (int round = 0; round < 5000; ++round) {
        std::string bytes(std::uniform_int_distribution<std::size_t>(0, 40)(random), '\0');
        for (auto& b : bytes) b = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
        ASSERT_LE(text::stripTerminalEscapes(bytes).size(), bytes.size());
    }
}

TEST(Text, LinksEndWhereTheSentenceDoes) {
    using V = std::vector<std::string>;
    EXPECT_EQ(text::findLinks("Local:   http://localhost:5173/"), V{"http://localhost:5173/"});
    EXPECT_EQ(text::findLinks("(see https://a.dev/x_(y)), then."), V{"https://a.dev/x_(y)"});
    EXPECT_EQ(text::findLinks("[http://a/b]. and {ws://c/d}"), (V{"http://a/b", "ws://c/d"}));
    EXPECT_EQ(text::findLinks("://nothing 1http://x.y"), V{"http://x.y"});

    // Random lines of link pieces: every link is part of the line, starts with a scheme, and ends
    // on neither sentence punctuation nor a bracket it did not open.
    static const std::vector<std::string> pieces{"http", "://", "a", ".", ",", "(", ")", "[", "]", "{", "}", " ", ":", "!", "x/y", "é"};
    std::mt19937 random(11);
    for (int round = 0; round < 20000; ++round) {
        std::string line;
        const int count = std::uniform_int_distribution<int>(0, 30)(random);
        for (int i = 0; i < count; ++i) line += pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(random)];
        for (const auto& link : text::findLinks(line)) {
            ASSERT_NE(line.find(link), std::string::npos) << line;
            ASSERT_TRUE(std::isalpha(static_cast<unsigned char>(link.front()))) << line;
            ASSERT_NE(link.find("://"), std::string::npos) << line;
            ASSERT_EQ(std::string_view(".,;:!?").find(link.back()), std::string_view::npos) << line;
            for (auto [open, close] : {std::pair{'(', ')'}, {'[', ']'}, {'{', '}'}}) {
                if (link.back() == close) ASSERT_LE(std::count(link.begin(), link.end(), close), std::count(link.begin(), link.end(), open)) << line;
            }
        }
    }
    // The lines that used to take seconds on the main loop: the test's time limit would catch a
    // return of that (the benchmark measures the rate).
    const std::string closers = "http://a/" + std::string(1 << 20, ')');
    EXPECT_EQ(text::findLinks(closers), V{"http://a/"});
    std::string marks;
    while (marks.size() < (1 << 20)) marks += "a://)";
    EXPECT_FALSE(text::findLinks(marks).empty());
}
