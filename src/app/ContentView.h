#pragma once
#include "app/AgentColumn.h"
#include "app/BrowserColumn.h"
#include "app/ChangeDescriptionSheet.h"
#include "app/CompactBar.h"
#include "app/InlineEditSheet.h"
#include "app/SlideRevealer.h"
#include "app/TopBar.h"
#include "app/VersionsSheet.h"
#include "workspace/AppViewModel.h"

#include <gtkmm/box.h>
#include <memory>

namespace tarn {

// Everything inside the main window: the bar (full, or compact while the browser is expanded),
// the browser column and the agent column, and the three sheets. It owns the workspace controller
// for the window's life and a little state of its own.
class ContentView : public Gtk::Box {
public:
    ContentView(std::shared_ptr<AppViewModel> viewModel, Gtk::Window& window);
    ~ContentView() override;

    AppViewModel& viewModel() { return *viewModel_; }
    const std::shared_ptr<AppViewModel>& sharedViewModel() const { return viewModel_; }

    // The window's own state.
    Published<bool> showVersionManager{false};

    TopBar& topBar() { return topBar_; }
    CompactBar& compactBar() { return compactBar_; }
    SlideRevealer& topBarRevealer() { return topRevealer_; }
    SlideRevealer& compactBarRevealer() { return compactRevealer_; }
    SlideRevealer& agentRevealer() { return agentRevealer_; }
    BrowserColumn& browser() { return browser_; }
    AgentColumn& agent() { return agent_; }
    InlineEditSheet& inlineEditSheet() { return *inlineEditSheet_; }
    ChangeDescriptionSheet& changeDescriptionSheet() { return *changeDescriptionSheet_; }
    VersionsSheet& versionsSheet() { return *versionsSheet_; }

private:
    std::shared_ptr<AppViewModel> viewModel_;
    TopBar topBar_;
    CompactBar compactBar_;
    SlideRevealer topRevealer_{SlideRevealer::Edge::top, true};
    SlideRevealer compactRevealer_{SlideRevealer::Edge::top, false};
    Gtk::Box row_{Gtk::Orientation::HORIZONTAL};
    BrowserColumn browser_;
    AgentColumn agent_;
    SlideRevealer agentRevealer_{SlideRevealer::Edge::trailing, true};
    std::unique_ptr<InlineEditSheet> inlineEditSheet_;
    std::unique_ptr<ChangeDescriptionSheet> changeDescriptionSheet_;
    std::unique_ptr<VersionsSheet> versionsSheet_;
};

}  // namespace tarn
