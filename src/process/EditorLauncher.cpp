#include "process/EditorLauncher.h"

#include "process/ProcessEnvironment.h"
#include "support/GObjectPtr.h"
#include "support/PlatformError.h"
#include "support/Settings.h"
#include "support/Text.h"
#include "support/Translate.h"

#include <gio/gio.h>

namespace tarn::editor {

std::vector<std::string> commandFor(const std::string& userCommand, const std::string& defaultExecutable,
                                    const std::string& file, int line) {
    const std::string at = std::to_string(line > 0 ? line : 1);
    if (!text::trim(userCommand).empty()) {
        int count = 0;
        char** words = nullptr;
        if (!g_shell_parse_argv(userCommand.c_str(), &count, &words, nullptr)) return {};
        GStrvPtr owned(words);
        std::vector<std::string> command;
        bool named = false;
        for (int i = 0; i < count; ++i) {
            std::string word = words[i];
            named = named || text::contains(word, "{file}");
            word = text::replaceAll(text::replaceAll(word, "{file}", file), "{line}", at);
            command.push_back(word);
        }
        if (!named) command.push_back(file);
        return command;
    }
    // How the usual editors take a line.
    const std::string name = std::filesystem::path(defaultExecutable).filename().string();
    if (name == "code" || name == "codium" || name == "code-oss" || name == "code-insiders") {
        return {defaultExecutable, "--goto", file + ":" + at};
    }
    // GNOME Text Editor (43, Debian 12's) takes no line: "+17" would open as a file of that name.
    if (name == "gnome-text-editor") return {defaultExecutable, file};
    if (name == "gedit" || name == "mousepad" || name == "pluma" || name == "xed" ||
        name == "vim" || name == "gvim" || name == "nvim" || name == "emacs" || name == "nano") {
        return {defaultExecutable, "+" + at, file};
    }
    if (name == "kate" || name == "kwrite") return {defaultExecutable, "--line", at, file};
    if (name == "zed" || name == "zeditor" || name == "subl" || name == "sublime_text") return {defaultExecutable, file + ":" + at};
    return {};
}

namespace {

void spawn(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const auto& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    for (const auto& [name, value] : ProcessEnvironment::augmentedEnvironment()) environment.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    GError* error = nullptr;
    // Without a watch GLib reaps the editor itself; it is in no group of Tarn's, so it stays open.
    if (!g_spawn_async(nullptr, argv.data(), envp.data(), G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr, &error)) {
        GErrorPtr owned(error);
        throw PlatformError(tr::format(_("Could not start “%1”: %2"), {command.front(), error->message}));
    }
}

}  // namespace

void open(const std::filesystem::path& file, int line) {
    const std::string own = settings::get(settingsGroup, commandKey).value_or("");
    GObjectPtr<GFile> target(g_file_new_for_path(file.c_str()));
    GObjectPtr<GAppInfo> app;
    if (text::trim(own).empty()) {
        GError* error = nullptr;
        app.reset(g_file_query_default_handler(target.get(), nullptr, &error));
        if (!app) {
            GErrorPtr owned(error);
            throw PlatformError(tr::format(_("No application opens “%1”: %2"), {file.filename().string(), error->message}));
        }
    }
    const char* executable = app ? g_app_info_get_executable(app.get()) : nullptr;
    auto command = commandFor(own, executable ? executable : "", file.string(), line);
    if (!command.empty()) {
        spawn(command);
        return;
    }
    if (!app) throw PlatformError(tr::format(_("The editor command cannot be read: %1"), {own}));
    GPtr<GList, g_list_free> files(g_list_append(nullptr, target.get()));
    GError* error = nullptr;
    if (!g_app_info_launch(app.get(), files.get(), nullptr, &error)) {
        GErrorPtr owned(error);
        throw PlatformError(tr::format(_("Could not open “%1”: %2"), {file.filename().string(), error->message}));
    }
}

}  // namespace tarn::editor
