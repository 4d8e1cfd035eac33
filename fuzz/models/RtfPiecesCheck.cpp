#include "RtfPiecesCheck.h"
#include <windows.h>
#include <string.h>

namespace model {

namespace {

const char kTrailer[] = "\\par}";
const char kPieceEnd[] = "}";

inline bool IsLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// The format the control applies to a character: colour index and bold.
struct Format {
    long colour = 0;
    bool bold = false;
    bool operator==(const Format& other) const { return colour == other.colour && bold == other.bold; }
};

// What the control takes from RTF text: a text byte or a paragraph mark,
// in a format.
struct Item {
    int byte;           // -1: a paragraph mark
    Format format;
    bool afterWord;     // a control word stands between it and the item before
    bool operator==(const Item& other) const { return byte == other.byte && format == other.format; }
};

bool EndsWith(const std::string& text, const char* tail)
{
    const size_t n = strlen(tail);
    return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

// Ends with the paragraph mark and the group's end as control words, not as
// the text "\\par" of an escaped backslash before it: the backslashes in a
// row that end at the mark's own are odd in number.
bool EndsWithTrailer(const std::string& text)
{
    if (!EndsWith(text, kTrailer)) return false;
    size_t backslashes = 0;
    for (size_t at = text.size() - strlen(kTrailer) + 1; at > 0 && text[at - 1] == '\\'; --at) ++backslashes;
    return backslashes % 2 == 1;
}

// Reads RTF text of the body's kind (no groups) as the control does from
// format: control words (letters, an optional signed number, one delimiting
// space), the escapes of backslash and braces, line ends ignored. Only \cf,
// \b and \par change what is read. False when the text breaks off inside an
// escape or holds what the body never does.
bool Read(const char* p, size_t length, Format& format, std::vector<Item>* items)
{
    const char* end = p + length;
    bool afterWord = false;
    while (p < end) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '{' || c == '}') return false;
        if (c == '\n' || c == '\r') {
            ++p;
            continue;
        }
        if (c != '\\') {
            if (items) items->push_back(Item{ c, format, afterWord });
            afterWord = false;
            ++p;
            continue;
        }
        if (++p == end) return false;
        const unsigned char next = static_cast<unsigned char>(*p);
        if (next == '\\' || next == '{' || next == '}') {
            if (items) items->push_back(Item{ next, format, afterWord });
            afterWord = false;
            ++p;
            continue;
        }
        if (!IsLetter(next)) return false;
        const char* name = p;
        while (p < end && IsLetter(static_cast<unsigned char>(*p))) ++p;
        const std::string word(name, p - name);
        bool negative = false, hasValue = false;
        long value = 0;
        if (p < end && *p == '-') {
            negative = true;
            ++p;
        }
        while (p < end && IsDigit(static_cast<unsigned char>(*p))) {
            hasValue = true;
            if (value < 1000000) value = value * 10 + (*p - '0');
            ++p;
        }
        if (negative) value = -value;
        if (p < end && *p == ' ') ++p;
        afterWord = true;
        if (word == "cf") format.colour = hasValue ? value : 0;
        else if (word == "b") format.bold = !hasValue || value != 0;
        else if (word == "par" && items) items->push_back(Item{ -1, format, true });
    }
    return true;
}

// Format words alone: control words only, each but the last delimited by
// the next backslash, the last by a space.
bool AreFormatWords(const std::string& words)
{
    if (words.empty()) return true;
    if (words.back() != ' ' || words[0] != '\\') return false;
    for (size_t i = 0; i + 1 < words.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(words[i]);
        if (c == ' ' || c == '{' || c == '}' || c == '\n') return false;
        if (c == '\\' && !IsLetter(static_cast<unsigned char>(words[i + 1]))) return false;
    }
    return true;
}

}  // namespace

