#pragma once
#include "agents/rendered/Rendered.h"

#include <vector>

namespace tarn::rendered::detail {

// Where a reading goes. Page text comes in regions (an element tree, a template, a document); a
// region opened while another is open comes after it in the reading (the markup inside an
// expression is read where the expression is, and shown after the tree around it). White space
// runs fold into one space as the page folds them. Every cell comes from bytes no other cell
// comes from.
class Sink {
public:
    // Nothing is kept while one lives: no cells (and, when asked, no strings either), for code
    // whose text never reaches the page (attributes, a <script>'s body).
    class Mute {
    public:
        enum class What { cells, everything };
        Mute(Sink& sink, What what);
        ~Mute();
        Mute(const Mute&) = delete;
        Mute& operator=(const Mute&) = delete;

    private:
        Sink& sink_;
        What what_;
    };

    void open();
    void close();
    // A new run of source text: an edit never reaches from one run into another.
    void newRun() { ++run_; }
    void character(char32_t c, std::size_t begin, std::size_t end, Context context);
    void expression(std::size_t begin, std::size_t end, Context context);
    // A break inside the open region that no match crosses (a code block of a document).
    void boundary();
    void literal(Literal literal);

    // The reading, regions in order, each between two boundaries.
    Reading take();

private:
    struct Region {
        std::vector<Cell> cells;
        std::vector<std::size_t> after;  // regions opened while this one was open
    };
    std::vector<Cell>* current();

    std::vector<Region> regions_;
    std::vector<std::size_t> roots_;
    std::vector<std::size_t> open_;  // `muted` for a region opened while muted
    std::vector<Literal> literals_;
    std::uint32_t run_ = 0;
    int mutedCells_ = 0, mutedLiterals_ = 0;
    static constexpr std::size_t muted = static_cast<std::size_t>(-1);
};

// White space as the page's inspector collapses it (JavaScript's \s).
bool isSpace(char32_t c);

}  // namespace tarn::rendered::detail
