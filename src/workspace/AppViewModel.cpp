#include "workspace/AppViewModel.h"
#include "process/Sandbox.h"
#include "support/Translate.h"

#include "agents/rendered/ProjectSearch.h"
#include "process/EditorLauncher.h"
#include "process/ProcessGroupGuard.h"
#include "process/ServerHandover.h"
#include "support/Settings.h"
#include "workspace/ErrorReports.h"
#include "support/Text.h"
#include "support/Trace.h"

#include <algorithm>
#include <filesystem>

namespace tarn {

namespace {

// Where a project's own settings are kept.
std::string projectGroup(const Url& root) { return "project " + root.path(); }

}  // namespace


std::shared_ptr<AppViewModel> AppViewModel::create(AppViewModelOptions options) {
    std::shared_ptr<AppViewModel> model(new AppViewModel(options));
    model->owner_.set(model);
    model->chat_.append(AgentMessage(AgentRole::assistant,
                                     _("Open a project folder and I will boot the environment, run the app, and apply "
                                       "UI changes from this panel.")));
    // The tools are asked once a launch, after the window's first frame and, while the project
    // opened with it starts, once its page is in (a few seconds at most): their probes start node
    // twice, and only the agent's status line waits for them. Whatever needs them sooner asks itself.
    postWhenIdle([weak = std::weak_ptr<AppViewModel>(model)] {
        spawn([](std::weak_ptr<AppViewModel> weak) -> Task<void> {
            for (int wait = 0; wait < 20; ++wait) {
                if (auto self = weak.lock(); !self || !self->browser_.awaitingPage()) break;
                co_await sleepFor(std::chrono::milliseconds(250));
            }
            if (auto self = weak.lock()) co_await self->runtimes_.ensureKnown();
        }(weak));
    });
    spawn([](std::weak_ptr<AppViewModel> weak) -> Task<void> {
        auto command = co_await inBackground([] { return settings::get(editor::settingsGroup, editor::commandKey); });
        if (auto self = weak.lock(); self && command) self->editorCommand = *command;
    }(model));
    return model;
}

AppViewModel::~AppViewModel() { shutdown(); }

void AppViewModel::shutdown() {
    lifetime_.cancel();
    requests_.cancel();
    thinking_.stop();
    server_.shutdown();
}

Task<void> AppViewModel::processesEnded() {
    return waitForProcessGroupsToEnd(ProcessGroupGuard::grace + std::chrono::milliseconds(500));
}

void AppViewModel::openProject(const FolderPicker& picker) {
    picker(FolderPickerRequest{_("_Open"), _("Open Project")},
           [weak = weak_from_this()](std::optional<Url> folder) {
               auto self = weak.lock();
               if (self && folder) spawn(self->loadProject(*folder));
           });
}

void AppViewModel::openFolder(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) {
        chat_.appendSystemMessage(tr::format(_("Could not open %1: there is no such folder."), {path}));
    } else if (!std::filesystem::is_directory(status)) {
        chat_.appendSystemMessage(tr::format(_("Could not open %1: it is not a folder."), {path}));
    } else {
        // Started now: its first step (the remembered plan and its server) goes to a worker at once.
        spawnNow(loadProject(Url::forFile(path)));
    }
}

