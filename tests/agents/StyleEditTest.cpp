// Style changes written where the element is styled: Tailwind utilities (the one of the same
// property and variant replaced, on the scale or as an arbitrary value), the rule of a style sheet,
// a class of the element's own, or its inline style.
#include "TestSupport.h"
#include "agents/style/CssRules.h"
#include "agents/style/StyleEdit.h"
#include "agents/style/Tailwind.h"

#include <gtest/gtest.h>

using namespace tarn::style;

namespace {
std::string apply(std::string_view classes, Property p, const std::string& value, std::string_view variant = "", unsigned sides = allSides) {
    return applyToClassList(classes, Change{p, value, sides}, variant).value_or("<refused>");
}
}  // namespace

TEST(Tailwind, UtilitiesAreReadForWhatTheySet) {
    // "text-" alone is a size, an alignment or a colour; variants and the important mark are kept apart.
    EXPECT_EQ(parseUtility("text-lg")->property, Property::fontSize);
    EXPECT_EQ(parseUtility("text-lg/7")->property, Property::fontSize);
    EXPECT_EQ(parseUtility("text-[17px]")->property, Property::fontSize);
    EXPECT_EQ(parseUtility("text-center")->property, Property::textAlign);
    EXPECT_EQ(parseUtility("text-red-500")->property, Property::color);
    EXPECT_EQ(parseUtility("text-[#ff0000]")->property, Property::color);
    EXPECT_EQ(parseUtility("md:hover:!font-bold")->variant, "md:hover:");
    EXPECT_EQ(parseUtility("data-[state=open]:bg-white")->variant, "data-[state=open]:");
    EXPECT_EQ(parseUtility("-mt-2")->value, "-2");
    EXPECT_EQ(parseUtility("px-6")->sides, unsigned(left | right));
    for (const char* other : {"flex", "bg-cover", "bg-no-repeat", "font-mono", "truncate", "text-ellipsis", "-p-4", "pointer-events-none",
                              "place-items-center", "justify-items-center"}) {
        EXPECT_FALSE(parseUtility(other)) << other;
    }
}

TEST(Tailwind, AChangeReplacesTheUtilityOfItsPropertyAndVariant) {
    EXPECT_EQ(apply("text-sm font-bold text-slate-700", Property::fontSize, "18px"), "text-lg font-bold text-slate-700");
    EXPECT_EQ(apply("text-sm md:text-base", Property::fontSize, "17px", "md:"), "text-sm md:text-[17px]");
    EXPECT_EQ(apply("text-sm text-center", Property::color, "rgb(255, 0, 0)"), "text-sm text-center text-[#ff0000]");
    EXPECT_EQ(apply("bg-white/80 rounded", Property::background, "rgba(0, 0, 0, 0.5)"), "bg-[#00000080] rounded");
    EXPECT_EQ(apply("font-normal", Property::fontWeight, "600"), "font-semibold");
    EXPECT_EQ(apply("rounded rounded-t-lg shadow", Property::borderRadius, "8px"), "rounded-lg shadow");
    EXPECT_EQ(apply("rounded", Property::borderRadius, "4px"), "rounded-[4px]");  // "rounded-sm" is 2px or 4px, by version
    EXPECT_EQ(apply("max-w-lg mx-auto", Property::maxWidth, "448px"), "max-w-md mx-auto");
    EXPECT_EQ(apply("flex flex-col gap-2", Property::gap, "24px"), "flex flex-col gap-6");
    EXPECT_EQ(apply("flex flex-col", Property::flexDirection, "row"), "flex flex-row");
    EXPECT_EQ(apply("", Property::justifyContent, "space-between"), "justify-between");
    // Multi-line class strings keep their layout.
    EXPECT_EQ(apply("\n  card\n  text-sm\n  text-xs\n", Property::fontSize, "20px"), "\n  card\n  text-xl\n");
    // Values it cannot write are refused, never guessed.
    EXPECT_EQ(apply("p-4", Property::padding, "calc(1em + 2px)"), "<refused>");
    EXPECT_EQ(apply("text-sm", Property::color, "color-mix(in srgb, red, blue)"), "<refused>");
}

