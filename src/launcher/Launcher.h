#pragma once
#include <string>

namespace tarn::launcher {

// What the `tarn` command does before the window exists: given one project folder whose
// remembered plan still holds, it starts that project's dev server (in its own group, under its
// guard) and hands it over, then becomes `window` by exec. The server then starts while the
// window's libraries load rather than after. Returns only when exec fails.
int startServerThenExec(int argc, char** argv, const std::string& window);

// The window program beside this one: in the build tree, or the installed libexec folder.
std::string windowProgram();

}  // namespace tarn::launcher
