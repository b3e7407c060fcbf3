// Inline edits on projects shaped like the usual starters: the text is found where the page shows
// it, and only there.
#include "TestSupport.h"
#include "agents/AgentService.h"
#include "agents/AgentTexts.h"
#include "agents/ProjectFiles.h"
#include "agents/rendered/ProjectSearch.h"
#include "support/Json.h"
#include "support/Text.h"

#include <gtest/gtest.h>

using namespace tarn;
using namespace tarn::test;
namespace fs = std::filesystem;

namespace {

class InlineEdit : public ::testing::Test {
protected:
    TempDir dir{"tarn inline ü-"};
    fs::path project = dir / "site";

    // The edit's changed file, or the refusal's text.
    std::string edit(const std::string& shown, const std::string& replacement, const std::string& hint = "") {
        try {
            return rendered::replaceShownText(shown, replacement, hint, project).front();
        } catch (const std::exception& e) {
            return std::string("refused: ") + e.what();
        }
    }
    std::string read(const std::string& relative) { return readFile(project / relative); }
    void write(const std::string& relative, const std::string& text) { writeFile(project / relative, text); }
};

}  // namespace

TEST_F(InlineEdit, ReactStarter) {
    write("README.md", "Edit src/App.jsx and save to test HMR\n");
    write("index.html", "<html><head><title>Vite + React</title></head><body><div id=\"root\"></div>"
                        "<script type=\"module\" src=\"/src/main.jsx\"></script></body></html>");
    write("src/App.jsx",
          "import { useState } from 'react'\nimport './App.css'\n\nfunction App() {\n  const [count, setCount] = useState(0)\n\n"
          "  return (\n    <>\n      <h1>Vite + React</h1>\n      <div className=\"card\">\n"
          "        <button onClick={() => setCount((count) => count + 1)}>\n          count is {count}\n        </button>\n"
          "        <p>\n          Edit <code>src/App.jsx</code> and save to test HMR\n        </p>\n      </div>\n"
          "      <p className=\"read-the-docs\">\n        Click on the Vite and React logos to learn more\n      </p>\n"
          "    </>\n  )\n}\n\nexport default App\n");
    // A heading that the page title repeats: the app's file wins over the root's.
    EXPECT_EQ(edit("Vite + React", "Vite + React + Tarn"), "src/App.jsx");
    EXPECT_NE(read("src/App.jsx").find("<h1>Vite + React + Tarn</h1>"), std::string::npos);
    EXPECT_NE(read("index.html").find("<title>Vite + React</title>"), std::string::npos);

    // Text split by inline markup: the words change in their own runs, the markup stays.
    EXPECT_EQ(edit("Edit src/App.jsx and save to test HMR", "Change src/App.jsx and reload to test HMR"), "src/App.jsx");
    EXPECT_NE(read("src/App.jsx").find("Change <code>src/App.jsx</code> and reload to test HMR"), std::string::npos);
    EXPECT_EQ(read("README.md"), "Edit src/App.jsx and save to test HMR\n");

    // Around an expression: the literal words change; the value never.
    EXPECT_EQ(edit("count is 0", "clicks: 0"), "src/App.jsx");
    EXPECT_NE(read("src/App.jsx").find("clicks: {count}"), std::string::npos);
    EXPECT_EQ(edit("clicks: 0", "clicks: 5"),
              "refused: This text is a value the code computes; only the words around it can be edited in place.");

    // Text on several lines of source, and characters that JSX would read as code.
    EXPECT_EQ(edit("Click on the Vite and React logos to learn more", "Read the {docs} <here>"), "src/App.jsx");
    EXPECT_NE(read("src/App.jsx").find("Read the {'{'}docs{'}'} {'<'}here{'>'}"), std::string::npos);
    // Import paths, class names and attributes are not page text.
    EXPECT_EQ(edit("./App.css", "x"), "refused: Could not find matching text in source files.");
    EXPECT_EQ(edit("card", "x"), "refused: Could not find matching text in source files.");
}

