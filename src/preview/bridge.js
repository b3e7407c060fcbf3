// Tarn's page bridge: injected into every frame of the preview at document start. It reports
// console calls, routes and inspect clicks to Tarn and draws the inspect overlays. It talks to
// Tarn only through window.webkit.messageHandlers and the two window functions at the end.
(function () {
  if (window.__tarnBridgeInstalled) {
    return;
  }
  window.__tarnBridgeInstalled = true;

  var inspectEnabled = false;
  var selectedEntries = new Map();
  var selectedRefreshRaf = 0;

  function post(name, payload) {
    try {
      var webkit = window.webkit;
      var handlers = webkit && webkit.messageHandlers;
      var handler = handlers && handlers[name];
      if (handler) {
        handler.postMessage(payload);
      }
    } catch (error) {
      // The page never sees an error from the bridge.
    }
  }

  // Console capture.
  function describe(value) {
    if (typeof value === "string") {
      return value;
    }
    try {
      var json = JSON.stringify(value);
      return json === undefined ? "" : json;
    } catch (error) {
      return String(value);
    }
  }

  ["log", "warn", "error"].forEach(function (level) {
    var original = console[level];
    console[level] = function () {
      var args = Array.prototype.slice.call(arguments);
      try {
        post("tarnConsole", { level: level, message: args.map(describe).join(" ") });
      } catch (error) {
        // Capture never throws into the page.
      }
      if (typeof original === "function") {
        original.apply(console, args);
      }
    };
  });

  // Route reporting.
  function reportRoute() {
    post("tarnRoute", { route: location.pathname + location.search });
  }

  ["pushState", "replaceState"].forEach(function (method) {
    var original = history[method];
    history[method] = function () {
      var result = original.apply(history, arguments);
      reportRoute();
      return result;
    };
  });
  window.addEventListener("popstate", reportRoute);
  reportRoute();

  // Overlays.
  var root = document.documentElement;

  var hoverOverlay = document.createElement("div");
  hoverOverlay.style.position = "fixed";
  hoverOverlay.style.pointerEvents = "none";
  hoverOverlay.style.border = "2px solid rgba(15, 118, 110, 0.90)";
  hoverOverlay.style.background = "rgba(15, 118, 110, 0.10)";
  hoverOverlay.style.borderRadius = "8px";
  hoverOverlay.style.zIndex = "2147483646";
  hoverOverlay.style.display = "none";

  var selectedLayer = document.createElement("div");
  selectedLayer.style.position = "fixed";
  selectedLayer.style.pointerEvents = "none";
  selectedLayer.style.inset = "0";
  selectedLayer.style.zIndex = "2147483645";

  var selectedStyle = document.createElement("style");
  selectedStyle.textContent =
    "@keyframes tarnSelectionGlow {" +
    " 0%, 100% { opacity: 0.58; filter: saturate(1) brightness(1); }" +
    " 50% { opacity: 0.96; filter: saturate(1.12) brightness(1.08); }" +
    " }" +
    " .tarn-selected-overlay {" +
    " position: fixed; pointer-events: none; border-radius: 11px; overflow: hidden;" +
    " border: 1px solid rgba(56, 189, 248, 0.52);" +
    " box-shadow: 0 0 0 1px rgba(56, 189, 248, 0.20), 0 8px 20px rgba(56, 189, 248, 0.16);" +
    " }" +
    " .tarn-selected-ring {" +
    " position: absolute; inset: 0; border-radius: 11px; padding: 2px;" +
    " background: conic-gradient(from 0deg, rgba(34, 211, 238, 0.22), rgba(59, 130, 246, 0.74)," +
    " rgba(56, 189, 248, 0.30), rgba(34, 211, 238, 0.22));" +
    " animation: tarnSelectionGlow 2.1s ease-in-out infinite;" +
    " -webkit-mask: linear-gradient(#000 0 0) content-box, linear-gradient(#000 0 0);" +
    " -webkit-mask-composite: xor;" +
    " mask: linear-gradient(#000 0 0) content-box, linear-gradient(#000 0 0);" +
    " mask-composite: exclude;" +
    " }";

  if (root) {
    root.appendChild(hoverOverlay);
    root.appendChild(selectedLayer);
  }
  (document.head || root).appendChild(selectedStyle);

  function place(overlay, rect, margin) {
    var width = rect.width + 2 * margin;
    var height = rect.height + 2 * margin;
    // An element with no area gets no frame, whatever the margin would add.
    if (width <= 0 || height <= 0 || rect.width <= 0 || rect.height <= 0) {
      overlay.style.display = "none";
      return;
    }
    overlay.style.display = "block";
    overlay.style.left = rect.left - margin + "px";
    overlay.style.top = rect.top - margin + "px";
    overlay.style.width = width + "px";
    overlay.style.height = height + "px";
  }

  function refreshSelections() {
    selectedEntries.forEach(function (entry, key) {
      if (!entry.element || !entry.element.isConnected) {
        entry.frame.remove();
        selectedEntries.delete(key);
        return;
      }
      place(entry.frame, entry.element.getBoundingClientRect(), 3);
    });
  }

  function queueRefresh() {
    if (selectedRefreshRaf) {
      return;
    }
    selectedRefreshRaf = requestAnimationFrame(function () {
      selectedRefreshRaf = 0;
      refreshSelections();
    });
  }

  // Describing an element.
  function selectionKey(element) {
    var steps = [];
    var node = element;
    while (node && node.nodeType === 1 && steps.length < 8) {
      var step = node.tagName.toLowerCase();
      if (node.id) {
        step += "#" + node.id;
      } else if (node.parentNode && node.parentNode.children) {
        var sameTag = Array.prototype.filter.call(node.parentNode.children, function (sibling) {
          return sibling.tagName === node.tagName;
        });
        if (sameTag.length > 1) {
          step += ":nth-of-type(" + (sameTag.indexOf(node) + 1) + ")";
        }
      }
      steps.unshift(step);
      if (node.id) {
        break;
      }
      node = parentOf(node);
    }
    return steps.join(" > ");
  }

  function classes(element) {
    var text = element.className == null ? "" : String(element.className);
    return text.trim().split(/\s+/).filter(function (piece) {
      return piece.length > 0;
    });
  }

  function shortSelector(element) {
    if (element.id) {
      return "#" + element.id;
    }
    var list = classes(element);
    var tag = element.tagName.toLowerCase();
    return list.length > 0 ? tag + "." + list.slice(0, 2).join(".") : tag;
  }

  function componentGuess(element) {
    var named = element.getAttribute("data-component") || element.getAttribute("data-testid");
    if (named) {
      return named;
    }
    var first = (element.className == null ? "" : String(element.className)).trim().split(/\s+/)[0];
    return first ? first : element.tagName.toLowerCase();
  }

  function fileGuess(element) {
    return (
      element.getAttribute("data-source-file") ||
      element.getAttribute("data-source") ||
      element.getAttribute("data-file") ||
      ""
    );
  }

  // Where the framework's development build says the element was written: Vue 3 names the
  // component's file, Svelte the element's file, line and column, React (before 19) the element's
  // JSX. The element's own first, then its nearest ancestor's.
  function frameworkSource(element) {
    var node = element;
    for (var depth = 0; node && node.nodeType === 1 && depth < 60; depth++, node = node.parentElement) {
      var found = null;
      try {
        var meta = node.__svelte_meta;
        if (meta && meta.loc && meta.loc.file) {
          // Svelte 5 counts lines from 1, Svelte 4 from 0.
          var five = typeof window.__svelte === "object" && window.__svelte !== null;
          found = {
            framework: "svelte",
            file: String(meta.loc.file),
            line: (meta.loc.line | 0) + (five ? 0 : 1),
            column: (meta.loc.column | 0) + 1,
          };
        }
        var vue = !found && node.__vueParentComponent;
        if (vue && vue.type && vue.type.__file) {
          found = { framework: "vue", file: String(vue.type.__file), line: 0, column: 0 };
        }
        if (!found) {
          var keys = Object.keys(node);
          for (var i = 0; i < keys.length && !found; i++) {
            if (keys[i].indexOf("__reactFiber$") !== 0) continue;
            for (var fiber = node[keys[i]], hops = 0; fiber && hops < 30 && !found; fiber = fiber.return, hops++) {
              var debug = fiber._debugSource;
              if (debug && debug.fileName) {
                found = {
                  framework: "react",
                  file: String(debug.fileName),
                  line: debug.lineNumber | 0,
                  column: debug.columnNumber | 0,
                };
              }
            }
          }
        }
      } catch (e) {
        found = null;
      }
      if (found) {
        found.fromAncestor = depth > 0 && found.framework !== "vue";
        return found;
      }
    }
    return null;
  }

  // How many elements of the page show the same text as this one (it included): an edit of the
  // one place it comes from changes them all. Bounded for very large pages.
  function sameTextCount(element) {
    var full = (element.textContent || "").trim().replace(/\s+/g, " ");
    if (!full) return 1;
    var all = document.body ? document.body.getElementsByTagName(element.tagName) : [];
    var count = 0;
    for (var i = 0; i < all.length && i < 20000; i++) {
      var text = all[i].textContent;
      if (text && text.length >= full.length && text.trim().replace(/\s+/g, " ") === full) count++;
    }
    return Math.max(count, 1);
  }

  // For the location evaluation, which asks the page what a click would report.
  window.__tarnSourceOf = frameworkSource;
  window.__tarnStyleOf = function (element) {
    return { computedStyle: computedStyle(element), styleSources: styleSources(element), placeCount: placeCount(element) };
  };

  var snippetLimit = 160;
  var graphemes =
    typeof Intl !== "undefined" && Intl.Segmenter ? new Intl.Segmenter(undefined, { granularity: "grapheme" }) : null;

  // At most 160 UTF-16 units, cut between user-perceived characters: never inside an emoji or
  // between a letter and its accent, so the text is always well-formed.
  function textSnippet(element) {
    var text = (element.textContent || "").trim().replace(/\s+/g, " ");
    if (text.length <= snippetLimit) {
      return text;
    }
    var pieces = graphemes ? Array.from(graphemes.segment(text), function (s) { return s.segment; }) : Array.from(text);
    var out = "";
    for (var i = 0; i < pieces.length && out.length + pieces[i].length <= snippetLimit; i++) {
      out += pieces[i];
    }
    return out;
  }

  // The page element under the pointer while inspect mode is on; null otherwise. Inside an open
  // shadow root that is the element actually hit, not its host.
  function inspectedElement(event) {
    if (!inspectEnabled) {
      return null;
    }
    var path = typeof event.composedPath === "function" ? event.composedPath() : [];
    var element = path.length > 0 && path[0] instanceof Element ? path[0] : null;
    if (!element) {
      element = document.elementFromPoint(event.clientX, event.clientY);
    }
    return element && element !== hoverOverlay ? element : null;
  }

  // The parent element, stepping out of a shadow root to its host.
  function parentOf(node) {
    if (node.parentElement) {
      return node.parentElement;
    }
    var root = node.getRootNode ? node.getRootNode() : null;
    return root && root.host ? root.host : null;
  }

  // Inspect mode.
  document.addEventListener(
    "mousemove",
    function (event) {
      var element = inspectedElement(event);
      if (!element) {
        return;
      }
      place(hoverOverlay, element.getBoundingClientRect(), 0);
      queueRefresh();
    },
    true
  );

  document.addEventListener(
    "click",
    function (event) {
      var element = inspectedElement(event);
      if (!element) {
        return;
      }
      event.preventDefault();
      event.stopPropagation();
      var key = selectionKey(element);
      var isSelected;
      var existing = selectedEntries.get(key);
      if (existing) {
        existing.frame.remove();
        selectedEntries.delete(key);
        isSelected = false;
      } else {
        var frame = document.createElement("div");
        frame.className = "tarn-selected-overlay";
        var ring = document.createElement("div");
        ring.className = "tarn-selected-ring";
        frame.appendChild(ring);
        selectedLayer.appendChild(frame);
        selectedEntries.set(key, { element: element, frame: frame });
        isSelected = true;
      }
      queueRefresh();
      post("tarnInspect", {
        selectionKey: key,
        isSelected: isSelected,
        selector: shortSelector(element),
        tagName: element.tagName.toLowerCase(),
        textSnippet: textSnippet(element),
        componentGuess: componentGuess(element),
        fileGuess: fileGuess(element),
        source: frameworkSource(element),
        sameTextCount: sameTextCount(element),
        computedStyle: computedStyle(element),
        styleSources: styleSources(element),
        placeCount: placeCount(element),
        // Ctrl is the Command key here; either opens the inline editor.
        metaClick: !!(event.metaKey || event.ctrlKey),
      });
    },
    true
  );

  // The style panel's part: computed values, where each comes from, styles tried and taken back.
  // @include bridge-style.js

  window.addEventListener("scroll", queueRefresh, true);
  window.addEventListener("resize", queueRefresh);

  // The two functions Tarn calls.
  window.__tarnSyncSelections = function (keys) {
    var keep = Array.isArray(keys) ? keys : [];
    selectedEntries.forEach(function (entry, key) {
      if (keep.indexOf(key) === -1) {
        entry.frame.remove();
        selectedEntries.delete(key);
      }
    });
    queueRefresh();
  };

  window.__tarnSetInspectMode = function (enabled) {
    inspectEnabled = !!enabled;
    if (!inspectEnabled) {
      hoverOverlay.style.display = "none";
    }
    queueRefresh();
  };
})();