TEST(Tailwind, BoxSidesSplitAndJoin) {
    EXPECT_EQ(apply("p-4 rounded", Property::padding, "24px", "", left | right), "px-6 py-4 rounded");
    EXPECT_EQ(apply("px-6 py-4", Property::padding, "24px", "", top | bottom), "p-6");
    EXPECT_EQ(apply("p-4", Property::padding, "2px", "", top), "px-4 pt-0.5 pb-4");
    EXPECT_EQ(apply("pt-2 p-4 pl-1", Property::padding, "17px", "", right), "pt-2 pb-4 pr-[17px] pl-1");
    EXPECT_EQ(apply("m-2", Property::margin, "-16px", "", top), "mx-2 -mt-4 mb-2");
    EXPECT_EQ(apply("mx-4", Property::margin, "auto", "", left | right), "mx-auto");
    EXPECT_EQ(apply("sm:p-2 p-3", Property::padding, "1px", "sm:"), "sm:p-px p-3");
    EXPECT_EQ(apply("p-3", Property::padding, "-4px"), "<refused>");  // padding is never negative
}

namespace {

// A project written for the test, and a change applied to one element of it.
class StyleEdit : public ::testing::Test {
protected:
    tarn::test::TempDir dir{"tarn style ü-"};
    std::filesystem::path project = dir / "shop";
    std::map<std::string, tarn::StyleSource> sources;  // what the page says of the next element

    static tarn::StyleSource rule(std::string selector, std::string sheet, bool same, std::array<int, 3> specificity = {0, 1, 1}) {
        tarn::StyleSource source;
        source.kind = tarn::StyleSource::Kind::rule;
        source.matched = source.selector = std::move(selector);
        source.sheet = std::move(sheet);
        source.specificity = specificity;
        source.sameSource = same;
        return source;
    }

    void tailwind() { tarn::test::writeFile(project / "package.json", R"({"devDependencies": {"tailwindcss": "^4.1.0"}})"); }
    void write(const std::string& file, const std::string& text) { tarn::test::writeFile(project / file, text); }
    std::string read(const std::string& file) { return tarn::test::readFile(project / file); }

    // The reply, or "refused: " and why.
    std::string change(const std::string& file, int line, int column, const std::string& tag, Change c, tarn::LocatedBy by = tarn::LocatedBy::text,
                       const std::string& before = "") {
        tarn::InspectTarget target;
        target.fileGuess = file;
        target.line = line;
        target.column = column;
        target.tagName = tag;
        target.locatedBy = by;
        target.componentGuess = "hero-title";
        target.styleSources = sources;
        try {
            return apply(project, Request{target, c, before}).message;
        } catch (const std::exception& e) {
            return std::string("refused: ") + e.what();
        }
    }
};

}  // namespace

TEST_F(StyleEdit, TailwindClassListsAreChangedWhereTheElementIsWritten) {
    tailwind();
    write("src/App.jsx", "export default () => (\n  <header className=\"p-4\">\n    <h1 className=\"text-4xl font-bold\">Fresh bread</h1>\n"
                         "    <p className={cn(\"text-sm\", active && \"text-red-500\")}>Baked at dawn</p>\n    <span>Order</span>\n"
                         "    <em className={styles.note}>Note</em>\n  </header>\n);\n");
    EXPECT_EQ(change("src/App.jsx", 3, 5, "H1", {Property::fontSize, "48px"}, tarn::LocatedBy::framework, "36px"),
              "Style: font size 36px → 48px on hero-title, src/App.jsx:3");
    // Located by its text, inside its parent: the paragraph's own list, in cn()'s plain string.
    EXPECT_EQ(change("src/App.jsx", 4, 62, "p", {Property::color, "rgb(12, 74, 110)"}).substr(0, 18), "Style: text color ");
    EXPECT_EQ(change("src/App.jsx", 5, 11, "span", {Property::padding, "8px", left | right}).substr(0, 6), "Style:");
    const std::string written = read("src/App.jsx");
    EXPECT_NE(written.find("<header className=\"p-4\">"), std::string::npos) << written;
    EXPECT_NE(written.find("<h1 className=\"text-5xl font-bold\">"), std::string::npos) << written;
    EXPECT_NE(written.find("cn(\"text-sm text-[#0c4a6e]\", active && \"text-red-500\")"), std::string::npos) << written;
    EXPECT_NE(written.find("<span className=\"px-2\">Order</span>"), std::string::npos) << written;
    // A class list from code is not guessed at, and nothing is written.
    EXPECT_TRUE(change("src/App.jsx", 6, 37, "em", {Property::fontSize, "20px"}).starts_with("refused: This element's classes are built in code"));
    EXPECT_EQ(read("src/App.jsx"), written);
    // Vue and HTML take class="…".
    write("src/Card.vue", "<template>\n  <div class=\"card rounded-lg\">\n    <h2 class=\"md:text-xl\">Rye</h2>\n  </div>\n</template>\n");
    change("src/Card.vue", 3, 28, "h2", {Property::fontWeight, "700"});
    EXPECT_NE(read("src/Card.vue").find("<h2 class=\"md:text-xl font-bold\">"), std::string::npos) << read("src/Card.vue");
    // Text from a message file: the element that looks the message up.
    write("src/locales/en.json", "{\n  \"nav\": {\n    \"home\": \"Home\"\n  }\n}\n");
    write("src/Nav.jsx", "export const Nav = () => <nav>\n  <a href=\"#\">{t('nav.home')}</a>\n</nav>;\n");
    EXPECT_EQ(change("src/locales/en.json", 3, 13, "a", {Property::fontWeight, "700"}), "Style: font weight → 700 on hero-title, src/Nav.jsx:2");
    EXPECT_NE(read("src/Nav.jsx").find("<a className=\"font-bold\" href=\"#\">"), std::string::npos) << read("src/Nav.jsx");
    // And from a constant: where it is shown.
    write("src/data.js", "export const OPENING = 'Open every day'\nexport const el = <p>Open every day</p>\n");
    write("src/Hours.jsx", "export const Hours = () => <p className=\"hours\">{OPENING}</p>;\n");
    change("src/data.js", 1, 24, "p", {Property::fontWeight, "700"});
    EXPECT_NE(read("src/Hours.jsx").find("<p className=\"hours font-bold\">"), std::string::npos) << read("src/Hours.jsx");
}