TEST_F(InlineEdit, VueSvelteLitAndVanillaStarters) {
    write("src/components/HelloWorld.vue",
          "<script setup>\nimport { ref } from 'vue'\ndefineProps({ msg: String })\nconst count = ref(0)\n</script>\n\n"
          "<template>\n  <h1>{{ msg }}</h1>\n  <div class=\"card\">\n    <button type=\"button\" @click=\"count++\">count is {{ count }}</button>\n"
          "    <p>\n      Edit\n      <code>components/HelloWorld.vue</code> to test HMR\n    </p>\n  </div>\n</template>\n");
    write("src/App.vue", "<script setup>\nimport HelloWorld from './components/HelloWorld.vue'\n</script>\n\n"
                         "<template>\n  <HelloWorld msg=\"Vite + Vue\" />\n</template>\n");
    EXPECT_EQ(edit("Edit components/HelloWorld.vue to test HMR", "Edit components/HelloWorld.vue to try HMR"),
              "src/components/HelloWorld.vue");
    EXPECT_NE(read("src/components/HelloWorld.vue").find("to try HMR"), std::string::npos);
    EXPECT_EQ(edit("count is 0", "pressed 0 times"), "refused: This text is a value the code computes; only the words around it can be edited in place.");
    EXPECT_EQ(edit("count is 0", "total is 0"), "src/components/HelloWorld.vue");
    // Shown through a prop: the string that holds it is edited.
    EXPECT_EQ(edit("Vite + Vue", "Vite + Vue + Tarn"), "src/App.vue");
    EXPECT_NE(read("src/App.vue").find("msg=\"Vite + Vue + Tarn\""), std::string::npos);

    write("src/routes/+page.svelte", "<script>\n  let name = 'world';\n</script>\n\n<h1>Welcome to {name}</h1>\n"
                                     "<p>Visit <a href=\"https://svelte.dev\">svelte.dev</a> to read the docs</p>\n");
    EXPECT_EQ(edit("Visit svelte.dev to read the docs", "Visit svelte.dev for the docs"), "src/routes/+page.svelte");
    EXPECT_NE(read("src/routes/+page.svelte").find("</a> for the docs</p>"), std::string::npos);
    EXPECT_EQ(edit("Welcome to world", "Welcome to Mars"),
              "refused: This text is a value the code computes; only the words around it can be edited in place.");
    EXPECT_EQ(edit("Welcome to world", "Hello, world"), "src/routes/+page.svelte");
    EXPECT_NE(read("src/routes/+page.svelte").find("<h1>Hello, {name}</h1>"), std::string::npos);

    write("src/my-element.js", "import { LitElement, html } from 'lit'\nexport class MyElement extends LitElement {\n"
                               "  render() {\n    return html`\n      <slot></slot>\n      <div class=\"card\">\n"
                               "        <button @click=${this._onClick} part=\"button\">\n          count is ${this.count}\n"
                               "        </button>\n      </div>\n      <p class=\"read-the-docs\">${this.docsHint}</p>\n    `\n  }\n"
                               "  constructor() { super(); this.docsHint = 'Click on the Vite and Lit logos to learn more' }\n}\n");
    EXPECT_EQ(edit("Click on the Vite and Lit logos to learn more", "Click the logos"), "src/my-element.js");
    EXPECT_NE(read("src/my-element.js").find("this.docsHint = 'Click the logos'"), std::string::npos);

    write("src/main.js", "import './style.css'\ndocument.querySelector('#app').innerHTML = `\n  <div>\n"
                         "    <h1>Hello Vite!</h1>\n    <p class=\"read-the-docs\">\n      Click on the Vite logo to learn more\n"
                         "    </p>\n  </div>\n`\n");
    write("src/counter.js", "export function setupCounter(element) {\n  let counter = 0\n"
                            "  const setCounter = (count) => {\n    counter = count\n    element.innerHTML = `count is ${counter}`\n  }\n}\n");
    EXPECT_EQ(edit("Hello Vite!", "Hello `Tarn` & ${friends}"), "src/main.js");
    EXPECT_NE(read("src/main.js").find("<h1>Hello \\`Tarn\\` &amp; \\${friends}</h1>"), std::string::npos) << read("src/main.js");
}

TEST_F(InlineEdit, ValuesAndTheTextAroundThem) {
    write("src/App.jsx", "const breads = [{ name: \"Sourdough\", price: \"6.50\" }];\nexport default function App() {\n"
                         "  const [basket] = useState(0);\n  return (\n    <main>\n      <p>\n        In your basket: {basket}\n      </p>\n"
                         "      <section>\n        {breads.map((b) => (\n          <article key={b.name}><h2>{b.name}</h2><p>€{b.price}</p></article>\n"
                         "        ))}\n      </section>\n    </main>\n  );\n}\n");
    // Words added after a value go after it, not after a later expression that could take them.
    EXPECT_EQ(edit("In your basket: 0", "In your basket: 0 loaves"), "src/App.jsx");
    EXPECT_NE(read("src/App.jsx").find("In your basket: {basket} loaves"), std::string::npos);
    // Text made of a symbol and a value, in the element's own file; an item of a list: the string
    // that holds it.
    EXPECT_EQ(edit("€6.50", "€6.50 each", "src/App.jsx"), "src/App.jsx");
    EXPECT_NE(read("src/App.jsx").find("€{b.price} each"), std::string::npos);
    EXPECT_EQ(edit("Sourdough", "Country sourdough"), "src/App.jsx");
    EXPECT_NE(read("src/App.jsx").find("name: \"Country sourdough\""), std::string::npos);
}

