// Included into bridge.js where it says so, inside its closure: the style panel's part of the
// page bridge.
  // What the style panel shows: the element's computed values of the properties it edits.
  var styleProperties = ["color", "background-color", "font-size", "font-weight", "text-align", "margin-top",
    "margin-right", "margin-bottom", "margin-left", "padding-top", "padding-right", "padding-bottom", "padding-left",
    "border-top-left-radius", "width", "max-width", "display", "flex-direction", "gap", "align-items", "justify-content"];
  // Colors as rgb(), which every reader takes: a color given as oklch() or color-mix() is drawn
  // on a one-pixel canvas and read back.
  var colorCanvas = null;
  function rgbOf(value) {
    if (!value || value.indexOf("rgb") === 0) {
      return value;
    }
    try {
      colorCanvas = colorCanvas || document.createElement("canvas");
      colorCanvas.width = colorCanvas.height = 1;
      var context = colorCanvas.getContext("2d", { willReadFrequently: true });
      context.clearRect(0, 0, 1, 1);
      context.fillStyle = value;
      context.fillRect(0, 0, 1, 1);
      var d = context.getImageData(0, 0, 1, 1).data;
      return d[3] === 255
        ? "rgb(" + d[0] + ", " + d[1] + ", " + d[2] + ")"
        : "rgba(" + d[0] + ", " + d[1] + ", " + d[2] + ", " + Math.round((d[3] / 255) * 1000) / 1000 + ")";
    } catch (e) {
      return value;
    }
  }
  function computedStyle(element) {
    var computed = window.getComputedStyle(element);
    var out = {};
    styleProperties.forEach(function (name) {
      var value = computed.getPropertyValue(name);
      out[name] = name.indexOf("color") !== -1 ? rgbOf(value) : value;
    });
    return out;
  }

  // Where each edited value comes from: the element's style attribute, the rule that wins the
  // cascade (its selector, the file the dev server names for its sheet, how many elements it
  // styles, and whether all of them come from this element's source place), inheritance, or the
  // browser's default. Approximate where the cascade is subtle; the writer checks the source.
  var inheritedProperties = { color: true, "font-size": true, "font-weight": true, "text-align": true };

  function selectorParts(text) {
    var parts = [];
    var depth = 0;
    var start = 0;
    for (var i = 0; i < text.length; i++) {
      var c = text[i];
      if (c === "\\") i++;
      else if (c === "(" || c === "[") depth++;
      else if (c === ")" || c === "]") depth--;
      else if (c === "," && depth === 0) {
        parts.push(text.slice(start, i).trim());
        start = i + 1;
      }
    }
    parts.push(text.slice(start).trim());
    return parts;
  }

  function specificity(selector) {
    var s = selector.replace(/\\./g, "x").replace(/:where\([^)]*\)/g, "").replace(/\[[^\]]*\]/g, ".a");
    var ids = (s.match(/#[\w-]+/g) || []).length;
    var elements = (s.match(/::[\w-]+/g) || []).length;
    s = s.replace(/::[\w-]+/g, "");
    var wrappers = (s.match(/:(is|not|has)\(/g) || []).length;
    var classes = (s.match(/\.[\w-]+|:[\w-]+/g) || []).length - wrappers;
    elements += (s.replace(/[.#:][\w-]+/g, "").match(/[a-zA-Z][\w-]*/g) || []).length;
    return [ids, classes, elements];
  }

  function sheetFile(sheet) {
    var node = sheet.ownerNode;
    var id = node && node.getAttribute && node.getAttribute("data-vite-dev-id");
    return id || sheet.href || "";
  }

  // The style rules that match the element, in the order the page has them, with their layer.
  function matchedRules(element) {
    var found = [];
    var layers = [];
    var order = 0;
    function addLayer(name) {
      if (layers.indexOf(name) === -1) layers.push(name);
    }
    function consider(rule, selector, file, layer, condition) {
      order++;
      var best = null;
      var matched = "";
      selectorParts(selector).forEach(function (part) {
        if (part && element.matches(part)) {
          var weight = specificity(part);
          if (!best || compare(weight, best) > 0) {
            best = weight;
            matched = part;
          }
        }
      });
      if (best) found.push({ rule: rule, selector: selector, matched: matched, file: file, layer: layer, order: order, weight: best,
                             condition: condition || "" });
    }
    // `parent`: the selector of the style rule a nested one sits in, which `&` stands for;
    // `condition`: the media query of the innermost @media around it.
    function visit(rules, file, layer, parent, condition) {
      for (var i = 0; i < rules.length && order < 50000; i++) {
        var rule = rules[i];
        try {
          if (rule instanceof CSSStyleRule) {
            var selector = rule.selectorText;
            if (parent) {
              selector = selector.indexOf("&") !== -1 ? selector.split("&").join(":is(" + parent + ")") : ":is(" + parent + ") " + selector;
            }
            consider(rule, selector, file, layer, condition);
            if (rule.cssRules && rule.cssRules.length) visit(rule.cssRules, file, layer, selector, condition);
          } else if (parent && rule.style && !("selectorText" in rule)) {
            consider(rule, parent, file, layer, condition);  // declarations nested in a rule's @media
          } else if (typeof CSSMediaRule !== "undefined" && rule instanceof CSSMediaRule) {
            if (window.matchMedia(rule.media.mediaText).matches) visit(rule.cssRules, file, layer, parent, rule.media.mediaText);
          } else if (typeof CSSSupportsRule !== "undefined" && rule instanceof CSSSupportsRule) {
            if (CSS.supports(rule.conditionText)) visit(rule.cssRules, file, layer, parent, condition);
          } else if (typeof CSSLayerBlockRule !== "undefined" && rule instanceof CSSLayerBlockRule) {
            var name = (layer ? layer + "." : "") + (rule.name || "#" + order);
            addLayer(name);
            visit(rule.cssRules, file, name, parent, condition);
          } else if (typeof CSSLayerStatementRule !== "undefined" && rule instanceof CSSLayerStatementRule) {
            Array.prototype.forEach.call(rule.nameList, function (n) { addLayer((layer ? layer + "." : "") + n); });
          } else if (typeof CSSImportRule !== "undefined" && rule instanceof CSSImportRule && rule.styleSheet) {
            visit(rule.styleSheet.cssRules, file, layer, parent, condition);
          }
        } catch (e) {}
      }
    }
    Array.prototype.forEach.call(document.styleSheets, function (sheet) {
      try {
        visit(sheet.cssRules, sheetFile(sheet), null, null, "");
      } catch (e) {}
    });
    found.forEach(function (f) {
      f.layerRank = f.layer === null ? layers.length + 1 : layers.indexOf(f.layer) + 1;
    });
    return found;
  }

  function compare(a, b) {
    for (var i = 0; i < a.length; i++) {
      if (a[i] !== b[i]) return a[i] - b[i];
    }
    return 0;
  }

  // The element's own place in the source, when the framework says it exactly.
  function placeKey(element) {
    var source = frameworkSource(element);
    return source && !source.fromAncestor && source.line > 0 ? source.file + ":" + source.line + ":" + source.column : null;
  }

  // How many elements of the page come from the element's source place (a list's items do).
  function placeCount(element) {
    var key = placeKey(element);
    if (!key) return 1;
    var all = document.getElementsByTagName(element.tagName);
    var count = 0;
    for (var i = 0; i < all.length && i < 5000; i++) {
      if (all[i] === element || placeKey(all[i]) === key) count++;
    }
    return Math.max(count, 1);
  }

  function styleSources(element) {
    var out = {};
    var rules;
    try {
      rules = matchedRules(element);
    } catch (e) {
      return out;
    }
    var key = placeKey(element);
    var reached = {};
    styleProperties.forEach(function (name) {
      if (name === "display") return;
      if (element.style.getPropertyValue(name)) {
        out[name] = { kind: "inline" };
        return;
      }
      var winner = null;
      var winnerRank = null;
      rules.forEach(function (f) {
        if (!f.rule.style.getPropertyValue(name)) return;
        var important = f.rule.style.getPropertyPriority(name) === "important" ? 1 : 0;
        var layerRank = important ? -f.layerRank : f.layerRank;
        var rank = [important, layerRank].concat(f.weight, [f.order]);
        if (!winnerRank || compare(rank, winnerRank) >= 0) {
          winner = f;
          winnerRank = rank;
        }
      });
      if (!winner) {
        out[name] = { kind: inheritedProperties[name] && element.parentElement ? "inherited" : "default" };
        return;
      }
      var selector = winner.selector;
      if (!reached[selector]) {
        var matched = [];
        try {
          matched = document.querySelectorAll(selector);
        } catch (e) {}
        var same = true;
        var reach = 0;
        for (var i = 0; i < matched.length; i++) {
          if (matched[i] === hoverOverlay || selectedLayer.contains(matched[i])) continue;  // ours
          reach++;
          same = same && (matched[i] === element || (reach < 500 && key !== null && placeKey(matched[i]) === key));
        }
        reached[selector] = { reach: reach, sameSource: same };
      }
      out[name] = {
        kind: "rule",
        selector: selector.slice(0, 400),
        matched: winner.matched.slice(0, 400),
        condition: winner.condition.slice(0, 400),
        sheet: winner.file.slice(0, 1000),
        layered: winner.layer !== null,
        specificity: winner.weight,
        reach: reached[selector].reach,
        sameSource: reached[selector].sameSource,
      };
    });
    return out;
  }

  // A style tried on a selected element before it is written, and taken back: the inline values
  // it had are kept until then.
  var triedStyles = new Map();
  window.__tarnTryStyle = function (key, property, value) {
    var entry = selectedEntries.get(key);
    if (!entry) {
      return;
    }
    var element = entry.element;
    var saved = triedStyles.get(element) || {};
    if (!(property in saved)) {
      saved[property] = [element.style.getPropertyValue(property), element.style.getPropertyPriority(property)];
    }
    triedStyles.set(element, saved);
    element.style.setProperty(property, value, "important");
    queueRefresh();
  };
  window.__tarnTakeBackStyles = function () {
    triedStyles.forEach(function (saved, element) {
      Object.keys(saved).forEach(function (property) {
        element.style.setProperty(property, saved[property][0], saved[property][1]);
      });
    });
    triedStyles.clear();
    queueRefresh();
  };
