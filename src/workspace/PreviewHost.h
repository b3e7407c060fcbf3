#pragma once
#include "support/Url.h"

namespace tarn {

// The page the window shows, as the browser asks for it: the window implements it over its web
// view, so the controller never sees the web engine.
class PreviewHost {
public:
    virtual ~PreviewHost() = default;
    virtual void load(const Url& address) = 0;
    // A page is coming (a project is opening): the engine may start before its address is known.
    virtual void warmUp() = 0;
    // The page shown, at the route it navigated to; the address last asked for when no page came
    // of it (nothing answered yet).
    virtual void reload() = 0;
    // A style tried on a selected element of the page (a CSS property and value), and all tried
    // styles taken back.
    virtual void tryStyle(const std::string& selectionKey, const std::string& property, const std::string& value) = 0;
    virtual void takeBackStyles() = 0;
};

}  // namespace tarn
