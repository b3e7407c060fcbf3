#include "preview/PreviewView.h"

#include "preview/BridgeMessages.h"
#include "preview/BridgeScript.h"
#include "support/Text.h"
#include "support/Trace.h"

#include <cstring>

namespace tarn {

namespace {

struct MessageContext {
    PreviewView* self;
    const char* name;
};

}  // namespace

PreviewView::PreviewView() {
    GObjectPtr<WebKitUserContentManager> manager(webkit_user_content_manager_new());
    GPtr<WebKitUserScript, webkit_user_script_unref> script(
        webkit_user_script_new(preview::bridgeScript().c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr));
    webkit_user_content_manager_add_script(manager.get(), script.get());
    for (const char* name : messageNames) {
        webkit_user_content_manager_register_script_message_handler(manager.get(), name, nullptr);
        std::string signal = std::string("script-message-received::") + name;
        messageHandlers_.push_back(g_signal_connect_data(
            manager.get(), signal.c_str(),
            G_CALLBACK(+[](WebKitUserContentManager*, JSCValue* value, gpointer data) {
                auto* context = static_cast<MessageContext*>(data);
                context->self->received(context->name, value);
            }),
            new MessageContext{this, name}, [](gpointer data, GClosure*) { delete static_cast<MessageContext*>(data); },
            GConnectFlags(0)));
    }

    // The view holds the manager from here on; the widget tree takes a reference of its own.
    auto* view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "user-content-manager", manager.get(), nullptr));
    view_.reset(WEBKIT_WEB_VIEW(g_object_ref_sink(view)));
    webkit_settings_set_javascript_can_open_windows_automatically(webkit_web_view_get_settings(view), FALSE);
    // Transparent until the page paints.
    GdkRGBA clear{0, 0, 0, 0};
    webkit_web_view_set_background_color(view, &clear);
    loadHandler_ = g_signal_connect(view, "load-changed",
                                    G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer data) {
                                        auto* self = static_cast<PreviewView*>(data);
                                        if (!self->asked_) return;  // the warm-up's empty page
                                        if (event == WEBKIT_LOAD_STARTED) self->loadFailed_ = false;
                                        if (event == WEBKIT_LOAD_COMMITTED) self->loadCommitted();
                                        if (event == WEBKIT_LOAD_FINISHED) self->loadFinished(!self->loadFailed_);
                                    }),
                                    this);
    failedHandler_ = g_signal_connect(view, "load-failed",
                                      G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer data) -> gboolean {
                                          auto* self = static_cast<PreviewView*>(data);
                                          return self->asked_ ? self->loadFailed(uri ? uri : "", error) : FALSE;
                                      }),
                                      this);
}

void PreviewView::warmUp() {
    if (asked_) return;
    // The engine's web and network processes start with a first load; an empty page starts them
    // now, while the dev server starts, and the page's own load then finds them running.
    webkit_network_session_prefetch_dns(webkit_web_view_get_network_session(view_.get()), "localhost");
    webkit_web_view_load_uri(view_.get(), "about:blank");
    trace::mark("preview: warming up");
}

PreviewView::~PreviewView() {
    stopTimeout();
    WebKitUserContentManager* manager = webkit_web_view_get_user_content_manager(view_.get());
    for (gulong id : messageHandlers_) g_signal_handler_disconnect(manager, id);
    for (const char* name : messageNames) webkit_user_content_manager_unregister_script_message_handler(manager, name, nullptr);
    g_signal_handler_disconnect(view_.get(), loadHandler_);
    g_signal_handler_disconnect(view_.get(), failedHandler_);
}

void PreviewView::load(const Url& address) {
    trace::mark("preview: load");
    asked_ = address;
    committed_ = false;
    webkit_web_view_load_uri(view_.get(), address.string().c_str());
    stopTimeout();
    loadTimeout_ = g_timeout_add_seconds(loadTimeoutSeconds, [](gpointer data) -> gboolean {
        auto* self = static_cast<PreviewView*>(data);
        self->loadTimeout_ = 0;
        if (webkit_web_view_is_loading(self->view_.get())) webkit_web_view_stop_loading(self->view_.get());
        return G_SOURCE_REMOVE;
    }, this);
}

