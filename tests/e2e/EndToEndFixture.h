#pragma once
// Tarn as a person uses it: the real window, real dev servers, real pointer and keyboard input.
#include "../gui/GuiFixture.h"
#include "PageScript.h"
#include "app/SelectedTargetPillView.h"

#include <gdk/x11/gdkx.h>
#include <sstream>

namespace tarn::test {

class EndToEnd : public GuiFixture {
protected:
    bool xdotool(const std::string& arguments) {
        if (!std::getenv("DISPLAY") || !std::filesystem::exists("/usr/bin/xdotool")) return false;
        return std::system(("/usr/bin/xdotool " + arguments).c_str()) == 0;
    }
    unsigned long xid() { return gdk_x11_surface_get_xid(gtk_native_get_surface(GTK_NATIVE(window->gobj()))); }

    // Runs a script in the preview's page and gives its result as JSON text.
    std::string js(const std::string& script) {
        return evaluateInPage(webView(), script);
    }

    // A real click (with Ctrl held, or not) at the centre of the page element `query` finds.
    void clickInPage(const std::string& query, bool ctrl = false) {
        // A reply that changed files reloads the page: a click while it loads, or before the app has
        // drawn the element again, lands on no element.
        WebKitWebView* web = webView();
        const std::string found = "document.readyState === 'complete' && document.querySelector(" + json::Json(query).dump() + ") !== null";
        ASSERT_TRUE(runLoopUntil([&] { return !webkit_web_view_is_loading(web) && js(found) == "true"; }, std::chrono::seconds(30)));
        std::string rect = js("(() => { const r = document.querySelector(" + json::Json(query).dump() +
                              ").getBoundingClientRect(); return [r.left + Math.min(r.width / 2, 20), r.top + r.height / 2]; })()");
        auto point = json::Json::parse(rect, nullptr, false);
        ASSERT_TRUE(point.is_array()) << rect;
        graphene_point_t inPage = GRAPHENE_POINT_INIT(point[0].get<float>(), point[1].get<float>()), inWindow;
        ASSERT_TRUE(gtk_widget_compute_point(GTK_WIDGET(web), GTK_WIDGET(window->gobj()),
                                             &inPage, &inWindow));
        // Without a window manager the window sits at the screen's top left corner.
        std::ostringstream command;
        command << "windowfocus " << xid() << " mousemove " << int(inWindow.x) << " " << int(inWindow.y) << " sleep 0.2 "
                << (ctrl ? "keydown ctrl click 1 keyup ctrl" : "click 1");
        ASSERT_TRUE(xdotool(command.str()));
    }

    std::vector<SelectedTargetPillView*> composerPills() {
        std::vector<SelectedTargetPillView*> out;
        for (auto* c = view().agent().composer().pills().get_first_child(); c; c = c->get_next_sibling()) {
            out.push_back(static_cast<SelectedTargetPillView*>(c));
        }
        return out;
    }

    bool pageShows(const std::string& selector, const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
        return runLoopUntil([&] {
            return js("document.querySelector(" + json::Json(selector).dump() + ")?.textContent.trim()") ==
                   json::Json(text).dump();
        }, limit);
    }
};


}  // namespace tarn::test
