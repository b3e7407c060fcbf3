#include "app/MainWindow.h"

#include "app/GlowFrame.h"
#include "app/RuntimeDetails.h"
#include "support/GObjectPtr.h"

#include <giomm/liststore.h>
#include <gtkmm/application.h>
#include <gtkmm/droptarget.h>
#include <gtkmm/filechoosernative.h>

namespace tarn {

MainWindow::MainWindow(std::shared_ptr<AppViewModel> model) : content_(std::move(model), *this) {
    set_title("Tarn");
    add_css_class("tarn-main");
    // Closing hides it; the application then lets it go.
    set_hide_on_close(true);
    // The layout needs this much room for the agent column beside the preview.
    set_size_request(1260, 760);
    set_default_size(1440, 900);
    set_child(content_);
    GlowClock::shared().attach(*this);
    addActions();

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

MainWindow::~MainWindow() = default;

void MainWindow::pickFolder(const FolderPickerRequest& request, std::function<void(std::optional<Url>)> answer) {
    auto chooser = Gtk::FileChooserNative::create(request.message, *this, Gtk::FileChooser::Action::SELECT_FOLDER,
                                                  request.prompt, "Cancel");
    chooser->set_modal(true);
    chooser->set_select_multiple(false);
    chooser->signal_response().connect([chooser, answer](int response) {
        std::optional<Url> folder;
        if (response == GTK_RESPONSE_ACCEPT) {
            if (auto file = chooser->get_file(); file && !file->get_path().empty()) folder = Url::fileURL(file->get_path());
        }
        answer(folder);
        chooser->hide();
    });
    chooser->show();
}

void MainWindow::addActions() {
    AppViewModel& model = viewModel();
    add_action("open-project", [this] {
        viewModel().openProject([this](const FolderPickerRequest& request, auto answer) { pickFolder(request, answer); });
    });
    add_action("start-server", [&model] { spawn(model.installAndStartServer()); });
    add_action("stop-server", [&model] { model.stopServer(); });
    add_action("show-versions", [this] { content_.showVersionManager = true; });
    add_action("reload-preview", [&model] { model.reloadPreview(); });
    add_action("focus-address", [this] {
        AddressField& field = viewModel().isBrowserExpanded.get() ? content_.compactBar().address() : content_.topBar().address();
        field.grab_focus();
        field.select_region(0, -1);
    });
    add_action("toggle-inspect", [&model] { model.inspectModeEnabled = !*model.inspectModeEnabled; });
    add_action("toggle-expanded", [&model] { model.toggleBrowserExpanded(); });
    add_action("copy-logs", [this, &model] {
        auto clipboard = get_clipboard();
        model.copyLogs([clipboard](const std::string& text) { clipboard->set_text(text); });
    });
    add_action("send-prompt", [&model] {
        if (*model.isSending || !Composer::canSend(*model.draftPrompt)) return;
        spawn(model.sendPrompt());
    });
    add_action("stop-request", [&model] { model.cancelAgentRequest(); });
    add_action("focus-prompt", [this] { content_.agent().composer().editor().grab_focus(); });
    add_action_with_parameter("apply-preset", Glib::VARIANT_TYPE_INT32, [&model](const Glib::VariantBase& parameter) {
        const int index = Glib::VariantBase::cast_dynamic<Glib::Variant<int>>(parameter).get();
        const auto& presets = RuntimeDetails::presets();
        if (index < 0 || index >= static_cast<int>(presets.size())) return;
        model.draftPrompt = presets[static_cast<std::size_t>(index)].prompt;
        model.planModeEnabled = presets[static_cast<std::size_t>(index)].planMode;
    });
}

}  // namespace tarn
