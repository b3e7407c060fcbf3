#include "agents/rendered/Sink.h"

namespace tarn::rendered::detail {

bool isSpace(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
           c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

Sink::Mute::Mute(Sink& sink, What what) : sink_(sink), what_(what) {
    ++sink_.mutedCells_;
    if (what_ == What::everything) ++sink_.mutedLiterals_;
}

Sink::Mute::~Mute() {
    --sink_.mutedCells_;
    if (what_ == What::everything) --sink_.mutedLiterals_;
}

void Sink::open() {
    if (mutedCells_ > 0) {
        open_.push_back(muted);
        return;
    }
    const std::size_t index = regions_.size();
    regions_.emplace_back();
    // The innermost region that keeps cells takes it after itself.
    std::size_t owner = muted;
    for (auto it = open_.rbegin(); it != open_.rend(); ++it) {
        if (*it != muted) {
            owner = *it;
            break;
        }
    }
    if (owner == muted) roots_.push_back(index);
    else regions_[owner].after.push_back(index);
    open_.push_back(index);
}

void Sink::close() {
    if (!open_.empty()) open_.pop_back();
}

std::vector<Cell>* Sink::current() {
    if (mutedCells_ > 0 || open_.empty() || open_.back() == muted) return nullptr;
    return &regions_[open_.back()].cells;
}

void Sink::character(char32_t c, std::size_t begin, std::size_t end, Context context) {
    auto* cells = current();
    if (!cells) return;
    if (isSpace(c)) {
        // Runs of white space, across tags too, show as one space; within one run of source
        // text the space stands for all of it.
        if (!cells->empty() && cells->back().kind == Cell::Kind::character && cells->back().ch == U' ') {
            Cell& previous = cells->back();
            if (previous.end == begin && previous.run == run_ && previous.context == context) previous.end = end;
            return;
        }
        c = U' ';
    }
    cells->push_back(Cell{Cell::Kind::character, context, c, begin, end, run_});
}

void Sink::expression(std::size_t begin, std::size_t end, Context context) {
    auto* cells = current();
    ++run_;
    if (cells) cells->push_back(Cell{Cell::Kind::expression, context, 0, begin, end, run_});
}

void Sink::boundary() {
    auto* cells = current();
    if (cells && (cells->empty() || cells->back().kind != Cell::Kind::boundary)) cells->push_back(Cell{Cell::Kind::boundary});
}

void Sink::literal(Literal literal) {
    if (mutedLiterals_ == 0) literals_.push_back(literal);
}

Reading Sink::take() {
    Reading reading;
    auto boundary = [&] {
        if (reading.cells.empty() || reading.cells.back().kind != Cell::Kind::boundary) {
            reading.cells.push_back(Cell{Cell::Kind::boundary});
        }
    };
    // Each region, then the regions opened while it was open, depth first; without recursion.
    std::vector<std::size_t> stack(roots_.rbegin(), roots_.rend());
    while (!stack.empty()) {
        Region& region = regions_[stack.back()];
        stack.pop_back();
        boundary();
        for (Cell& cell : region.cells) {
            if (cell.kind == Cell::Kind::boundary) boundary();
            else reading.cells.push_back(cell);
        }
        boundary();
        stack.insert(stack.end(), region.after.rbegin(), region.after.rend());
    }
    reading.literals = std::move(literals_);
    regions_.clear();
    roots_.clear();
    return reading;
}

}  // namespace tarn::rendered::detail
