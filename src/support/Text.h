#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::text {

// Unicode White_Space (which includes every newline character) removed at both ends.
std::string trim(std::string_view s);
// Only spaces and tabs removed at both ends.
std::string trimSpacesAndTabs(std::string_view s);

// True for LF, VT, FF, CR, NEL, LS and PS.
bool isNewline(char32_t c);
// Splits at every newline character; each one ends a piece, so CR LF leaves an empty piece.
std::vector<std::string> splitNewlines(std::string_view s);
// The same, without the empty pieces.
std::vector<std::string> splitLines(std::string_view s);
std::vector<std::string> split(std::string_view s, char separator, bool dropEmpty);
std::string join(const std::vector<std::string>& parts, std::string_view separator);

std::string toLower(std::string_view s);
std::string toUpper(std::string_view s);
// Every word capitalised: first letter upper case, the rest lower case.
std::string toTitleCase(std::string_view s);

// User-perceived characters (grapheme clusters).
std::size_t graphemeCount(std::string_view s);
std::string graphemePrefix(std::string_view s, std::size_t count);
// The first line, trimmed, at most `count` graphemes: what a status line or a label quotes.
std::string firstLine(std::string_view s, std::size_t count);

bool startsWith(std::string_view s, std::string_view prefix);
bool contains(std::string_view s, std::string_view part);
std::string replaceAll(std::string s, std::string_view from, std::string_view to);

bool isValidUtf8(std::string_view bytes);

// UTF-8 decoding that never fails: each invalid sequence becomes U+FFFD.
std::string decodeUtf8Lossy(std::string_view bytes);

// Decodes a byte stream chunk by chunk, holding back an incomplete character for the next chunk.
class Utf8StreamDecoder {
public:
    std::string feed(std::string_view bytes);
    // Whatever is held back at the end of the stream, decoded (an unfinished sequence becomes U+FFFD).
    std::string finish();

private:
    std::string pending_;
};

// Terminal escape sequences (colours, cursor moves, titles) removed, as a log shows the text.
std::string stripTerminalEscapes(std::string_view s);

// Absolute URLs with a scheme ("http://localhost:3000/") found in a line, in order, without the
// punctuation that ends a sentence around them.
std::vector<std::string> findLinks(std::string_view s);

// The code point at byte `pos` of UTF-8 text and its length in bytes; an invalid sequence gives
// U+FFFD for its maximal valid prefix (as decodeUtf8Lossy does), so walking by the lengths
// visits every byte once.
struct CodePointAt {
    char32_t value;
    std::size_t length;
};
CodePointAt decodeAt(std::string_view s, std::size_t pos);
std::u32string toCodePoints(std::string_view s);

// Appends the UTF-8 form of one code point.
void appendCodePoint(std::string& out, char32_t c);

}  // namespace tarn::text
