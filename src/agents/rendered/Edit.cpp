// Editing page text in its source: the words that changed, mapped to the cells they came from,
// written back with the escaping their place needs, and read again to be sure.
#include "agents/rendered/Escape.h"
#include "agents/rendered/Rendered.h"
#include "agents/rendered/Sink.h"
#include "support/Text.h"

#include <algorithm>

namespace tarn::rendered {

namespace {

// Words and the spaces between them, so a change stays within the words it touches.
std::vector<std::u32string> tokens(const std::u32string& t) {
    std::vector<std::u32string> out;
    for (std::size_t i = 0; i < t.size();) {
        std::size_t j = i + 1;
        const bool space = detail::isSpace(t[i]);
        while (j < t.size() && !space && !detail::isSpace(t[j])) ++j;
        out.push_back(t.substr(i, j - i));
        i = j;
    }
    return out;
}

// A stretch of the old text (characters `from` to `to`) that becomes `with`.
struct Hunk {
    std::size_t from, to;
    std::u32string with;
};

// The changes from one text to the other, word by word (a longest common subsequence of words).
std::vector<Hunk> difference(const std::u32string& oldText, const std::u32string& newText) {
    const auto a = tokens(oldText), b = tokens(newText);
    std::vector<std::vector<int>> lcs(a.size() + 1, std::vector<int>(b.size() + 1, 0));
    for (std::size_t i = a.size(); i-- > 0;) {
        for (std::size_t j = b.size(); j-- > 0;) {
            lcs[i][j] = a[i] == b[j] ? lcs[i + 1][j + 1] + 1 : std::max(lcs[i + 1][j], lcs[i][j + 1]);
        }
    }
    std::vector<Hunk> hunks;
    std::size_t i = 0, j = 0, position = 0;
    std::optional<Hunk> open;
    auto close = [&] {
        if (open) hunks.push_back(*open);
        open.reset();
    };
    while (i < a.size() || j < b.size()) {
        if (i < a.size() && j < b.size() && a[i] == b[j]) {
            close();
            position += a[i].size();
            ++i;
            ++j;
        } else if (j < b.size() && (i == a.size() || lcs[i][j + 1] >= lcs[i + 1][j])) {
            if (!open) open = Hunk{position, position, {}};
            open->with += b[j++];
        } else {
            if (!open) open = Hunk{position, position, {}};
            position += a[i].size();
            open->to = position;
            ++i;
        }
    }
    close();
    return hunks;
}

std::size_t nonSpace(const std::u32string& s) {
    return static_cast<std::size_t>(std::count_if(s.begin(), s.end(), [](char32_t c) { return !detail::isSpace(c); }));
}

}  // namespace

Edit applyEdit(std::string_view source, Syntax syntax, const std::vector<Cell>& cells, const Match& match,
               const std::u32string& oldText, const std::string& newText) {
    Edit result;
    const std::vector<Hunk> hunks = difference(oldText, text::toCodePoints(newText));

    struct Change {
        std::size_t begin, end;
        std::string text;
    };
    std::vector<Change> changes;
    // Characters of the file's own text the edit removes and adds, spaces aside: the edited file
    // must show the new text with that many.
    std::size_t removed = 0, added = 0;
    for (const Hunk& hunk : hunks) {
        std::size_t begin, end;
        const Cell* place;
        if (hunk.from == hunk.to) {
            // An insertion goes after the character before it, or before the one after it; next
            // to an expression it goes outside it, leaving its value alone.
            const Cell* before = hunk.from > 0 ? &cells[match.cellOf[hunk.from - 1]] : nullptr;
            const Cell* next = hunk.from < oldText.size() ? &cells[match.cellOf[hunk.from]] : nullptr;
            bool after = false;
            if (before && before->kind == Cell::Kind::character) {
                place = before;
                after = true;
            } else if (next && next->kind == Cell::Kind::character) {
                place = next;
            } else if (before) {
                place = before;
                after = true;
            } else if (next) {
                place = next;
            } else {
                result.refusal = Refusal::changesValue;
                return result;
            }
            begin = end = after ? place->end : place->begin;
        } else {
            place = &cells[match.cellOf[hunk.from]];
            begin = place->begin;
            end = place->end;
            for (std::size_t k = hunk.from; k < hunk.to; ++k) {
                const Cell& cell = cells[match.cellOf[k]];
                if (cell.kind != Cell::Kind::character) {
                    result.refusal = Refusal::changesValue;
                    return result;
                }
                if (cell.run != place->run || cell.context != place->context) {
                    result.refusal = Refusal::crossesMarkup;
                    return result;
                }
                begin = std::min(begin, cell.begin);
                end = std::max(end, cell.end);
            }
            removed += nonSpace(oldText.substr(hunk.from, hunk.to - hunk.from));
        }
        added += nonSpace(hunk.with);
        std::string with;
        for (char32_t c : hunk.with) text::appendCodePoint(with, c);
        changes.push_back(Change{begin, end, detail::escapeFor(syntax, place->context, with)});
    }
    std::sort(changes.begin(), changes.end(), [](const Change& x, const Change& y) { return x.begin > y.begin; });
    std::string edited(source);
    std::size_t limit = std::string::npos;
    for (const Change& change : changes) {
        if (change.end > limit) {
            result.refusal = Refusal::crossesMarkup;
            return result;
        }
        edited.replace(change.begin, change.end - change.begin, change.text);
        limit = change.begin;
    }
    // Read again: the new text must show, with every character of the file's own text that the
    // edit kept and wrote, or nothing is written.
    const std::size_t expected = match.literalCharacters + added - std::min(removed, match.literalCharacters + added);
    const std::u32string shown = normalize(newText);
    if (!shown.empty()) {
        const auto found = find(read(edited, syntax).cells, shown);
        const bool shows = std::any_of(found.begin(), found.end(), [&](const Match& m) { return m.literalCharacters >= expected; });
        if (!shows) {
            result.refusal = Refusal::unchecked;
            return result;
        }
    }
    result.source = std::move(edited);
    return result;
}

}  // namespace tarn::rendered
