// Text handling for delivery data.
//
// Delivery files are Shift-JIS (in practice CP932). Everything in memory is
// UTF-8; wherever a rule is defined in Shift-JIS bytes (length limits, lead
// bytes, cutting at N bytes) it is applied to the CP932 encoding of the value.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dlvr {

// U+FFFD, what invalid byte sequences decode to.
inline constexpr char32_t kReplacementChar = 0xFFFD;

// Decodes CP932 bytes to UTF-8. Invalid or unmapped sequences become U+FFFD;
// a lead byte followed by a byte that cannot trail it becomes U+FFFD alone and
// the following byte is decoded on its own (so a line break is never eaten).
std::string Cp932ToUtf8(std::string_view bytes);

// Appends the UTF-8 of CP932 bytes to `out`, decoded as Cp932ToUtf8 does.
// For a buffer that is reused: `out` may keep room for up to three times
// the bytes beyond its new size.
void AppendCp932AsUtf8(std::string& out, std::string_view bytes);

// Encodes UTF-8 to CP932. A character CP932 cannot represent (and U+FFFD)
// becomes '?', as the Windows conversion does. Invalid UTF-8 bytes count as
// U+FFFD each.
std::string Utf8ToCp932(std::string_view utf8);

// Number of bytes of the CP932 encoding of a UTF-8 text.
std::size_t Cp932Length(std::string_view utf8);

// Number of bytes one code point takes in CP932 (1 or 2; '?' for the
// unrepresentable counts 1).
std::size_t Cp932CharLength(char32_t cp);

// True when the character has a CP932 encoding (U+FFFD has none).
bool IsCp932Char(char32_t cp);

// CP932 code of a character: 0x00-0xFF for single bytes, lead*256+trail for
// double bytes, -1 when unrepresentable.
int Cp932Code(char32_t cp);

// True for a byte that starts a double-byte CP932 character.
bool IsLeadByte(unsigned char b);

// The longest prefix of a UTF-8 text whose CP932 encoding has at most
// maxBytes bytes, never splitting a character.
std::string CutAtBytes(std::string_view utf8, std::size_t maxBytes);

// Reads one code point from UTF-8 at pos and advances pos. Invalid bytes give
// U+FFFD and advance by one byte.
char32_t NextCodePoint(std::string_view utf8, std::size_t& pos);

// Appends a code point to a UTF-8 string.
void AppendUtf8(std::string& out, char32_t cp);

// Number of code points.
std::size_t CodePointCount(std::string_view utf8);

// ASCII case changes that never touch multi-byte sequences.
std::string AsciiUpper(std::string_view s);
std::string AsciiLower(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWith(std::string_view s, std::string_view prefix);

// The numeric value of the leading digits of a text ("12abc" -> 12), 0 when
// it does not start with a digit. Leading blanks and a sign are accepted.
long LeadingNumber(std::string_view s);

// The value of a text that is a whole integer: leading blanks and a sign
// accepted, nothing after the digits ("2枚" and "2 " are not numbers); 0 when
// it is not one.
long WholeNumber(std::string_view s);

// Decodes a delivery file's bytes: UTF-8 when it starts with a UTF-8 byte
// order mark or its XML declaration names UTF-8, CP932 otherwise.
std::string DecodeDeliveryText(std::string_view bytes);

// Decodes a piece of a delivery file's bytes the way DecodeDeliveryText
// decodes the whole file: as UTF-8 (`utf8`, the file's byte order mark
// already taken off) or CP932. A file cut into pieces just after line
// feeds decodes, piece by piece, to the same text as in one go.
std::string DecodeDeliveryPiece(std::string_view bytes, bool utf8);

// DecodeDeliveryPiece appended to `out` (kept room as AppendCp932AsUtf8).
void AppendDeliveryPiece(std::string& out, std::string_view bytes, bool utf8);

// True when the XML declaration at the start of the bytes names UTF-8.
bool DeclaresUtf8(std::string_view bytes);

}  // namespace dlvr
