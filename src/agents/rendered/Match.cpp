// Finding page text in a reading.
#include "agents/rendered/Rendered.h"
#include "agents/rendered/Sink.h"
#include "support/Text.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace tarn::rendered {

std::u32string normalize(std::string_view text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        auto [c, length] = text::decodeAt(text, i);
        i += length;
        if (detail::isSpace(c)) {
            if (!out.empty() && out.back() != U' ') out += U' ';
        } else {
            out += c;
        }
    }
    while (!out.empty() && out.back() == U' ') out.pop_back();
    return out;
}

namespace {

// The cells as a matcher sees them: expressions next to each other stand for one value together
// (the first of them takes it), so a match of n characters spans at most 2n + 1 tokens.
struct Token {
    Cell::Kind kind;
    char32_t ch;
    std::size_t cell;
};

std::vector<Token> tokensOf(const std::vector<Cell>& cells) {
    std::vector<Token> tokens;
    tokens.reserve(cells.size());
    for (std::size_t k = 0; k < cells.size(); ++k) {
        const Cell& cell = cells[k];
        if (cell.kind == Cell::Kind::expression && !tokens.empty() && tokens.back().kind == Cell::Kind::expression) continue;
        tokens.push_back(Token{cell.kind, cell.ch, k});
    }
    return tokens;
}

}  // namespace

std::vector<Match> find(const std::vector<Cell>& cells, const std::u32string& text) {
    std::vector<Match> matches;
    const std::size_t n = text.size();
    if (n == 0 || n > longestText) return matches;
    const std::vector<Token> tokens = tokensOf(cells);
    const std::size_t count = tokens.size();
    const std::size_t window = 2 * n + 2;
    constexpr std::int16_t impossible = std::numeric_limits<std::int16_t>::min();

    // score[t][i]: the most characters of the file's own text (spaces aside) that can carry
    // text[i..] from token t on; `impossible` when it cannot be carried. choice[t][i]: for an
    // expression, where the text goes on after its value (the longest value among the best).
    // Filled from the last token back; a match needs the window of tokens after its start.
    std::vector<std::int16_t> score(window * (n + 1)), choice(window * (n + 1));
    auto column = [&](std::size_t t) { return (t % window) * (n + 1); };
    std::vector<std::int16_t> past(n + 1, impossible);  // the column after the last token
    past[n] = 0;

    struct Candidate {
        std::size_t token;
        std::vector<std::size_t> cellOf;
        std::size_t literal;
    };
    std::vector<Candidate> candidates;  // from the last start back
    constexpr std::size_t mostCandidates = 1000;

    for (std::size_t t = count; t-- > 0;) {
        const std::int16_t* next = t + 1 < count ? &score[column(t + 1)] : past.data();
        std::int16_t* here = &score[column(t)];
        std::int16_t* chosen = &choice[column(t)];
        const Token& token = tokens[t];
        here[n] = 0;  // the whole text carried: nothing more is needed
        switch (token.kind) {
            case Cell::Kind::boundary:
                std::fill(here, here + n, impossible);
                break;
            case Cell::Kind::character:
                for (std::size_t i = 0; i < n; ++i) {
                    here[i] = token.ch == text[i] && next[i + 1] != impossible
                                  ? static_cast<std::int16_t>(next[i + 1] + (token.ch != U' '))
                                  : impossible;
                }
                break;
            case Cell::Kind::expression: {
                // The value takes text[i..j); the best j, the longest on a tie.
                std::int16_t best = next[n];
                std::int16_t where = static_cast<std::int16_t>(n);
                for (std::size_t i = n; i-- > 0;) {
                    if (next[i] > best) {
                        best = next[i];
                        where = static_cast<std::int16_t>(i);
                    }
                    here[i] = best;
                    chosen[i] = where;
                }
                break;
            }
        }
        // A match starts at a character that begins the text, or at a value.
        const bool canStart = (token.kind == Cell::Kind::character && token.ch == text[0]) || token.kind == Cell::Kind::expression;
        if (!canStart || here[0] == impossible || candidates.size() >= mostCandidates) continue;
        Candidate candidate{t, std::vector<std::size_t>(n), static_cast<std::size_t>(here[0])};
        std::size_t i = 0, u = t;
        while (i < n) {
            const Token& step = tokens[u];
            if (step.kind == Cell::Kind::character) {
                candidate.cellOf[i++] = step.cell;
            } else {
                const std::size_t until = static_cast<std::size_t>(choice[column(u) + i]);
                for (; i < until; ++i) candidate.cellOf[i] = step.cell;
            }
            ++u;
        }
        candidates.push_back(std::move(candidate));
    }

    // In reading order: a value inside the match before it starts no match of its own, and a
    // value that shows nothing at the start gives the same match as the character after it.
    std::size_t coveredUntil = 0;
    for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
        const bool startsWithValue = tokens[it->token].kind == Cell::Kind::expression;
        if (startsWithValue && tokens[it->token].cell < coveredUntil) continue;
        if (!matches.empty() && matches.back().cellOf == it->cellOf) continue;
        coveredUntil = it->cellOf.back() + 1;
        matches.push_back(Match{std::move(it->cellOf), it->literal});
    }
    return matches;
}

}  // namespace tarn::rendered