TEST_F(InlineEdit, NextStartersAndRefusals) {
    write("app/page.tsx", "import Image from \"next/image\";\n\nexport default function Home() {\n  return (\n"
                          "    <main className=\"flex\">\n      <ol>\n        <li>\n          Get started by editing{\" \"}\n"
                          "          <code className=\"font-mono\">app/page.tsx</code>\n          .\n        </li>\n"
                          "        <li>Save and see your changes instantly.</li>\n      </ol>\n"
                          "      <a href=\"https://vercel.com/new\" target=\"_blank\">Deploy now</a>\n"
                          "      <a href=\"https://nextjs.org/docs\" target=\"_blank\">Read our docs</a>\n    </main>\n  );\n}\n");
    EXPECT_EQ(edit("Get started by editing app/page.tsx.", "Begin by editing app/page.tsx."), "app/page.tsx");
    EXPECT_NE(read("app/page.tsx").find("Begin by editing{\" \"}"), std::string::npos);
    EXPECT_EQ(edit("Save and see your changes instantly.", "Save, then look."), "app/page.tsx");

    write("pages/index.tsx", "export default function Home() {\n  return <main><h1>Deploy now</h1><p>Welcome</p></main>;\n}\n");
    // The same words in two app files: no guess, the places are named.
    EXPECT_EQ(edit("Deploy now", "Ship it"),
              "refused: This text appears in 2 places (app/page.tsx, pages/index.tsx); select an element whose text is "
              "unique, or describe the change to the agent.");
    // The page's own hint settles it.
    EXPECT_EQ(edit("Deploy now", "Ship it", "pages/index.tsx"), "pages/index.tsx");
    EXPECT_NE(read("pages/index.tsx").find("<h1>Ship it</h1>"), std::string::npos);
    EXPECT_NE(read("app/page.tsx").find(">Deploy now</a>"), std::string::npos);
    // An edit that would move words across an element is refused, and nothing is written.
    std::string before = read("pages/index.tsx");
    EXPECT_EQ(edit("Ship itWelcome", "Ship Welcome it"),
              "refused: This edit reaches across the page's markup; change the words of one piece of text, or describe "
              "the change to the agent.");
    EXPECT_EQ(read("pages/index.tsx"), before);
}

TEST_F(InlineEdit, ElementsAreLocatedByTheFrameworkOrByTheirText) {
    write("src/App.vue", "<template>\n  <main>\n    <h1>Warm bread</h1>\n    <p>Order {{ count }} loaves</p>\n  </main>\n</template>\n");
    write("src/Other.vue", "<template><p>Twice</p></template>\n");
    write("src/Third.vue", "<template><p>Twice</p></template>\n");
    auto locate = [&](InspectTarget t) { return rendered::locateElement(std::move(t), project); };
    InspectTarget target;
    target.textSnippet = "Warm bread";

    // Nothing from the page: the one place that renders the text, line and column.
    InspectTarget found = locate(target);
    EXPECT_EQ(found.location(), "src/App.vue:3");
    EXPECT_EQ(found.column, 9);
    EXPECT_EQ(found.locatedBy, LocatedBy::text);
    target.textSnippet = "Order 12 loaves";
    EXPECT_EQ(locate(target).location(), "src/App.vue:4");

    // Vue names the component's file by its absolute path, without a line: the text gives it.
    target.fileGuess = (project / "src" / "App.vue").string();
    target.locatedBy = LocatedBy::framework;
    target.framework = "vue";
    found = locate(target);
    EXPECT_EQ(found.location(), "src/App.vue:4");
    EXPECT_EQ(found.locatedBy, LocatedBy::framework);

    // A framework's line stands; a path outside the project is no location.
    target.fileGuess = "src/Other.vue";
    target.line = 1;
    EXPECT_EQ(locate(target).location(), "src/Other.vue:1");
    target.fileGuess = "/elsewhere/App.vue";
    target.textSnippet = "Twice";
    found = locate(target);
    EXPECT_EQ(found.location(), "");  // and the text is in two places: no guess
    EXPECT_EQ(found.locatedBy, LocatedBy::none);

    // An ancestor's location gives way to the element's own text.
    target.fileGuess = "src/Other.vue";
    target.line = 1;
    target.locatedBy = LocatedBy::ancestor;
    target.textSnippet = "Warm bread";
    found = locate(target);
    EXPECT_EQ(found.location(), "src/App.vue:3");
    EXPECT_EQ(found.locatedBy, LocatedBy::text);
}

