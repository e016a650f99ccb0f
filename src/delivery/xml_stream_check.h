// Well-formedness and DTD validity of a management file of any size,
// checked without holding its document tree.
//
// The text is parsed by libxml2 as it is handed over, a piece at a time,
// and never loaded from anywhere else (no DTD, no entity, no network). Each
// child element of the root is validated as soon as it has been read and
// then dropped, leaving only an empty element of its name in its place;
// the root itself is validated at the end against that row of names. The
// findings are libxml2's own, in the order a validation of the whole tree
// gives them. A DTD that declares ID or IDREF attributes, or a document
// whose DOCTYPE declares anything itself, is validated on the whole tree
// instead (identities span records).
//
// Safe to call on any thread; libxml2's error handler of the calling thread
// is taken only while validating.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dlvr {

struct TXmlStreamCheck {
  // False when the text is not well-formed; then Line and Reason are
  // libxml2's last error (line 0 when unknown) and nothing was validated.
  bool WellFormed = false;
  int Line = 0;
  std::string Reason;
  // A DTD was chosen but could not be parsed (nothing validated).
  bool DtdUnreadable = false;
  // The validity messages (trailing blanks and line breaks taken off), at
  // most the number asked for, with their lines; More counts the rest.
  struct TMessage {
    int Line = 0;
    std::string Text;
  };
  std::vector<TMessage> Messages;
  std::size_t More = 0;
};

// Fills `buffer` with at most `size` further bytes of the text (UTF-8) and
// returns how many; 0 at the end.
using TXmlTextSource = std::function<std::size_t(char* buffer, std::size_t size)>;

// The DTD text (UTF-8) to validate against, given the root element's name
// and its DTD_version attribute ("" when absent); nullopt for no validation.
// Asked once, when the root element starts.
using TXmlDtdChooser = std::function<std::optional<std::string>(std::string_view root, std::string_view version)>;

// Parses the text (options: no network, no warnings or errors printed,
// compact, blanks dropped) and validates it as above, keeping at most
// `most` messages.
TXmlStreamCheck CheckXmlStream(const TXmlTextSource& text, const TXmlDtdChooser& dtdFor, std::size_t most);

}  // namespace dlvr