const char* RtfPiecesFault(const std::string& document, const std::string& prolog,
                           const std::vector<std::string>& pieces)
{
    if (document.compare(0, prolog.size(), prolog) != 0 || !EndsWithTrailer(document) ||
        document.size() < prolog.size() + strlen(kTrailer))
        return "the document is not the prolog, a body and the trailer";
    const std::string body = document.substr(prolog.size(), document.size() - prolog.size() - strlen(kTrailer));
    if (pieces.empty()) return "no pieces";

    // The later pieces: their opening words run to the first space.
    std::vector<std::string> opening, slices;
    size_t laterBytes = 0;
    for (size_t i = 1; i < pieces.size(); ++i) {
        const std::string& piece = pieces[i];
        if (piece.compare(0, prolog.size(), prolog) != 0) return "a later piece does not start with the prolog";
        if (!EndsWith(piece, kPieceEnd) || EndsWithTrailer(piece) || piece.size() < prolog.size() + 1)
            return "a later piece does not end its group alone";
        const std::string inner = piece.substr(prolog.size(), piece.size() - prolog.size() - 1);
        const size_t space = inner.find(' ');
        if (space == std::string::npos) return "a later piece states no format";
        opening.push_back(inner.substr(0, space + 1));
        if (!AreFormatWords(opening.back())) return "a later piece opens with more than format words";
        slices.push_back(inner.substr(space + 1));
        if (slices.back().empty()) return "a later piece carries no body";
        laterBytes += slices.back().size();
    }

    // The first piece: what the later ones leave of the body, then its
    // closing words.
    const std::string& first = pieces[0];
    if (first.compare(0, prolog.size(), prolog) != 0 || !EndsWithTrailer(first) ||
        first.size() < prolog.size() + strlen(kTrailer))
        return "the first piece is not a whole document";
    if (laterBytes > body.size()) return "the later pieces carry more than the body";
    const std::string firstBody = body.substr(0, body.size() - laterBytes);
    const std::string firstInner = first.substr(prolog.size(), first.size() - prolog.size() - strlen(kTrailer));
    if (firstInner.compare(0, firstBody.size(), firstBody) != 0) return "the first piece's text is not the body's start";
    const std::string closing = firstInner.substr(firstBody.size());
    if (!AreFormatWords(closing)) return "the first piece closes with more than format words";
    std::string joined = firstBody;
    for (const std::string& slice : slices) joined += slice;
    if (joined != body) return "the pieces' text does not add up to the body byte for byte";

    // What the whole body gives, and what the pieces give read one by one.
    Format format;
    std::vector<Item> whole;
    if (!Read(body.data(), body.size(), format, &whole)) return "the body does not read as RTF";
    const Format atEnd = format;

    std::vector<Item> streamed;
    std::vector<size_t> cuts;
    Format state;
    if (!Read(firstBody.data(), firstBody.size(), state, &streamed)) return "the first piece breaks off inside an escape";
    Format closingState = state;
    Read(closing.data(), closing.size(), closingState, nullptr);
    if (!(closingState == atEnd)) return "the first piece leaves another format for the final paragraph mark";
    for (size_t i = 0; i < slices.size(); ++i) {
        Format opened;
        Read(opening[i].data(), opening[i].size(), opened, nullptr);
        if (!(opened == state)) return "a later piece opens with another format than the body has there";
        cuts.push_back(streamed.size());
        if (!Read(slices[i].data(), slices[i].size(), opened, &streamed)) return "a piece breaks off inside an escape";
        state = opened;
    }
    if (streamed != whole) return "the pieces read otherwise than the whole body";

    // A double-byte character, read from the start of the text, is not
    // split: a lead byte and the text byte right after it, with no control
    // word between them.
    std::vector<bool> splitAfter(whole.size(), false);
    for (size_t i = 0; i + 1 < whole.size();) {
        if (whole[i].byte >= 0 && whole[i + 1].byte >= 0 && !whole[i + 1].afterWord &&
            IsDBCSLeadByte(static_cast<BYTE>(whole[i].byte))) {
            splitAfter[i] = true;
            i += 2;
        } else {
            ++i;
        }
    }
    for (size_t cut : cuts)
        if (cut > 0 && splitAfter[cut - 1]) return "a cut falls inside a double-byte character";
    return nullptr;
}

}  // namespace model
