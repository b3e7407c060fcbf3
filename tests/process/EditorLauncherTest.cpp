#include "process/EditorLauncher.h"

#include <gtest/gtest.h>

using namespace tarn;
using Command = std::vector<std::string>;

TEST(Editor, EachEditorGetsTheLineItsOwnWay) {
    const std::string file = "/home/me/my shop/src/App.jsx";
    EXPECT_EQ(editor::commandFor("", "/usr/bin/code", file, 17), (Command{"/usr/bin/code", "--goto", file + ":17"}));
    EXPECT_EQ(editor::commandFor("", "gnome-text-editor", file, 17), (Command{"gnome-text-editor", file}));
    EXPECT_EQ(editor::commandFor("", "gedit", file, 0), (Command{"gedit", "+1", file}));
    EXPECT_EQ(editor::commandFor("", "kate", file, 5), (Command{"kate", "--line", "5", file}));
    EXPECT_EQ(editor::commandFor("", "zed", file, 5), (Command{"zed", file + ":5"}));
    // An application that takes no line (or a sandboxed one) opens the file the desktop's way.
    EXPECT_EQ(editor::commandFor("", "flatpak", file, 5), Command{});

    // The user's own command: the places it names, or the file at its end; quoting kept.
    EXPECT_EQ(editor::commandFor("subl --wait '{file}:{line}'", "code", file, 9), (Command{"subl", "--wait", file + ":9"}));
    EXPECT_EQ(editor::commandFor("\"/opt/my editor/bin/edit\" -n", "code", file, 9),
              (Command{"/opt/my editor/bin/edit", "-n", file}));
    EXPECT_EQ(editor::commandFor("edit 'unclosed", "code", file, 9), Command{});
}
