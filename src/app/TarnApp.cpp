#include "app/TarnApp.h"

#include "app/Accessibility.h"

#include <adwaita.h>
#include <filesystem>
#include <utility>
#include <glib/gi18n-lib.h>
#include <gtkmm/cssprovider.h>
#include "process/ServerHandover.h"
#include "support/Trace.h"

extern "C" void tarn_app_register_resource(void);

namespace tarn {

TarnApp::TarnApp(ModelFactory makeModel)
    : Gtk::Application("dev.tarn.Tarn", Gio::Application::Flags::HANDLES_OPEN | Gio::Application::Flags::NON_UNIQUE),
      makeModel_(std::move(makeModel)) {
    if (!makeModel_) makeModel_ = [] { return AppViewModel::create(); };
}

Glib::RefPtr<TarnApp> TarnApp::create(ModelFactory makeModel) {
    return Glib::make_refptr_for_instance<TarnApp>(new TarnApp(std::move(makeModel)));
}

const std::vector<std::pair<const char*, const char*>>& TarnApp::accelerators() {
    static const std::vector<std::pair<const char*, const char*>> table{
        {"app.quit", "<Control>q"},
        {"win.open-project", "<Control>o"},
        {"win.send-prompt", "<Control>Return"},
        {"win.reload-preview", "<Control>r"},
        {"win.focus-address", "<Control>l"},
        {"win.inspect", "<Control><Shift>c"},
        {"win.edit-style", "<Control><Shift>s"},
        {"win.show-agent", "<Control><Shift>a"},
        {"win.expanded", "<Control><Shift>e"},
        {"win.show-history", "<Control>h"},
        {"win.preferences", "<Control>comma"},
        {"win.show-help-overlay", "<Control>question"},
    };
    return table;
}

// Without a GPU, GTK's GL renderer runs on the processor (llvmpipe) and redraws the whole window
// every frame: a turning ring or a page load then holds the main loop for 200-300 ms. Cairo redraws
// only what changed. Newer GTK makes this choice itself; 4.8 does not.
void TarnApp::chooseRenderer() {
    if (g_getenv("GSK_RENDERER")) return;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/dri", ec)) {
        if (entry.path().filename().string().starts_with("renderD")) return;
    }
    g_setenv("GSK_RENDERER", "cairo", FALSE);
}

int TarnApp::main(int argc, char** argv, const std::function<void(TarnApp&)>& prepare) {
    trace::mark("main");
    // Before anything starts a child: the launcher's server descriptors must not leak into one.
    handover::claim();
    chooseRenderer();
    bindTranslations();
    std::shared_ptr<AppViewModel> early;
    std::error_code ec;
    if (argc == 2 && argv[1][0] != '-' && std::filesystem::is_directory(argv[1], ec)) {
        early = AppViewModel::create();
        early->openFolder(std::filesystem::absolute(argv[1]).lexically_normal().string());
    }
    auto app = create(early ? ModelFactory([early]() mutable { return early ? std::exchange(early, nullptr) : AppViewModel::create(); })
                            : nullptr);
    app->openedEarly_ = early != nullptr;
    if (prepare) prepare(*app);
    return app->run(argc, argv);
}

void TarnApp::bindTranslations() {
    static bool bound = false;
    if (bound) return;
    bound = true;
    // Texts in the user's language where a translation is installed: beside the program's own
    // prefix (a package installs under /usr whatever the build was configured with).
    std::error_code ec;
    const auto prefix = std::filesystem::canonical("/proc/self/exe", ec).parent_path().parent_path();
    const auto beside = prefix / "share" / "locale";
    bindtextdomain(GETTEXT_PACKAGE, !ec && std::filesystem::is_directory(beside) ? beside.c_str() : TARN_LOCALEDIR);
    bind_textdomain_codeset(GETTEXT_PACKAGE, "UTF-8");
    textdomain(GETTEXT_PACKAGE);
}

void TarnApp::loadResources() {
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    bindTranslations();
    tarn_app_register_resource();
    // libadwaita's style: light or dark as the desktop prefers, the desktop's accent and contrast.
    adw_init();
    auto css = Gtk::CssProvider::create();
    css->load_from_resource("/dev/tarn/Tarn/style.css");
    Gtk::StyleContext::add_provider_for_display(Gdk::Display::get_default(), css, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    // The application adds its own icons to the theme; without an application (tests) it is done here.
    gtk_icon_theme_add_resource_path(gtk_icon_theme_get_for_display(gdk_display_get_default()), "/dev/tarn/Tarn/icons");
}

void TarnApp::on_startup() {
    Gtk::Application::on_startup();
    leaveNoClassNames();
    loadResources();
    trace::mark("resources");
    add_action("quit", [this] {
        // Through the window's own close, so the server and requests end first.
        if (window_) window_->close();
        else quit();
    });
    add_action("about", [this] { showAbout(); });
    for (const auto& [action, accelerator] : accelerators()) set_accel_for_action(action, accelerator);
}

MainWindow& TarnApp::ensureWindow() {
    if (!window_) {
        window_ = std::make_unique<MainWindow>(makeModel_());
        trace::mark("window built");
        add_window(*window_);
        window_->signal_hide().connect([this] {
            window_.reset();
        });
    }
    return *window_;
}

void TarnApp::on_activate() { ensureWindow().present(); }

void TarnApp::on_open(const type_vec_files& files, const Glib::ustring&) {
    MainWindow& window = ensureWindow();
    window.present();
    trace::mark("presented");
    // One window, one project: the first folder given.
    if (std::exchange(openedEarly_, false)) return;
    if (!files.empty()) {
        std::string path = files.front()->get_path();
        window.viewModel().openFolder(path.empty() ? files.front()->get_uri() : path);
    }
}

void TarnApp::showAbout() {
    GtkWidget* about = adw_about_window_new();
    g_object_set(about, "application-name", "Tarn", "application-icon", "dev.tarn.Tarn", "version", TARN_VERSION,
                 "developer-name", _("The Tarn developers"), "license-type", GTK_LICENSE_MIT_X11, "comments",
                 _("A workbench for local JavaScript web apps: run them, see them, and change them by asking."),
                 "translator-credits", _("translator-credits"), nullptr);
    if (window_) gtk_window_set_transient_for(GTK_WINDOW(about), GTK_WINDOW(window_->gobj()));
    gtk_window_present(GTK_WINDOW(about));
}

}  // namespace tarn