TEST_F(StyleEdit, PlainProjectsChangeInlineStylesAndReferTheRest) {
    write("src/App.jsx", "export default () => <main>\n  <h1 style={{ fontSize: 18, color: 'red' }}>Bread</h1>\n"
                         "  <p style={{ ...base }}>Rye</p>\n  <p className=\"lead\">Spelt</p>\n</main>;\n");
    write("index.html", "<body>\n  <h1 style=\"color: red; margin: 0\">Bakery</h1>\n</body>\n");
    EXPECT_EQ(change("src/App.jsx", 2, 3, "h1", {Property::fontSize, "22px"}, tarn::LocatedBy::framework).substr(0, 17), "Style: font size ");
    EXPECT_NE(read("src/App.jsx").find("style={{ color: 'red', fontSize: '22px' }}"), std::string::npos) << read("src/App.jsx");
    change("index.html", 2, 38, "h1", {Property::margin, "12px", top});
    EXPECT_NE(read("index.html").find("style=\"color: red; margin: 0; margin-top: 12px\""), std::string::npos) << read("index.html");

    EXPECT_TRUE(change("src/App.jsx", 3, 26, "p", {Property::color, "blue"}).starts_with("refused: This element's style is built in code"));
    // Without any style sheet, a style of its own.
    EXPECT_EQ(change("src/App.jsx", 4, 23, "p", {Property::color, "blue"}), "Style: text color → blue on hero-title, src/App.jsx:4");
    EXPECT_NE(read("src/App.jsx").find("<p style={{ color: 'blue' }} className=\"lead\">Spelt</p>"), std::string::npos) << read("src/App.jsx");
    const std::string before = read("src/App.jsx");
    EXPECT_TRUE(change("src/App.jsx", 2, 3, "h1", {Property::color, "red' }} onClick={steal"}, tarn::LocatedBy::framework).starts_with("refused:"));
    EXPECT_TRUE(change("src/App.jsx", 2, 3, "h2", {Property::color, "blue"}, tarn::LocatedBy::framework).starts_with("refused: The <h2>"));
    EXPECT_TRUE(change("", 0, 0, "h1", {Property::color, "blue"}).starts_with("refused: Tarn does not know where"));
    EXPECT_EQ(read("src/App.jsx"), before);
}