Task<void> AppViewModel::loadProject(Url folder) {
    auto self = shared_from_this();
    // First, off the main thread: a server of the user's already running for this project, else a
    // plan made from the project's inputs as they are now, whose server starts right there (the
    // window may still be being built).
    struct Start {
        std::optional<ExternalServer> external;
        std::optional<ProjectContext> remembered;
        bool started = false;
        std::optional<std::string> deviceWidth;
    };
    browser_.prepare();
    const bool serverIdle = !server_.controller().isRunning();
    // A server the launcher started for this window is Tarn's own, not one found running.
    const int ownGroup = server_.controller().isRunning() ? server_.controller().processGroup() : handover::pendingGroup();
    Start start = co_await inBackground([this, folder, serverIdle, ownGroup, plans = project_.plansFolder()] {
        Start s;
        s.remembered = rememberedPlan::recall(folder.path(), plans);
        s.external = ExternalServer::find(folder.path(), s.remembered ? std::max(s.remembered->defaultURL.port(), 0) : 0, ownGroup);
        if (s.remembered && !s.external && serverIdle) s.started = server_.startAtOnce(*s.remembered);
        s.deviceWidth = settings::get(projectGroup(folder), "device-width");
        return s;
    });
    trace::mark("opening: plan and server");
    if (start.remembered) {
        project_.takeRemembered(*start.remembered);
    } else {
        // Planning needs the tools' answer: they are asked while the folder is read.
        spawn(runtimes_.ensureKnown());
        if (auto failure = co_await project_.open(folder)) {
            chat_.appendSystemMessage(tr::format(_("Project bootstrap failed: %1"), {*failure}));
            server_.fail(*failure);
            co_return;
        }
    }
    const ProjectContext context = *project_.context();
    server_.clearLog();
    requests_.touchedFiles = std::vector<std::string>{};
    selection_.clear();
    history_.use(context.rootURL);
    // A width chosen in this session is taken as chosen: its write may not have landed yet.
    if (auto chosen = chosenWidths_.find(context.rootURL.path()); chosen != chosenWidths_.end()) {
        browser_.deviceWidth = chosen->second;
    } else {
        browser_.deviceWidth = start.deviceWidth ? fromName<DeviceWidth>(*start.deviceWidth).value_or(DeviceWidth::desktop) : DeviceWidth::desktop;
    }
    chat_.appendSystemMessage(start.remembered ? _("Project loaded. Its package files and instructions are unchanged since the "
                                             "last start-up plan, so that plan is used.")
                                         : _("Project loaded. Building runtime instructions..."));
    // The preview starts loading the address now; it waits for the server to answer.
    if (start.external) {
        server_.attach(*start.external);
    } else {
        browser_.open(context.defaultURL);
    }
    if (start.remembered) {
        if (start.started) {
            server_.startedAtOnce(context);
        } else if (!start.external) {
            co_await installAndStartServer();
        }
    } else {
        co_await planStartupCommands(false);
        if (!start.external) {
            // The git listing goes on while the server starts: the preview is what the user waits for.
            Started listing(refreshVersions());
            co_await installAndStartServer();
            co_await listing;
        }
    }
    if (start.remembered || start.external) co_await refreshVersions();
    co_await history_.prepare();
}

Task<void> AppViewModel::openInEditor(std::string selectionKey) {
    const auto& targets = *selection_.selectedInspectTargets;
    auto found = std::find_if(targets.begin(), targets.end(), [&](const InspectTarget& t) { return t.selectionKey == selectionKey; });
    const auto root = project_.root();
    if (found == targets.end() || !root) co_return;
    if (found->fileGuess.empty()) {
        chat_.appendSystemMessage(_("Where this element comes from is not known, so there is no file to open."));
        co_return;
    }
    co_await openFile(std::filesystem::path(root->path()) / found->fileGuess, found->line);
}

Task<void> AppViewModel::openLocation(std::string location) {
    const auto root = project_.root();
    if (!root) co_return;
    // "src/App.jsx:12" or "src/App.jsx", inside the project.
    int line = 1;
    std::string path = location;
    if (auto colon = location.rfind(':'); colon != std::string::npos && colon + 1 < location.size() &&
                                          location.find_first_not_of("0123456789", colon + 1) == std::string::npos) {
        path = location.substr(0, colon);
        line = std::max(1, std::atoi(location.c_str() + colon + 1));
    }
    const std::filesystem::path relative = std::filesystem::path(path).lexically_normal();
    if (relative.empty() || relative.is_absolute() || *relative.begin() == "..") {
        chat_.appendSystemMessage(tr::format(_("%1 is not inside the project, so it is not opened."), {location}));
        co_return;
    }
    co_await openFile(std::filesystem::path(root->path()) / relative, line);
}

Task<void> AppViewModel::openFile(std::filesystem::path file, int line) {
    auto self = shared_from_this();
    std::optional<std::string> failure;
    try {
        co_await inBackground([file, line] { editor::open(file, line); });
    } catch (const std::exception& e) {
        failure = e.what();
    }
    if (failure) chat_.appendSystemMessage(tr::format(_("Could not open the editor: %1"), {*failure}));
}

void AppViewModel::saveSetting(std::string group, std::string key, std::string value, const char* failurePattern) {
    spawn([](std::weak_ptr<AppViewModel> weak, std::string group, std::string key, std::string value,
             const char* failurePattern) -> Task<void> {
        std::optional<std::string> failure;
        try {
            co_await inBackground([&] { settings::set(group, key, value); });
        } catch (const std::exception& e) {
            failure = e.what();
        }
        if (auto self = weak.lock(); self && failure && failurePattern) {
            self->chat_.appendSystemMessage(tr::format(_(failurePattern), {*failure}));
        }
    }(weak_from_this(), std::move(group), std::move(key), std::move(value), failurePattern));
}

