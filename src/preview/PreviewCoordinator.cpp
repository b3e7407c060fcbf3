#include "preview/PreviewCoordinator.h"

#include "preview/BridgeScript.h"
#include "support/GObjectPtr.h"
#include "support/Text.h"

#include <cstring>

namespace tarn {

namespace {

struct MessageContext {
    PreviewCoordinator* self;
    const char* name;
};

}  // namespace

PreviewCoordinator::PreviewCoordinator(AppWebView parent) : parent_(std::move(parent)) {}

PreviewCoordinator::~PreviewCoordinator() {
    disconnect();
    if (webView_) g_object_remove_weak_pointer(G_OBJECT(webView_), reinterpret_cast<gpointer*>(&webView_));
}

GtkWidget* PreviewCoordinator::makeView() {
    GObjectPtr<WebKitUserContentManager> manager(webkit_user_content_manager_new());
    GPtr<WebKitUserScript, webkit_user_script_unref> script(
        webkit_user_script_new(preview::bridgeScript().c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr));
    webkit_user_content_manager_add_script(manager.get(), script.get());

    for (const char* name : messageNames) {
        webkit_user_content_manager_register_script_message_handler(manager.get(), name, nullptr);
        std::string signal = std::string("script-message-received::") + name;
        handlers_.push_back(g_signal_connect_data(
            manager.get(), signal.c_str(),
            G_CALLBACK(+[](WebKitUserContentManager*, JSCValue* value, gpointer data) {
                auto* context = static_cast<MessageContext*>(data);
                context->self->received(context->name, value);
            }),
            new MessageContext{this, name}, [](gpointer data, GClosure*) { delete static_cast<MessageContext*>(data); },
            GConnectFlags(0)));
    }

    // The view holds the manager from here on.
    auto* view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "user-content-manager", manager.get(), nullptr));
    WebKitSettings* settings = webkit_web_view_get_settings(view);
    webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
    // Transparent until the page paints.
    GdkRGBA clear{0, 0, 0, 0};
    webkit_web_view_set_background_color(view, &clear);
    loadHandler_ = g_signal_connect(view, "load-changed",
                                    G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer data) {
                                        auto* self = static_cast<PreviewCoordinator*>(data);
                                        if (event == WEBKIT_LOAD_STARTED) self->loadFailed_ = false;
                                        if (event == WEBKIT_LOAD_COMMITTED) self->loadCommitted();
                                        if (event == WEBKIT_LOAD_FINISHED) self->loadFinished(!self->loadFailed_);
                                    }),
                                    this);
    failedHandler_ = g_signal_connect(view, "load-failed",
                                      G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer data) -> gboolean {
                                          return static_cast<PreviewCoordinator*>(data)->loadFailed(uri ? uri : "", error);
                                      }),
                                      this);

    webView_ = view;
    g_object_add_weak_pointer(G_OBJECT(webView_), reinterpret_cast<gpointer*>(&webView_));
    if (parent_.url) {
        load(*parent_.url);
        state_.lastLoadedURL = parent_.url;
    }
    preview::applyBridgeState(parent_, *this);
    return GTK_WIDGET(view);
}

void PreviewCoordinator::updateView(const AppWebView& value) {
    parent_ = value;
    preview::reconcile(state_, parent_, *this);
}

void PreviewCoordinator::dismantleView() {
    if (webView_) {
        WebKitUserContentManager* manager = webkit_web_view_get_user_content_manager(webView_);
        for (const char* name : messageNames) {
            webkit_user_content_manager_unregister_script_message_handler(manager, name, nullptr);
        }
    }
    disconnect();
}

void PreviewCoordinator::disconnect() {
    if (loadTimeout_) {
        g_source_remove(loadTimeout_);
        loadTimeout_ = 0;
    }
    if (!webView_) return;
    for (gulong id : handlers_) g_signal_handler_disconnect(webkit_web_view_get_user_content_manager(webView_), id);
    handlers_.clear();
    if (loadHandler_) g_signal_handler_disconnect(webView_, loadHandler_);
    if (failedHandler_) g_signal_handler_disconnect(webView_, failedHandler_);
    loadHandler_ = failedHandler_ = 0;
}

void PreviewCoordinator::received(const char* name, JSCValue* value) {
    GCharPtr text(jsc_value_is_object(value) ? jsc_value_to_json(value, 0) : nullptr);
    if (!text) return;  // not an object: ignored
    auto parsed = json::parseObject(text::decodeUtf8Lossy(text.get()));
    if (!parsed) return;
    const json::Json& body = *parsed;
    if (!std::strcmp(name, "tarnConsole")) {
        if (auto entry = preview::decodeConsole(body); entry && parent_.onConsole) parent_.onConsole(*entry);
    } else if (!std::strcmp(name, "tarnInspect")) {
        if (auto target = preview::decodeInspect(body); target && parent_.onInspect) parent_.onInspect(*target);
    } else if (!std::strcmp(name, "tarnRoute")) {
        if (auto route = preview::decodeRoute(body); route && parent_.onRoute) parent_.onRoute(*route);
    }
}

void PreviewCoordinator::loadCommitted() {
    // The server answered: its page is on its way (a dev server's first page may take a while).
    // The engine's own blank page (in place of a refused port, say) is no answer.
    const std::string address = currentURL().value_or("");
    if (parent_.onLoad && !text::startsWith(address, "about:")) parent_.onLoad(PreviewLoad{address, PreviewLoad::Outcome::shown});
}

bool PreviewCoordinator::loadFailed(const std::string& address, GError* error) {
    loadFailed_ = true;
    // Replaced by a newer load, which reports for itself.
    if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED)) return FALSE;
    const bool nothingAnswers = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED) &&
                                preview::isLocalAddress(address);
    if (parent_.onLoad) {
        parent_.onLoad(PreviewLoad{address, nothingAnswers ? PreviewLoad::Outcome::nothingAnswers : PreviewLoad::Outcome::failed});
    }
    // A dev server that does not listen yet gets the window's own notice, not the engine's error page.
    return nothingAnswers;
}

void PreviewCoordinator::loadFinished(bool succeeded) {
    if (loadTimeout_) {
        g_source_remove(loadTimeout_);
        loadTimeout_ = 0;
    }
    if (!succeeded) return;
    if (parent_.onRoute) parent_.onRoute(preview::routeOf(currentURL()));
    preview::applyBridgeState(parent_, *this);
}

void PreviewCoordinator::load(const Url& url) {
    if (!webView_) return;
    webkit_web_view_load_uri(webView_, url.string().c_str());
    if (loadTimeout_) g_source_remove(loadTimeout_);
    loadTimeout_ = g_timeout_add_seconds(loadTimeoutSeconds, [](gpointer data) -> gboolean {
        auto* self = static_cast<PreviewCoordinator*>(data);
        self->loadTimeout_ = 0;
        if (self->webView_ && webkit_web_view_is_loading(self->webView_)) webkit_web_view_stop_loading(self->webView_);
        return G_SOURCE_REMOVE;
    }, this);
}

void PreviewCoordinator::reload() {
    if (webView_) webkit_web_view_reload(webView_);
}

std::optional<std::string> PreviewCoordinator::currentURL() const {
    const char* uri = webView_ ? webkit_web_view_get_uri(webView_) : nullptr;
    if (!uri || !*uri) return std::nullopt;
    return std::string(uri);
}

void PreviewCoordinator::evaluate(const std::string& script) {
    if (webView_) {
        webkit_web_view_evaluate_javascript(webView_, script.c_str(), -1, nullptr, nullptr, nullptr, nullptr, nullptr);
    }
}

}  // namespace tarn
