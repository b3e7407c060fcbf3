#pragma once
#include "app/AgentColumn.h"
#include "app/BrowserColumn.h"
#include "app/EditDialog.h"
#include "app/PreferencesWindow.h"
#include "app/ReviewDialog.h"
#include "app/VersionsWindow.h"
#include "workspace/AppViewModel.h"

#include <gtkmm/paned.h>
#include <memory>

namespace tarn {

// Everything inside the main window below its header bar: the browser column and the agent
// column beside it, split by a handle the user can drag, and the window's dialogs. It owns the
// workspace controller for the window's life and a little state of its own.
class ContentView : public Gtk::Paned {
public:
    ContentView(std::shared_ptr<AppViewModel> viewModel, Gtk::Window& window);
    ~ContentView() override;

    AppViewModel& viewModel() { return *viewModel_; }
    const std::shared_ptr<AppViewModel>& sharedViewModel() const { return viewModel_; }

    // The window's own state.
    Published<bool> showVersionManager{false};
    // The agent column beside the browser (not while the browser is expanded).
    Published<bool> showAgentColumn{true};

    BrowserColumn& browser() { return browser_; }
    AgentColumn& agent() { return agent_; }
    bool agentShown() const { return agent_.get_visible(); }
    // The dialogs are made the first time they are asked for, or shown: nothing that is not on
    // screen is built before the first frame.
    EditDialog& inlineEditDialog();
    EditDialog& changeDescriptionDialog();
    VersionsWindow& versionsWindow();
    ReviewDialog& reviewDialog();
    PreferencesWindow& preferences();

    // The agent column's width when the window first shows.
    static constexpr int agentColumnWidth = 380;

private:
    std::shared_ptr<AppViewModel> viewModel_;
    BrowserColumn browser_;
    AgentColumn agent_;
    Gtk::Window& window_;
    std::unique_ptr<EditDialog> inlineEdit_;
    std::unique_ptr<EditDialog> changeDescription_;
    std::unique_ptr<VersionsWindow> versions_;
    std::unique_ptr<ReviewDialog> review_;
    std::unique_ptr<PreferencesWindow> preferences_;
    bool placed_ = false;
};

}  // namespace tarn