void AppViewModel::setEditorCommand(std::string command) {
    editorCommand = command;
    saveSetting(editor::settingsGroup, editor::commandKey, std::move(command), N_("Could not save the editor command: %1"));
}

void AppViewModel::saveSandboxSetting(const std::function<void()>& write) {
    try {
        write();
    } catch (const std::exception& e) {
        chat_.appendSystemMessage(tr::format(_("Could not save the sandbox setting: %1"), {e.what()}));
    }
}

bool AppViewModel::sandboxOffEverywhere() const { return sandbox::turnedOffEverywhere(); }

bool AppViewModel::sandboxOffForProject() const {
    const auto root = project_.root();
    return root && sandbox::turnedOff(root->path());
}

void AppViewModel::setSandboxOffEverywhere(bool off) {
    if (sandboxOffEverywhere() == off) return;
    saveSandboxSetting([&] { sandbox::setTurnedOffEverywhere(off); });
}

void AppViewModel::setSandboxOffForProject(bool off) {
    const auto root = project_.root();
    if (!root || sandboxOffForProject() == off) return;
    saveSandboxSetting([&] { sandbox::setTurnedOff(root->path(), off); });
}

void AppViewModel::tryStyle(const std::string& property, const std::string& value) {
    if (const auto& target = *selection_.selectedInspectTarget) browser_.tryStyle(target->selectionKey, property, value);
}

bool AppViewModel::agentToolsSandboxed() const { return sandbox::agentToolsOn(); }

void AppViewModel::setAgentToolsSandboxed(bool on) {
    if (agentToolsSandboxed() == on) return;
    saveSandboxSetting([&] { sandbox::setAgentToolsOn(on); });
}

void AppViewModel::setDeviceWidth(DeviceWidth width) {
    browser_.deviceWidth = width;
    // Not remembered when it cannot be saved: the choice still holds for this session.
    if (const auto root = project_.root()) chosenWidths_[root->path()] = width;
    if (const auto root = project_.root()) saveSetting(projectGroup(*root), "device-width", std::string(nameOf(width)), nullptr);
}

void AppViewModel::handleInspectSelection(const InspectTarget& target) {
    selection_.handleInspectSelection(target);
    const auto root = project_.root();
    if (!target.isSelected || !root) return;
    spawn([](std::weak_ptr<AppViewModel> weak, InspectTarget target, std::filesystem::path root) -> Task<void> {
        InspectTarget located = co_await inBackground([target, root] { return rendered::locateElement(target, root); });
        if (auto self = weak.lock()) self->selection_.located(located);
    }(weak_from_this(), target, root->path()));
}

std::optional<Uuid> AppViewModel::messageID(const std::string& text) const {
    for (const auto& m : *chat_.messages) {
        if (m.id.string() == text) return m.id;
    }
    return std::nullopt;
}

Task<void> AppViewModel::installAndStartServer() {
    if (!project_.context()) {
        chat_.appendSystemMessage(_("Open a project first."));
        co_return;
    }
    auto self = shared_from_this();
    co_await server_.installAndStart(*project_.context(), lifetime_);
}

void AppViewModel::askAgentToFix(const std::string& line) {
    std::string error = line;
    for (const char* prefix : {"[SERVER] ", "[ERROR] "}) {
        if (text::startsWith(error, prefix)) error.erase(0, std::string_view(prefix).size());
    }
    const auto root = project_.root();
    const auto place = root ? errorReports::placeNamed(error, root->path()) : std::nullopt;
    requests_.draftPrompt = errorReports::fixRequest(error, *browser_.routeLabel, place);
}

void AppViewModel::copyLogs(const Clipboard& clipboard) {
    std::vector<std::string> console;
    for (const auto& entry : *browser_.consoleEntries) console.push_back(entry.line());
    std::vector<std::string> server(server_.serverLogLines->begin(), server_.serverLogLines->end());
    clipboard("=== Browser Console ===\n" + text::join(console, "\n") + "\n\n=== Server Log ===\n" + text::join(server, "\n"));
    chat_.notify(_("Console logs copied."));

}

}  // namespace tarn
