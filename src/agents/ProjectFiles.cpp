#include "agents/ProjectFiles.h"

#include "support/Files.h"
#include "support/Text.h"

#include <algorithm>
#include <dirent.h>
#include <set>
#include <sys/stat.h>

namespace tarn::projectfiles {

namespace {

const std::set<std::string> kSourceExtensions{"tsx", "jsx", "ts", "js", "mjs", "cjs", "mts", "cts", "html", "css",
                                              "scss", "md", "mdx", "vue", "svelte", "astro"};
const std::set<std::string> kAppFolders{"src", "app", "pages", "components", "lib", "views", "routes", "content"};
// Only folders inside the project count: the project itself may live under any folder (~/build/shop).
const std::set<std::string> kSkippedFolders{"node_modules", "dist", "build", "out", "coverage"};

bool hasSourceExtension(const fs::path& path) {
    std::string ext = path.extension().string();
    if (ext.size() < 2) return false;
    return kSourceExtensions.count(text::toLower(ext.substr(1))) > 0;
}

}  // namespace

bool resolvesInside(const fs::path& path, const fs::path& root) {
    std::error_code ec;
    fs::path real = fs::canonical(path, ec);
    if (ec) return false;
    fs::path realRoot = fs::canonical(root, ec);
    if (ec) return false;
    auto [rootEnd, realEnd] = std::mismatch(realRoot.begin(), realRoot.end(), real.begin(), real.end());
    return rootEnd == realRoot.end();
}

std::string relativePath(const fs::path& file, const fs::path& root) {
    fs::path relative = file.lexically_normal().lexically_relative(root.lexically_normal());
    if (relative.empty() || *relative.begin() == "..") return file.string();
    return relative.string();
}

std::vector<fs::path> walk(const fs::path& root, const std::function<bool(const fs::path&)>& wanted) {
    std::vector<fs::path> files;
    std::function<void(const fs::path&)> visit = [&](const fs::path& folder) {
        DIR* dir = opendir(folder.c_str());
        if (!dir) return;
        std::vector<std::string> names;
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
        }
        closedir(dir);
        std::sort(names.begin(), names.end());
        for (const auto& name : names) {
            fs::path child = folder / name;
            struct stat link {};
            if (lstat(child.c_str(), &link) != 0) continue;
            if (S_ISDIR(link.st_mode)) {
                if (!kSkippedFolders.count(name)) visit(child);
                continue;
            }
            if (S_ISLNK(link.st_mode)) {
                // A link is listed only when it leads to a file inside the project.
                struct stat target {};
                if (stat(child.c_str(), &target) != 0 || S_ISDIR(target.st_mode)) continue;
                if (!resolvesInside(child, root)) continue;
            }
            if (wanted(child)) files.push_back(child);
        }
    };
    visit(root);
    return files;
}

bool isMessageFile(const fs::path& file, const fs::path& root) {
    const std::string ext = text::toLower(file.extension().string());
    if (ext != ".json" && ext != ".yaml" && ext != ".yml") return false;
    if (file.parent_path() == root) return false;
    const std::string name = text::toLower(file.filename().string());
    return !text::startsWith(name, "package") && !text::startsWith(name, "tsconfig") && !text::startsWith(name, "jsconfig") &&
           !text::contains(name, ".config.") && name != "manifest.json" && name != "components.json";
}

std::vector<fs::path> sourceFiles(const fs::path& root) {
    return walk(root, [](const fs::path& file) { return hasSourceExtension(file); });
}

std::vector<fs::path> sourceFilesHintFirst(const std::optional<fs::path>& hinted, const fs::path& root) {
    std::vector<fs::path> files;
    if (hinted) files.push_back(*hinted);
    for (auto& file : sourceFiles(root)) {
        if (!hinted || file != *hinted) files.push_back(std::move(file));
    }
    return files;
}

std::optional<std::string> readText(const fs::path& file) {
    std::error_code ec;
    auto size = fs::file_size(file, ec);
    if (ec || size > largestReadFile) return std::nullopt;
    std::string content;
    try {
        content = files::readFile(file, largestReadFile);
    } catch (const std::exception&) {
        return std::nullopt;  // unreadable
    }
    if (!text::isValidUtf8(content)) return std::nullopt;
    return content;
}

std::optional<fs::path> resolveHint(const std::string& hint, const fs::path& root) {
    if (hint.empty()) return std::nullopt;
    std::string trimmed = text::trim(hint);
    fs::path file = text::startsWith(trimmed, "/") ? fs::path(trimmed) : root / trimmed;
    if (!files::exists(file)) return std::nullopt;
    // A hint comes from the page: it may never lead a write outside the project.
    if (!resolvesInside(file, root)) return std::nullopt;
    return file;
}

bool inAppFolder(const std::string& relative) {
    auto slash = relative.find('/');
    return slash != std::string::npos && kAppFolders.count(relative.substr(0, slash));
}

bool isDocument(const std::string& relative) {
    std::string name = text::toLower(fs::path(relative).filename().string());
    for (const char* doc : {"readme", "changelog", "license", "contributing", "code_of_conduct"}) {
        if (text::startsWith(name, doc)) return true;
    }
    return text::toLower(fs::path(relative).extension().string()) == ".md" && !inAppFolder(relative);
}

}  // namespace tarn::projectfiles
