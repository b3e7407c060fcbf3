#pragma once
#include "model/BrowserConsoleEntry.h"
#include "model/InspectTarget.h"
#include "support/Json.h"

#include <optional>
#include <string>
#include <vector>

namespace tarn::preview {

// The two calls that tell the page's bridge the inspect mode and the selected elements.
std::string inspectModeCall(bool enabled);
// Absent when the keys cannot be written as JSON (they are not valid UTF-8).
std::optional<std::string> selectionsCall(const std::vector<std::string>& keys);

// Trying a style on a selected element in the page, and taking back all that were tried.
std::optional<std::string> tryStyleCall(const std::string& key, const std::string& property, const std::string& value);
std::string takeBackStylesCall();

// The bridge's messages, decoded with the defaults for absent or mistyped keys. A body that is not
// an object gives nothing.
std::optional<BrowserConsoleEntry> decodeConsole(const json::Json& body);
std::optional<InspectTarget> decodeInspect(const json::Json& body);
// The style panel's part of an inspect message (also what the page tells of any element): where
// each value comes from, and how many elements share the element's source place.
void decodeStyleSources(const json::Json& body, InspectTarget& target);
std::optional<std::string> decodeRoute(const json::Json& body);

// An address on this machine (localhost, a loopback address): where a refused connection means the
// dev server does not listen yet, not that the page is broken.
bool isLocalAddress(const std::string& address);

// The route of a finished load: the address's path, percent-decoded; "/" without an address.
std::string routeOf(const std::optional<std::string>& address);

}  // namespace tarn::preview
