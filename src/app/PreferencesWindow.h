#pragma once
#include "support/GObjectPtr.h"
#include "workspace/AppViewModel.h"

#include <adwaita.h>
#include <gtkmm/window.h>
#include <string>
#include <vector>

namespace tarn {

// Tarn's preferences, a dialog of the main window: the editor that "Open in Editor" uses, and
// the agents spoken to over the Agent Client Protocol.
class PreferencesWindow {
public:
    PreferencesWindow(Gtk::Window& parent, AppViewModel& model);
    ~PreferencesWindow();
    PreferencesWindow(const PreferencesWindow&) = delete;
    PreferencesWindow& operator=(const PreferencesWindow&) = delete;

    void present();
    GtkWindow* window() const { return GTK_WINDOW(window_.get()); }
    GtkWidget* editorRow() const { return editor_; }
    // The agents' rows as listed ("Gemini CLI — gemini --acp"), and the add form.
    std::vector<std::string> agentRows() const;
    void addAgent(const std::string& name, const std::string& commandLine);
    std::string agentError() const;
    // What agents may do without asking ("Edit files — Claude Code · ~/bakery"), and taking one back.
    std::vector<std::string> allowedRows() const;
    void takeBack(std::size_t row);

private:
    void showAgents();
    void showAllowed();

    AppViewModel& model_;
    GObjectPtr<GtkWidget> window_;  // an AdwPreferencesWindow
    GtkWidget* editor_;  // an AdwEntryRow, the window's
    sigc::connection watch_, agentsWatch_, allowedWatch_;
    GtkWidget* agents_;     // the group of agent rows
    std::vector<GtkWidget*> agentRows_;
    GtkWidget* agentName_;  // the add form's entry rows and its message
    GtkWidget* agentCommand_;
    GtkWidget* agentError_;
    GtkWidget* sandboxEverywhere_;  // the sandbox's switches
    GtkWidget* sandboxProject_;
    GtkWidget* allowed_;  // the group of what is always allowed
    std::vector<GtkWidget*> allowedRows_;
};

}  // namespace tarn
