#include "app/MainWindow.h"

#include "app/Bind.h"
#include "app/GlowFrame.h"
#include "app/RuntimeDetails.h"
#include "support/GObjectPtr.h"

#include <adwaita.h>
#include <giomm/liststore.h>
#include <glib/gi18n-lib.h>
#include <gtkmm/application.h>
#include <gtkmm/droptarget.h>
#include <gtkmm/filechoosernative.h>

namespace tarn {

MainWindow::MainWindow(std::shared_ptr<AppViewModel> model)
    // libadwaita's window: no title bar of its own, the header bar is the top of its content.
    : Gtk::ApplicationWindow(GTK_APPLICATION_WINDOW(g_object_new(ADW_TYPE_APPLICATION_WINDOW, nullptr))),
      header_(*model), content_(std::move(model), *this), toastOverlay_(adw_toast_overlay_new()) {
    set_title("Tarn");
    add_css_class("tarn-main");
    // Closing hides it; the application then lets it go.
    set_hide_on_close(true);
    set_size_request(1024, 640);
    set_default_size(1440, 900);
    adw_toast_overlay_set_child(ADW_TOAST_OVERLAY(toastOverlay_), GTK_WIDGET(content_.gobj()));
    gtk_widget_set_vexpand(toastOverlay_, TRUE);
    frame_.append(header_);
    gtk_box_append(frame_.gobj(), toastOverlay_);
    adw_application_window_set_content(ADW_APPLICATION_WINDOW(gobj()), GTK_WIDGET(frame_.gobj()));
    GlowClock::shared().attach(*this);
    addActions();

    bind::pulls(*this, viewModel().chat().notice, [this] {
        const auto& notice = *viewModel().chat().notice;
        if (!notice) return;
        adw_toast_overlay_add_toast(ADW_TOAST_OVERLAY(toastOverlay_), adw_toast_new(notice->text.c_str()));
    });

    // A folder dropped on the window opens as if chosen in the folder picker.
    auto drop = Gtk::DropTarget::create(GDK_TYPE_FILE_LIST, Gdk::DragAction::COPY);
    drop->signal_drop().connect(
        [this](const Glib::ValueBase& value, double, double) {
            auto* list = static_cast<GdkFileList*>(g_value_get_boxed(value.gobj()));
            GPtr<GSList, g_slist_free> files(list ? gdk_file_list_get_files(list) : nullptr);
            GCharPtr path(files ? g_file_get_path(G_FILE(files->data)) : nullptr);
            if (path) viewModel().openFolder(path.get());
            return path != nullptr;
        },
        false);
    add_controller(drop);

    // Closing ends the server and any request; their process groups are seen to their end while
    // the application stays up a moment, without the window waiting for them.
    signal_close_request().connect(
        [this] {
            if (closing_) return false;
            closing_ = true;
            viewModel().shutdown();
            if (auto app = get_application()) {
                app->hold();
                spawn([](Glib::RefPtr<Gtk::Application> app) -> Task<void> {
                    co_await AppViewModel::processesEnded();
                    app->release();
                }(app));
            }
            return false;
        },
        false);
}

MainWindow::~MainWindow() {
    if (shortcuts_) shortcuts_->get_widget<Gtk::Window>("help_overlay")->destroy();
}

void MainWindow::pickFolder(const FolderPickerRequest& request, std::function<void(std::optional<Url>)> answer) {
    auto chooser = Gtk::FileChooserNative::create(request.title, *this, Gtk::FileChooser::Action::SELECT_FOLDER,
                                                  request.acceptLabel, _("_Cancel"));
    chooser->set_modal(true);
    chooser->set_select_multiple(false);
    chooser->signal_response().connect([chooser, answer](int response) {
        std::optional<Url> folder;
        if (response == GTK_RESPONSE_ACCEPT) {
            if (auto file = chooser->get_file(); file && !file->get_path().empty()) folder = Url::forFile(file->get_path());
        }
        answer(folder);
        chooser->hide();
    });
    chooser->show();
}

Gtk::Window& MainWindow::shortcutsWindow() {
    if (!shortcuts_) {
        shortcuts_ = Gtk::Builder::create_from_resource("/dev/tarn/Tarn/ui/shortcuts.ui");
        auto* window = shortcuts_->get_widget<Gtk::Window>("help_overlay");
        window->set_transient_for(*this);
        window->set_hide_on_close(true);
    }
    return *shortcuts_->get_widget<Gtk::Window>("help_overlay");
}

void MainWindow::addFlagAction(const char* name, Published<bool>& flag) {
    auto action = add_action_bool(name, [&flag] { flag = !*flag; }, *flag);
    flag.observe(sigc::track_obj([action, &flag] { action->set_state(Glib::Variant<bool>::create(*flag)); }, *this));
}

void MainWindow::addActions() {
    AppViewModel& model = viewModel();
    add_action("show-help-overlay", [this] { shortcutsWindow().present(); });
    add_action("open-project", [this] {
        viewModel().openProject([this](const FolderPickerRequest& request, auto answer) { pickFolder(request, answer); });
    });
    add_action("start-server", [&model] { spawn(model.installAndStartServer()); });
    add_action("stop-server", [&model] { model.server().stop(); });
    add_action("reload-preview", [&model] { model.browser().reload(); });
    add_action("load-address", [&model] { model.browser().loadTypedAddress(); });
    add_action("focus-address", [this] {
        header_.address().grab_focus();
        header_.address().select_region(0, -1);
    });
    add_action("copy-logs", [this, &model] {
        auto clipboard = get_clipboard();
        model.copyLogs([clipboard](const std::string& text) { clipboard->set_text(text); });
    });

    // Versions.
    add_action("show-versions", [this] {
        content_.versionsWindow().showPage(VersionsWindow::Page::versions);
        content_.showVersionManager = true;
    });
    add_action("refresh-versions", [&model] { spawn(model.refreshVersions()); });
    add_action("create-version", [&model] { spawn(model.createVersion()); });
    add_action_with_parameter("checkout", Glib::VARIANT_TYPE_STRING, [&model](const Glib::VariantBase& parameter) {
        spawn(model.switchVersion(Glib::VariantBase::cast_dynamic<Glib::Variant<Glib::ustring>>(parameter).get()));
    });

    // A reply's changes and the project's history; a reply or a checkpoint is named by its id.
    auto withText = [](auto fn) {
        return [fn](const Glib::VariantBase& parameter) {
            fn(Glib::VariantBase::cast_dynamic<Glib::Variant<Glib::ustring>>(parameter).get().raw());
        };
    };
    add_action_with_parameter("undo-reply", Glib::VARIANT_TYPE_STRING, withText([&model](const std::string& id) {
        if (auto reply = model.messageID(id)) spawn(model.history().undo(*reply));
    }));
    add_action_with_parameter("redo-reply", Glib::VARIANT_TYPE_STRING, withText([&model](const std::string& id) {
        if (auto reply = model.messageID(id)) spawn(model.history().redo(*reply));
    }));
    add_action_with_parameter("review-reply", Glib::VARIANT_TYPE_STRING, withText([&model](const std::string& id) {
        if (auto reply = model.messageID(id)) spawn(model.history().showReview(*reply));
    }));
    add_action_with_parameter("restore-checkpoint", Glib::VARIANT_TYPE_STRING,
                              withText([&model](const std::string& id) { spawn(model.history().restore(id)); }));
    add_action_with_parameter("open-in-editor", Glib::VARIANT_TYPE_STRING,
                              withText([&model](const std::string& key) { spawn(model.openInEditor(key)); }));
    add_action_with_parameter("answer-permission", Glib::VariantType("(ss)"), [&model](const Glib::VariantBase& parameter) {
        const auto [id, option] = Glib::VariantBase::cast_dynamic<Glib::Variant<std::tuple<Glib::ustring, Glib::ustring>>>(parameter).get();
        if (auto message = model.messageID(id.raw())) model.requests().answerPermission(*message, option.raw());
    });
    add_action_with_parameter("open-location", Glib::VARIANT_TYPE_STRING,
                              withText([&model](const std::string& location) { spawn(model.openLocation(location)); }));
    add_action("preferences", [this] { content_.preferences().present(); });
    add_action_with_parameter("ask-agent-to-fix", Glib::VARIANT_TYPE_STRING, withText([this, &model](const std::string& line) {
        model.askAgentToFix(line);
        content_.showAgentColumn = true;
        content_.agent().composer().editor().grab_focus();
    }));
    add_action("show-history", [this] {
        content_.versionsWindow().showPage(VersionsWindow::Page::history);
        content_.showVersionManager = true;
    });

    // The agent and the selection.
    auto send = add_action("send-prompt", [&model] {
        if (!*model.requests().isSending && Composer::canSend(*model.requests().draftPrompt)) spawn(model.requests().sendPrompt());
    });
    auto sendable = [send, &model] { send->set_enabled(!*model.requests().isSending && Composer::canSend(*model.requests().draftPrompt)); };
    bind::pulls(*this, model.requests().draftPrompt, sendable);
    bind::pulls(*this, model.requests().isSending, sendable);
    sendable();
    add_action("stop-request", [&model] { model.requests().cancel(); });
    add_action("focus-prompt", [this] { content_.agent().composer().editor().grab_focus(); });
    add_action("refresh-startup", [&model] { spawn(model.planStartupCommands()); });
    add_action("build-feature", [&model] { model.requests().startFeature(); });
    add_action_with_parameter("apply-preset", Glib::VARIANT_TYPE_INT32, [&model](const Glib::VariantBase& parameter) {
        const int index = Glib::VariantBase::cast_dynamic<Glib::Variant<int>>(parameter).get();
        const auto& presets = RuntimeDetails::presets();
        if (index < 0 || index >= static_cast<int>(presets.size())) return;
        model.requests().draftPrompt = presets[static_cast<std::size_t>(index)].prompt;
        model.requests().planModeEnabled = presets[static_cast<std::size_t>(index)].planMode;
    });
    add_action("inline-edit", [&model] { model.selection().editSelected(); });
    add_action("change-description", [&model] { model.requests().openChangeDescription(); });
    add_action("edit-style", [this, &model] {
        if (!model.selection().selectedInspectTarget->has_value()) {
            model.chat().appendSystemMessage(_("Select an element in Inspect mode first."));
            return;
        }
        content_.browser().header().styleButton().popup();
    });
    add_action_with_parameter("remove-selection", Glib::VARIANT_TYPE_STRING, [&model](const Glib::VariantBase& parameter) {
        model.selection().removeSelectedTarget(Glib::VariantBase::cast_dynamic<Glib::Variant<Glib::ustring>>(parameter).get());
    });

    // Stateful: their controls show and change them, and nothing else keeps the two in step.
    addFlagAction("plan-mode", model.requests().planModeEnabled);
    addFlagAction("inspect", model.selection().inspectModeEnabled);
    addFlagAction("expanded", model.browser().isBrowserExpanded);
    addFlagAction("show-agent", content_.showAgentColumn);
    auto runtime = add_action_radio_string(
        "agent-runtime",
        [&model](const Glib::ustring& chosen) {
            if (auto runtime = runtimeFromId(chosen.raw())) model.runtimes().select(*runtime);
        },
        id(*model.runtimes().selectedAgentRuntime));
    auto device = add_action_radio_string(
        "device-width",
        [&model](const Glib::ustring& chosen) {
            if (auto width = fromName<DeviceWidth>(chosen.raw())) model.setDeviceWidth(*width);
        },
        std::string(nameOf(*model.browser().deviceWidth)));
    model.browser().deviceWidth.observe(sigc::track_obj(
        [device, &model] { device->set_state(Glib::Variant<Glib::ustring>::create(std::string(nameOf(*model.browser().deviceWidth)))); },
        *this));
    model.runtimes().selectedAgentRuntime.observe(sigc::track_obj(
        [runtime, &model] { runtime->set_state(Glib::Variant<Glib::ustring>::create(id(*model.runtimes().selectedAgentRuntime))); }, *this));
}

}  // namespace tarn
