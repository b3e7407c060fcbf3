#pragma once
#include "TestSupport.h"

#include <string>
#include <webkit/webkit.h>

namespace tarn::test {

// Runs a script in the view's main frame and gives its result as JSON text: "undefined" when it
// has no JSON form, "error: …" when the script threw.
inline std::string evaluateInPage(WebKitWebView* view, const std::string& script) {
    struct Result {
        bool done = false;
        std::string json;
    } result;
    webkit_web_view_evaluate_javascript(
        view, script.c_str(), -1, nullptr, nullptr, nullptr,
        [](GObject* source, GAsyncResult* res, gpointer data) {
            auto* r = static_cast<Result*>(data);
            GError* error = nullptr;
            JSCValue* v = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), res, &error);
            if (v) {
                char* text = jsc_value_to_json(v, 0);
                r->json = text ? text : "undefined";
                g_free(text);
                g_object_unref(v);
            } else {
                r->json = std::string("error: ") + (error ? error->message : "?");
                if (error) g_error_free(error);
            }
            r->done = true;
        },
        &result);
    runLoopUntil([&] { return result.done; }, std::chrono::seconds(20));
    return result.json;
}

}  // namespace tarn::test
