#include "app/Dialogs.h"
#include "app/PreferencesWindow.h"

#include "agents/acp/AcpAgentList.h"
#include "support/Text.h"
#include "support/Translate.h"

#include <algorithm>
#include <gtkmm/builder.h>

namespace tarn {

PreferencesWindow::PreferencesWindow(Gtk::Window& parent, AppViewModel& model) : model_(model) {
    auto builder = Gtk::Builder::create_from_resource("/dev/tarn/Tarn/ui/preferences.ui");
    const auto widget = [&](const char* id) { return GTK_WIDGET(builder->get_object(id)->gobj()); };
    window_.reset(GTK_WIDGET(g_object_ref(widget("window"))));
    makeModal(GTK_WINDOW(window_.get()), parent.gobj());
    editor_ = widget("editor");
    agents_ = widget("agents");
    allowed_ = widget("allowed");
    agentName_ = widget("agent-name");
    agentCommand_ = widget("agent-command");
    agentError_ = widget("agent-error");
    sandboxEverywhere_ = widget("sandbox-everywhere");
    sandboxProject_ = widget("sandbox-project");
    GtkWidget* sandboxAgents = widget("sandbox-agents");

    gtk_editable_set_text(GTK_EDITABLE(editor_), model_.editorCommand->c_str());
    g_signal_connect(editor_, "apply", G_CALLBACK(+[](AdwEntryRow* row, gpointer self) {
                         static_cast<PreferencesWindow*>(self)->model_.setEditorCommand(gtk_editable_get_text(GTK_EDITABLE(row)));
                     }),
                     this);

    gtk_switch_set_active(GTK_SWITCH(sandboxEverywhere_), !model_.sandboxOffEverywhere());
    gtk_switch_set_active(GTK_SWITCH(sandboxProject_), model_.sandboxOffForProject());
    gtk_switch_set_active(GTK_SWITCH(sandboxAgents), model_.agentToolsSandboxed());
    g_signal_connect(sandboxEverywhere_, "notify::active", G_CALLBACK(+[](GtkSwitch* s, GParamSpec*, gpointer self) {
                         static_cast<PreferencesWindow*>(self)->model_.setSandboxOffEverywhere(!gtk_switch_get_active(s));
                     }),
                     this);
    g_signal_connect(sandboxProject_, "notify::active", G_CALLBACK(+[](GtkSwitch* s, GParamSpec*, gpointer self) {
                         static_cast<PreferencesWindow*>(self)->model_.setSandboxOffForProject(gtk_switch_get_active(s));
                     }),
                     this);
    g_signal_connect(sandboxAgents, "notify::active", G_CALLBACK(+[](GtkSwitch* s, GParamSpec*, gpointer self) {
                         static_cast<PreferencesWindow*>(self)->model_.setAgentToolsSandboxed(gtk_switch_get_active(s));
                     }),
                     this);

    g_signal_connect(agentCommand_, "apply", G_CALLBACK(+[](AdwEntryRow*, gpointer self) {
                         auto* me = static_cast<PreferencesWindow*>(self);
                         me->addAgent(gtk_editable_get_text(GTK_EDITABLE(me->agentName_)), gtk_editable_get_text(GTK_EDITABLE(me->agentCommand_)));
                     }),
                     this);
    agentsWatch_ = model_.runtimes().acpAgents.observe([this] { showAgents(); });
    showAgents();
    allowedWatch_ = model_.runtimes().alwaysAllowed.observe([this] { showAllowed(); });
    showAllowed();

    // The saved command, once read, unless the user is typing another.
    watch_ = model_.editorCommand.observe([this] {
        if (!gtk_widget_has_focus(editor_) && !gtk_widget_is_visible(window_.get())) {
            gtk_editable_set_text(GTK_EDITABLE(editor_), model_.editorCommand->c_str());
        }
    });
}

namespace {

// A row of a group's list, kept in `rows` so the list can be made again.
GtkWidget* addRow(GtkWidget* group, std::vector<GtkWidget*>& rows, const std::string& title, const std::string& subtitle) {
    GtkWidget* row = adw_action_row_new();
    adw_preferences_row_set_use_markup(ADW_PREFERENCES_ROW(row), FALSE);
    adw_preferences_row_set_title(ADW_PREFERENCES_ROW(row), title.c_str());
    adw_action_row_set_subtitle(ADW_ACTION_ROW(row), subtitle.c_str());
    adw_preferences_group_add(ADW_PREFERENCES_GROUP(group), row);
    rows.push_back(row);
    return row;
}

void clearRows(GtkWidget* group, std::vector<GtkWidget*>& rows) {
    for (GtkWidget* row : rows) adw_preferences_group_remove(ADW_PREFERENCES_GROUP(group), row);
    rows.clear();
}

// A flat trash button at the row's end, named for what it takes away.
GtkWidget* addRemoveButton(GtkWidget* row, const std::string& label, GCallback clicked, gpointer self) {
    GtkWidget* remove = gtk_button_new_from_icon_name("user-trash-symbolic");
    gtk_widget_set_valign(remove, GTK_ALIGN_CENTER);
    gtk_widget_add_css_class(remove, "flat");
    gtk_widget_set_tooltip_text(remove, label.c_str());
    gtk_accessible_update_property(GTK_ACCESSIBLE(remove), GTK_ACCESSIBLE_PROPERTY_LABEL, label.c_str(), -1);
    g_signal_connect(remove, "clicked", clicked, self);
    adw_action_row_add_suffix(ADW_ACTION_ROW(row), remove);
    return remove;
}

std::vector<std::string> rowTexts(const std::vector<GtkWidget*>& rows) {
    std::vector<std::string> out;
    for (GtkWidget* row : rows) {
        out.push_back(std::string(adw_preferences_row_get_title(ADW_PREFERENCES_ROW(row))) + " — " +
                      adw_action_row_get_subtitle(ADW_ACTION_ROW(row)));
    }
    return out;
}

std::string allowedTitle(const AlwaysAllowed& a) {
    switch (a.kind) {
        case AgentStep::Kind::run: return tr::format(_("Run “%1”"), {a.command});
        case AgentStep::Kind::edit: return _("Edit files");
        case AgentStep::Kind::read: return _("Read files");
        case AgentStep::Kind::search: return _("Search the project");
        case AgentStep::Kind::web: return _("Fetch from the web");
        case AgentStep::Kind::think:
        case AgentStep::Kind::other: break;
    }
    return _("Use its other tools");
}

std::string allowedSubtitle(const AlwaysAllowed& a) {
    const auto runtime = runtimeFromId(a.agent);
    const std::string home = g_get_home_dir();
    std::string where = a.project;
    if (!home.empty() && (where == home || where.starts_with(home + "/"))) where = "~" + where.substr(home.size());
    return tr::format(_("%1 · %2"), {runtime ? displayName(*runtime) : a.agent, where});
}

}  // namespace

void PreferencesWindow::showAgents() {
    clearRows(agents_, agentRows_);
    const auto saved = acpagents::saved();
    for (const auto& agent : *model_.runtimes().acpAgents) {
        GtkWidget* row = addRow(agents_, agentRows_, agent.name, acpagents::commandLine(agent));
        if (std::none_of(saved.begin(), saved.end(), [&](const AcpAgentEntry& a) { return a.name == agent.name; })) continue;
        auto clicked = +[](GtkButton* button, gpointer self) {
            auto* me = static_cast<PreferencesWindow*>(self);
            std::string name = static_cast<const char*>(g_object_get_data(G_OBJECT(button), "agent"));
            spawn([](AppViewModel& model, std::string name) -> Task<void> {
                try {
                    co_await model.runtimes().removeAgent(name);
                } catch (const std::exception& e) {
                    model.chat().notify(e.what());
                }
            }(me->model_, name));
        };
        GtkWidget* remove = addRemoveButton(row, tr::format(_("Remove %1"), {agent.name}), G_CALLBACK(clicked), this);
        g_object_set_data_full(G_OBJECT(remove), "agent", g_strdup(agent.name.c_str()), g_free);
    }
    if (agentRows_.empty()) addRow(agents_, agentRows_, _("No agents yet"), _("Add one below with the command that starts it."));
}

void PreferencesWindow::showAllowed() {
    clearRows(allowed_, allowedRows_);
    const auto& list = *model_.runtimes().alwaysAllowed;
    for (std::size_t i = 0; i < list.size(); ++i) {
        GtkWidget* row = addRow(allowed_, allowedRows_, allowedTitle(list[i]), allowedSubtitle(list[i]));
        auto clicked = +[](GtkButton* button, gpointer self) {
            static_cast<PreferencesWindow*>(self)->takeBack(GPOINTER_TO_SIZE(g_object_get_data(G_OBJECT(button), "row")));
        };
        GtkWidget* remove = addRemoveButton(row, tr::format(_("Ask Again Before: %1"), {allowedTitle(list[i])}), G_CALLBACK(clicked), this);
        g_object_set_data(G_OBJECT(remove), "row", GSIZE_TO_POINTER(i));
    }
    if (allowedRows_.empty()) addRow(allowed_, allowedRows_, _("Nothing yet"), _("Agents ask before each edit and command."));
}

void PreferencesWindow::takeBack(std::size_t row) {
    const auto list = *model_.runtimes().alwaysAllowed;
    if (row >= list.size()) return;
    try {
        model_.runtimes().takeBack(list[row]);
    } catch (const std::exception& e) {
        model_.chat().notify(e.what());
    }
}

std::vector<std::string> PreferencesWindow::allowedRows() const { return rowTexts(allowedRows_); }

std::vector<std::string> PreferencesWindow::agentRows() const { return rowTexts(agentRows_); }

std::string PreferencesWindow::agentError() const {
    return gtk_widget_get_visible(agentError_) ? gtk_label_get_text(GTK_LABEL(agentError_)) : "";
}

void PreferencesWindow::addAgent(const std::string& name, const std::string& commandLine) {
    auto parsed = acpagents::parse(name, commandLine);
    gtk_label_set_text(GTK_LABEL(agentError_), parsed.error.c_str());
    gtk_widget_set_visible(agentError_, !parsed.agent);
    if (!parsed.agent) return;
    gtk_editable_set_text(GTK_EDITABLE(agentName_), "");
    gtk_editable_set_text(GTK_EDITABLE(agentCommand_), "");
    spawn([](AppViewModel& model, AcpAgentEntry agent, GtkWidget* error) -> Task<void> {
        std::string failure;
        try {
            co_await model.runtimes().addAgent(std::move(agent));
        } catch (const std::exception& e) {
            failure = e.what();
        }
        if (failure.empty()) co_return;
        gtk_label_set_text(GTK_LABEL(error), failure.c_str());
        gtk_widget_set_visible(error, TRUE);
    }(model_, std::move(*parsed.agent), agentError_));
}

PreferencesWindow::~PreferencesWindow() {
    watch_.disconnect();
    agentsWatch_.disconnect();
    allowedWatch_.disconnect();
    gtk_window_destroy(GTK_WINDOW(window_.get()));
}

void PreferencesWindow::present() {
    gtk_editable_set_text(GTK_EDITABLE(editor_), model_.editorCommand->c_str());
    // The open project may have changed since the window was made.
    gtk_switch_set_active(GTK_SWITCH(sandboxProject_), model_.sandboxOffForProject());
    gtk_widget_set_sensitive(sandboxProject_, model_.project().root().has_value());
    gtk_window_present(GTK_WINDOW(window_.get()));
}

}  // namespace tarn
