#include "support/Json.h"
#include "support/PlatformError.h"
#include "support/Regex.h"
#include "support/Text.h"
#include "support/Url.h"
#include "support/Uuid.h"

#include <gtest/gtest.h>

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
    auto folder = Url::fileURL("/tmp/my project/ünï");
    EXPECT_TRUE(folder.isFile());
    EXPECT_EQ(folder.path(), "/tmp/my project/ünï");
    EXPECT_EQ(folder.appending(".tarn").path(), "/tmp/my project/ünï/.tarn");
    // However a folder is written, it is one URL.
    for (const char* spelling : {"/tmp/my project/ünï/", "/tmp/my project/ünï//", "/tmp/./my project/x/../ünï"}) {
        EXPECT_EQ(Url::fileURL(spelling), folder) << spelling;
    }
    EXPECT_EQ(Url::fileURL("/").path(), "/");
}

TEST(Uuid, RandomUpperCaseVersionFour) {
    Uuid a, b;
    EXPECT_NE(a, b);
    ASSERT_EQ(a.string().size(), 36u);
    EXPECT_EQ(a.string()[14], '4');
    EXPECT_EQ(a.string().find_first_of("abcdef"), std::string::npos);
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