TEST(CssRules, RulesAreReadPastCommentsStringsAndNesting) {
    const std::string css = "/* a { b } */\n@media (width > 1px) {\n  .a, .b > p { content: \"}\"; color: red }\n}\n.c { &:hover { color: blue } margin: 0 }\n";
    const auto rules = tarn::style::css::readRules(css, 0, css.size());
    ASSERT_EQ(rules.size(), 3u);
    EXPECT_EQ(rules[0].selector, ".a, .b > p");
    EXPECT_TRUE(rules[2].nested);
    EXPECT_EQ(rules[2].selector, ":is(.c):hover");  // as the page serves it
    EXPECT_TRUE(tarn::style::css::declares(css, rules[1], "margin-top"));
    EXPECT_FALSE(tarn::style::css::declares(css, rules[1], "color"));  // the nested rule's, not its own
    // Added after the last declaration, which had no semicolon; a longhand after the shorthand goes.
    EXPECT_NE(tarn::style::css::setDeclarations(css, rules[0], {"padding"}, "4px").find("  .a, .b > p { content: \"}\"; color: red; padding: 4px; }\n}\n"),
              std::string::npos);
    const std::string card = ".card {\n  padding: 1rem;\n  padding-top: 0;\n}\n";
    EXPECT_EQ(tarn::style::css::setDeclarations(card, tarn::style::css::readRules(card, 0, card.size())[0], {"padding"}, "2rem"),
              ".card {\n  padding: 2rem;\n}\n");
    // The page serves selectors normalised and scoped.
    using tarn::style::css::sameSelector;
    EXPECT_TRUE(sameSelector(".card>h2 ,  a[href='x']::before", ".card > h2, a[href=\"x\"]::before", false));
    EXPECT_TRUE(sameSelector(".name", ".name[data-v-7ba5bd90]", false));
    EXPECT_TRUE(sameSelector(":is(#steps ul) a", ":is(#steps  ul) a", false));
    EXPECT_TRUE(sameSelector(".name p", ".name.svelte-1x2y3z p.svelte-1x2y3z", false));
    EXPECT_TRUE(sameSelector(".title:hover", "._title_x1y2z:hover", true));
    EXPECT_TRUE(sameSelector(".title", ".page-module__Ab3d__title", true));
    EXPECT_FALSE(sameSelector(".title", "._subtitle_x1y2z", true));
    EXPECT_FALSE(sameSelector(".title", "._title_x1y2z", false));
}

TEST_F(StyleEdit, StyleSheetsChangeTheRuleThatStylesOnlyThisElement) {
    const std::string sheet = (project / "src" / "App.css").string();
    write("src/App.jsx", "import './App.css'\nexport default () => <main className=\"card\">\n  <h2>Bread</h2>\n  <p className=\"title\">Rye</p>\n"
                         "  <h3 className=\"lead\">Spelt</h3>\n</main>;\n");
    write("src/App.css", ".card h2 {\n  color: #333;\n  padding: 1rem;\n}\n\n.title { font-size: 2rem }\n@media (min-width: 600px) {\n"
                         "  .title {\n    font-size: 3rem;\n  }\n}\nh3 { color: green; }\n");
    sources = {{"color", rule(".card h2", sheet, true)}, {"padding-left", rule(".card h2", sheet, true)}};
    EXPECT_EQ(change("src/App.jsx", 3, 3, "h2", {Property::color, "blue"}, tarn::LocatedBy::framework, "rgb(51, 51, 51)"),
              "Style: text color rgb(51, 51, 51) → blue on hero-title, in src/App.css:1 (.card h2)");
    change("src/App.jsx", 3, 3, "h2", {Property::padding, "8px", left}, tarn::LocatedBy::framework);
    sources = {{"font-size", rule(".title", sheet, true, {0, 1, 0})}};
    sources["font-size"].condition = "(min-width: 600px)";
    change("src/App.jsx", 4, 3, "p", {Property::fontSize, "40px"}, tarn::LocatedBy::framework);
    EXPECT_EQ(read("src/App.css"), ".card h2 {\n  color: blue;\n  padding: 1rem;\n  padding-left: 8px;\n}\n\n.title { font-size: 2rem }\n"
                                   "@media (min-width: 600px) {\n  .title {\n    font-size: 40px;\n  }\n}\nh3 { color: green; }\n");
    EXPECT_EQ(read("src/App.jsx").find("app-"), std::string::npos);
    // A value under a media query nested in the rule: written there.
    write("src/index.css", "h1 {\n  font-size: 56px;\n  @media (max-width: 1024px) {\n    font-size: 36px;\n  }\n}\n");
    sources = {{"font-size", rule("h1", (project / "src/index.css").string(), true, {0, 0, 1})}};
    sources["font-size"].condition = "(max-width: 1024px)";
    change("src/App.jsx", 3, 3, "h2", {Property::fontSize, "40px"}, tarn::LocatedBy::framework);
    EXPECT_EQ(read("src/index.css"), "h1 {\n  font-size: 56px;\n  @media (max-width: 1024px) {\n    font-size: 40px;\n  }\n}\n");

    // A rule that also styles other elements stays: the element gets a class of its own, a rule
    // that outranks it, and later changes go to that rule.
    sources = {{"color", rule("h3", sheet, false, {0, 0, 1})}};
    EXPECT_EQ(change("src/App.jsx", 5, 3, "h3", {Property::color, "red"}, tarn::LocatedBy::framework),
              "Style: text color → red on hero-title, with class app-h3 (src/App.jsx:5 and src/App.css:15)");
    change("src/App.jsx", 5, 3, "h3", {Property::fontSize, "20px"}, tarn::LocatedBy::framework);
    EXPECT_NE(read("src/App.jsx").find("<h3 className=\"lead app-h3\">"), std::string::npos) << read("src/App.jsx");
    EXPECT_NE(read("src/App.css").find("h3 { color: green; }\n\n.app-h3 {\n  color: red;\n  font-size: 20px;\n}\n"), std::string::npos)
        << read("src/App.css");
    // One more specific needs a stronger selector.
    sources = {{"color", rule(".card h2", sheet, false)}};
    change("src/App.jsx", 3, 3, "h2", {Property::color, "navy"}, tarn::LocatedBy::framework);
    EXPECT_NE(read("src/App.css").find(".app-h2.app-h2 {\n  color: navy;\n}"), std::string::npos) << read("src/App.css");
    // Against an id, the rule's own selector narrowed to the class.
    sources = {{"color", rule("#main h3", sheet, false, {1, 0, 1})}};
    change("src/App.jsx", 5, 3, "h3", {Property::color, "olive"}, tarn::LocatedBy::framework);
    EXPECT_NE(read("src/App.css").find("#main h3.app-h3 {\n  color: olive;\n}"), std::string::npos) << read("src/App.css");
}