TEST_F(InlineEdit, TextsLookedUpInMessageFiles) {
    write("package.json", "{\"name\": \"Baked in Lyon\"}\n");
    write("src/App.jsx", "import en from './locales/en.json';\nexport default () => <h1>{t('hero.title')}</h1>;\n");
    write("src/locales/en.json", "{\n  \"hero\": {\"title\": \"Fresh \\\"bread\\\"\", \"Baked in Lyon\": \"Baked in Lyon\"},\n"
                                 "  \"twice\": \"Same\", \"again\": \"Same\"\n}\n");
    write("src/locales/fr.yml", "hero:\n  title: Pain frais # the morning's\n  note: 'L''atelier'\n  cta: \"Commander\"\n"
                                "list:\n  - Seigle\n");

    // A value, never a key, nor the configuration at the root; JSON stays JSON.
    EXPECT_EQ(edit("Baked in Lyon", "Baked in \"Paris\""), "src/locales/en.json");
    EXPECT_EQ(read("package.json"), "{\"name\": \"Baked in Lyon\"}\n");
    auto messages = json::Json::parse(read("src/locales/en.json"));
    EXPECT_EQ(messages["hero"]["Baked in Lyon"], "Baked in \"Paris\"");
    EXPECT_EQ(edit("Fresh \"bread\"", "Warm bread"), "src/locales/en.json");
    EXPECT_EQ(json::Json::parse(read("src/locales/en.json"))["hero"]["title"], "Warm bread");
    EXPECT_TRUE(text::startsWith(edit("Same", "Other"), "refused: This text appears in 2 places"));

    // YAML: plain (its comment kept), single- and double-quoted, list items; a plain value that
    // could not stay plain is quoted.
    EXPECT_EQ(edit("Pain frais", "Pain: chaud"), "src/locales/fr.yml");
    EXPECT_EQ(edit("L'atelier", "L'atelier d'Anne"), "src/locales/fr.yml");
    EXPECT_EQ(edit("Commander", "Commander \"vite\""), "src/locales/fr.yml");
    EXPECT_EQ(edit("Seigle", "Seigle noir"), "src/locales/fr.yml");
    EXPECT_EQ(read("src/locales/fr.yml"), "hero:\n  title: \"Pain: chaud\" # the morning's\n  note: 'L''atelier d''Anne'\n"
                                          "  cta: \"Commander \\\"vite\\\"\"\nlist:\n  - Seigle noir\n");
}

// Every place is ranked together: the one that holds more of the text as written wins, and a value
// with a word beside it never takes a text a message file holds whole.
TEST_F(InlineEdit, TheWholeTextAsWrittenWinsOverAValueAndAWord) {
    write("src/components/ProductCard.jsx", "export default ({product}) => <span className=\"price\">{product.price} euros</span>;\n");
    write("src/App.jsx", "export default () => <footer><p>{t('footer.shipping')}</p><p>{count} items in your basket</p>"
                         "<small>© 2026 Tarn Bakery. {t('footer.rights')}</small></footer>;\n");
    write("src/locales/en.json", "{\"footer\": {\"shipping\": \"Free shipping on orders over fifty euros\"}}\n");
    const std::string card = read("src/components/ProductCard.jsx");

    auto located = rendered::locateShownText("Free shipping on orders over fifty euros", "src/App.jsx", project);
    ASSERT_TRUE(located);
    EXPECT_EQ(located->file, "src/locales/en.json");
    EXPECT_EQ(edit("Free shipping on orders over fifty euros", "Free shipping over fifty euros", "src/App.jsx"), "src/locales/en.json");
    EXPECT_EQ(read("src/components/ProductCard.jsx"), card);
    EXPECT_EQ(json::Json::parse(read("src/locales/en.json"))["footer"]["shipping"], "Free shipping over fifty euros");

    // With nothing that holds it whole, a value and a word are not trusted with a long text…
    EXPECT_FALSE(rendered::locateShownText("Only today: twenty percent off everything in euros", "", project));
    EXPECT_TRUE(text::startsWith(edit("Only today: twenty percent off everything in euros", "x"), "refused: This text is a value"));
    EXPECT_EQ(read("src/components/ProductCard.jsx"), card);
    // …unless the element's own file is where it is; a value beside most of the words is found.
    const auto own = rendered::locateShownText("Only today: twenty percent off everything in euros", "src/components/ProductCard.jsx", project);
    EXPECT_EQ(own ? own->file : "", "src/components/ProductCard.jsx");
    EXPECT_EQ(rendered::locateShownText("3 items in your basket", "", project)->file, "src/App.jsx");
    EXPECT_EQ(rendered::locateShownText("© 2026 Tarn Bakery. All rights reserved", "", project)->file, "src/App.jsx");
}
