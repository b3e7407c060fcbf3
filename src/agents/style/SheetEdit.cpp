#include "agents/style/SheetEdit.h"

#include "agents/ProjectFiles.h"
#include "agents/style/CssRules.h"
#include "support/Text.h"

#include <algorithm>

namespace tarn::style::sheets {

namespace fs = std::filesystem;

namespace {

bool isModule(const fs::path& file) { return file.filename().string().find(".module.") != std::string::npos; }

bool hasStyles(const fs::path& file) {
    const std::string ext = text::toLower(file.extension().string());
    return ext == ".css" || ext == ".pcss" || ext == ".postcss" || ext == ".vue" || ext == ".svelte" || ext == ".astro";
}

int lineAt(const std::string& content, std::size_t offset) {
    return 1 + static_cast<int>(std::count(content.begin(), content.begin() + static_cast<std::ptrdiff_t>(std::min(offset, content.size())), '\n'));
}

// A sheet's text and its rules the page serves with the selector under the same media query:
// those that set the property when some do.
struct Found {
    fs::path file;
    std::string content;
    std::vector<css::Rule> rules;
};

Found rulesIn(const fs::path& file, std::string content, const StyleSource& source, const std::string& property) {
    const std::string condition = css::normalisedCondition(source.condition);
    std::vector<css::Rule> all, setting;
    for (const auto& [begin, end] : css::styleRegions(content, file)) {
        for (const auto& rule : css::readRules(content, begin, end)) {
            if (rule.condition != condition || !css::sameSelector(rule.selector, source.selector, isModule(file))) continue;
            all.push_back(rule);
            if (css::declares(content, rule, property)) setting.push_back(rule);
        }
    }
    return Found{file, std::move(content), setting.empty() ? std::move(all) : std::move(setting)};
}

Found rulesIn(const fs::path& file, const StyleSource& source, const std::string& property) {
    auto content = projectfiles::readText(file);
    return content ? rulesIn(file, std::move(*content), source, property) : Found{file, {}, {}};
}

}  // namespace

std::optional<fs::path> sheetFile(const std::string& sheet, const fs::path& root) {
    if (sheet.empty() || sheet.front() != '/') return std::nullopt;
    const std::string path = sheet.substr(0, sheet.find('?'));
    return projectfiles::resolveHint(path, root);
}

std::optional<Edit> editRule(const fs::path& root, const StyleSource& source, const std::vector<std::string>& properties,
                             const std::string& value) {
    if (source.kind != StyleSource::Kind::rule || source.selector.empty() || properties.empty()) return std::nullopt;
    std::optional<Found> found;
    if (auto file = sheetFile(source.sheet, root)) {
        found = rulesIn(*file, source, properties.front());
    } else if (source.sheet.empty() || source.sheet.find("://") != std::string::npos) {
        // An address (a bundler's chunk): the one project file that has the rule.
        for (const auto& file : projectfiles::walk(root, hasStyles)) {
            auto here = rulesIn(file, source, properties.front());
            if (here.rules.empty()) continue;
            if (found) return std::nullopt;
            found = std::move(here);
        }
    }
    if (!found || found->rules.empty()) return std::nullopt;
    // The last one written is the one that wins among equals.
    const css::Rule& rule = found->rules.back();
    return Edit{found->file, css::setDeclarations(found->content, rule, properties, value), lineAt(found->content, rule.open)};
}

std::optional<int> ruleLine(const fs::path& file, const std::string& content, const StyleSource& source, const std::string& property) {
    if (source.kind != StyleSource::Kind::rule) return std::nullopt;
    const Found found = rulesIn(file, content, source, property);
    if (found.rules.empty()) return std::nullopt;
    return lineAt(found.content, found.rules.back().open);
}

std::optional<fs::path> ownSheet(const fs::path& root, const fs::path& elementFile, const std::string& elementSource, const InspectTarget& target) {
    const std::string ext = text::toLower(elementFile.extension().string());
    if (ext == ".vue" || ext == ".svelte") return elementFile;
    // import './App.css'
    for (std::size_t at = elementSource.find("import"); at != std::string::npos; at = elementSource.find("import", at + 6)) {
        std::size_t i = at + 6;
        while (i < elementSource.size() && (elementSource[i] == ' ' || elementSource[i] == '\t')) ++i;
        if (i >= elementSource.size() || (elementSource[i] != '"' && elementSource[i] != '\'')) continue;
        const std::size_t close = elementSource.find(elementSource[i], i + 1);
        if (close == std::string::npos) break;
        const fs::path imported = elementSource.substr(i + 1, close - i - 1);
        if (!imported.string().starts_with(".") || imported.extension() != ".css" || isModule(imported)) continue;
        if (auto file = projectfiles::resolveHint((elementFile.parent_path() / imported).lexically_normal().string(), root)) return file;
    }
    // A sheet the page already styles the element from.
    for (const auto& [name, source] : target.styleSources) {
        if (source.kind != StyleSource::Kind::rule) continue;
        auto file = sheetFile(source.sheet, root);
        if (file && text::toLower(file->extension().string()) == ".css" && !isModule(*file)) return file;
    }
    return std::nullopt;
}

bool hasRule(const fs::path& file, const std::string& content, const std::string& selector) {
    for (const auto& [begin, end] : css::styleRegions(content, file)) {
        for (const auto& rule : css::readRules(content, begin, end)) {
            if (!rule.nested && rule.condition.empty() && rule.selector == selector) return true;
        }
    }
    return false;
}

Edit setOwnRule(const fs::path& file, const std::string& content, const std::string& selector, const std::vector<std::string>& properties,
                const std::string& value) {
    const auto regions = css::styleRegions(content, file);
    for (const auto& [begin, end] : regions) {
        for (const auto& rule : css::readRules(content, begin, end)) {
            if (!rule.nested && rule.condition.empty() && rule.selector == selector) {
                return Edit{file, css::setDeclarations(content, rule, properties, value), lineAt(content, rule.open)};
            }
        }
    }
    const std::string rule = css::ruleText(selector, properties, value);
    if (regions.empty()) {
        // A Vue or Svelte file without styles gets a block of its own.
        std::string out = content;
        if (!out.empty() && out.back() != '\n') out += '\n';
        // A Vue component's own rules stay its own.
        out += text::toLower(file.extension().string()) == ".vue" ? "\n<style scoped>\n" : "\n<style>\n";
        const int line = lineAt(out, out.size());
        return Edit{file, out + rule + "</style>\n", line};
    }
    const std::size_t end = regions.front().second;
    std::string before = content.substr(0, end);
    while (!before.empty() && (before.back() == ' ' || before.back() == '\t')) before.pop_back();
    if (!before.empty() && before.back() != '\n') before += '\n';
    if (before.size() > 1 && before[before.size() - 2] != '\n' && before[before.size() - 2] != '>') before += '\n';
    const int line = lineAt(before, before.size());
    return Edit{file, before + rule + content.substr(end), line};
}

}  // namespace tarn::style::sheets
