#pragma once
// What the viewer's pieces of a document must keep, checked on any page.
// Built without coverage: the check steers nothing.
#include <string>
#include <vector>

namespace model {

// Null when the pieces, streamed in order, leave the control as the single
// document does; otherwise what is wrong. document is prolog + body +
// "\par}". The pieces compose by this rule, which the check reads back:
//   first piece:  prolog + B0 + closing words + "\par}"   (replaces the content)
//   later piece:  prolog + opening words + Bi + "}"      (inserted at the end)
// where B0 + B1 + ... + Bn is the body byte for byte; the opening words of
// each later piece put in force the colour and bold that the body has where
// Bi starts (an inserted document starts from the default format); and the
// closing words leave in force, for the final paragraph mark, what the body
// has at its end. Each Bi read alone from its opening format gives the text
// bytes, paragraph marks and formats that it gives in the whole body, so no
// cut falls inside a control word or an escape; and no cut falls between the
// two bytes of a double-byte character of the ANSI code page.
const char* RtfPiecesFault(const std::string& document, const std::string& prolog,
                           const std::vector<std::string>& pieces);

}  // namespace model