TEST_F(StyleEdit, ModulesAndVueAndSvelteBlocksAreWrittenInTheirOwnFiles) {
    write("src/Card.module.css", ".title {\n  color: red;\n}\n");
    write("src/Card.jsx", "import styles from './Card.module.css'\nexport const Card = () => <h2 className={styles.title}>Rye</h2>;\n");
    sources = {{"color", rule("._title_x1y2z", (project / "src/Card.module.css").string(), true, {0, 1, 0})}};
    change("src/Card.jsx", 2, 28, "h2", {Property::color, "teal"}, tarn::LocatedBy::framework);
    EXPECT_EQ(read("src/Card.module.css"), ".title {\n  color: teal;\n}\n");
    // A module's class cannot be added to from here.
    sources["color"].sameSource = false;
    EXPECT_TRUE(change("src/Card.jsx", 2, 28, "h2", {Property::color, "red"}, tarn::LocatedBy::framework).starts_with("refused: "));

    write("src/Name.vue", "<template>\n  <p class=\"name\">Ada</p>\n</template>\n\n<style scoped>\n.name { color: red }\n</style>\n");
    sources = {{"color", rule(".name[data-v-7ba5bd90]", (project / "src/Name.vue").string() + "?vue&type=style&index=0&scoped=7ba5bd90&lang.css",
                              true, {0, 2, 0})}};
    change("src/Name.vue", 2, 3, "p", {Property::color, "blue"});
    EXPECT_NE(read("src/Name.vue").find(".name { color: blue }"), std::string::npos) << read("src/Name.vue");

    // Nothing styles it: a class of its own and a rule in the component's own <style> block.
    write("src/Tag.svelte", "<span>New</span>\n");
    sources = {{"font-size", {}}};
    sources["font-size"].kind = tarn::StyleSource::Kind::inherited;
    EXPECT_EQ(change("src/Tag.svelte", 1, 1, "span", {Property::fontSize, "12px"}, tarn::LocatedBy::framework),
              "Style: font size → 12px on hero-title, with class tag-span (src/Tag.svelte:4)");
    EXPECT_EQ(read("src/Tag.svelte"), "<span class=\"tag-span\">New</span>\n\n<style>\n.tag-span {\n  font-size: 12px;\n}\n</style>\n");
    // HTML in a plain script's template string takes class="…".
    write("src/style.css", "h1 { color: red; }\n");
    write("src/main.js", "import './style.css'\ndocument.body.innerHTML = `\n  <h1>Hi</h1>\n`\n");
    change("src/main.js", 3, 3, "h1", {Property::fontSize, "30px"}, tarn::LocatedBy::framework);
    EXPECT_NE(read("src/main.js").find("<h1 class=\"main-h1\">Hi</h1>"), std::string::npos) << read("src/main.js");
    EXPECT_EQ(read("src/style.css"), "h1 { color: red; }\n\n.main-h1 {\n  font-size: 30px;\n}\n");
}