void PreviewView::reload() {
    if (!committed_ && asked_) load(*asked_);
    else webkit_web_view_reload(view_.get());
}

std::optional<std::string> PreviewView::address() const {
    if (!asked_) return std::nullopt;
    const char* uri = webkit_web_view_get_uri(view_.get());
    if (!uri || !*uri) return std::nullopt;
    return std::string(uri);
}

void PreviewView::setInspectMode(bool enabled) {
    inspectMode_ = enabled;
    evaluate(preview::inspectModeCall(enabled));
}

// Sent even when unchanged: the page may hold selections the window did not keep.
void PreviewView::setSelections(std::vector<std::string> selectionKeys) {
    selections_ = std::move(selectionKeys);
    if (auto call = preview::selectionsCall(selections_)) evaluate(*call);
}

void PreviewView::tellBridge() {
    evaluate(preview::inspectModeCall(inspectMode_));
    if (auto call = preview::selectionsCall(selections_)) evaluate(*call);
}

void PreviewView::tryStyle(const std::string& selectionKey, const std::string& property, const std::string& value) {
    if (auto call = preview::tryStyleCall(selectionKey, property, value)) evaluate(*call);
}

void PreviewView::takeBackStyles() { evaluate(preview::takeBackStylesCall()); }

void PreviewView::evaluate(const std::string& script) {
    webkit_web_view_evaluate_javascript(view_.get(), script.c_str(), -1, nullptr, nullptr, nullptr, nullptr, nullptr);
}

void PreviewView::stopTimeout() {
    if (loadTimeout_) g_source_remove(loadTimeout_);
    loadTimeout_ = 0;
}

void PreviewView::received(const char* name, JSCValue* value) {
    // The warm-up's empty page runs the bridge too; it has nothing to say.
    if (!asked_ || text::startsWith(address().value_or(""), "about:")) return;
    GCharPtr text(jsc_value_is_object(value) ? jsc_value_to_json(value, 0) : nullptr);
    if (!text) return;  // not an object: ignored
    auto parsed = json::parseObject(text::decodeUtf8Lossy(text.get()));
    if (!parsed) return;
    const json::Json& body = *parsed;
    if (!std::strcmp(name, "tarnConsole")) {
        if (auto entry = preview::decodeConsole(body)) console.emit(*entry);
    } else if (!std::strcmp(name, "tarnInspect")) {
        if (auto target = preview::decodeInspect(body)) inspected.emit(*target);
    } else if (!std::strcmp(name, "tarnRoute")) {
        if (auto route = preview::decodeRoute(body)) routeChanged.emit(*route);
    }
}

void PreviewView::loadCommitted() {
    // The server answered: its page is on its way (a dev server's first page may take a while).
    // The engine's own blank page (in place of a refused port, say) is no answer.
    const std::string shown = address().value_or("");
    if (text::startsWith(shown, "about:")) return;
    committed_ = true;
    trace::mark("preview: page committed");
    loadEnded.emit(PreviewLoad{shown, PreviewLoad::Outcome::shown});
}

bool PreviewView::loadFailed(const std::string& failed, GError* error) {
    loadFailed_ = true;
    // Replaced by a newer load, which reports for itself.
    if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED)) return FALSE;
    const bool nothingAnswers = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED) &&
                                preview::isLocalAddress(failed);
    trace::mark(nothingAnswers ? "preview: nothing answers yet" : "preview: load failed");
    loadEnded.emit(PreviewLoad{failed, nothingAnswers ? PreviewLoad::Outcome::nothingAnswers : PreviewLoad::Outcome::failed});
    // A dev server that does not listen yet gets the window's own notice, not the engine's error page.
    return nothingAnswers;
}

void PreviewView::loadFinished(bool succeeded) {
    // The warm-up's empty page may end after the first page was asked for: it is no page of the project.
    if (text::startsWith(address().value_or(""), "about:")) return;
    stopTimeout();
    if (!succeeded) return;
    routeChanged.emit(preview::routeOf(address()));
    tellBridge();
}

}  // namespace tarn
