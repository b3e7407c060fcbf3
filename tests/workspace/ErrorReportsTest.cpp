#include "TestSupport.h"
#include "workspace/ErrorReports.h"

#include <gtest/gtest.h>

using namespace tarn;
using namespace tarn::test;

TEST(ErrorReports, BuildErrorsAndThePlacesTheyName) {
    TempDir dir("tarn errors-");
    const auto root = dir / "shop";
    writeFile(root / "src" / "App.jsx", "x\n");
    writeFile(root / "app" / "page.tsx", "x\n");
    writeFile(root / "node_modules" / "react" / "index.js", "x\n");

    for (const char* line : {"[vite] Internal server error: Failed to resolve import \"./Missing\" from \"src/App.jsx\".",
                             "Error: Cannot find module './x'", " \xe2\xa8\xaf ./app/page.tsx:4:3", "Failed to compile.",
                             "    at App (http://localhost:5173/src/App.jsx?t=17:12:5)"}) {
        EXPECT_TRUE(errorReports::readsAsBuildError(line)) << line;
    }
    for (const char* line : {"VITE v7.1.0  ready in 120 ms", "GET / 200 in 12ms", "Found 0 errors. Watching for file changes.",
                             "  ➜  Local:   http://localhost:5173/"}) {
        EXPECT_FALSE(errorReports::readsAsBuildError(line)) << line;
    }
    EXPECT_TRUE(errorReports::isConsoleError("[ERROR] Uncaught TypeError: x is undefined"));
    EXPECT_FALSE(errorReports::isConsoleError("[WARN] deprecated"));

    auto place = [&](const std::string& text) {
        auto p = errorReports::placeNamed(text, root);
        return p ? p->file + ":" + std::to_string(p->line) + ":" + std::to_string(p->column) : std::string("none");
    };
    // A browser's stack frame, a served path with a query, Next.js's module path, a compiler's line.
    EXPECT_EQ(place("TypeError: x\n    at App (http://localhost:5173/src/App.jsx?t=1712:12:5)"), "src/App.jsx:12:5");
    EXPECT_EQ(place("./app/page.tsx:4:3\nType error: Property 'x' does not exist"), "app/page.tsx:4:3");
    EXPECT_EQ(place("at Page (webpack-internal:///(rsc)/./app/page.tsx:9:11)"), "app/page.tsx:9:11");
    EXPECT_EQ(place((root / "src" / "App.jsx").string() + ":7"), "src/App.jsx:7:0");
    // Frames of dependencies, of files elsewhere, and a server's address are no places of the project.
    EXPECT_EQ(place("at f (http://localhost:5173/node_modules/react/index.js:3:1)"), "none");
    EXPECT_EQ(place("/elsewhere/src/Other.jsx:3 http://localhost:5173/"), "none");
    // Long input, many colons: found or not, in one pass.
    EXPECT_EQ(place(std::string(100000, ':') + "src/App.jsx:2"), "none");

    EXPECT_EQ(errorReports::fixRequest("  Error: boom \n", "/cart", errorReports::Place{"src/App.jsx", 12, 5}),
              "Fix this error the app shows on the route /cart:\n\nError: boom\n\nIt points at src/App.jsx:12:5.\n");
}
