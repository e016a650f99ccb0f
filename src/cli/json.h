// The JSON the tool prints: values built as nlohmann::ordered_json (keys in
// the order they are put in) and written with JsonText, which keeps what a
// delivery holds byte for byte, also bytes that are not UTF-8.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace dlvr {

using Json = nlohmann::ordered_json;

// A string value that JsonText writes with exactly the bytes of `text`:
// bytes that start no valid UTF-8 sequence come out as they went in.
Json JsonString(std::string_view text);
Json JsonStrings(const std::vector<std::string>& texts);

// A number written with the digits given ("1.500", "0.25"), not reformatted.
Json JsonNumberText(std::string_view digits);

// `value` as text. With `indent` >= 0 every member and element on a line of
// its own, indented by that many blanks a level, and a line break at the end;
// with -1 on one line without blanks. Strings as UTF-8, only `"`, `\` and the
// control characters (DEL too) escaped. Never throws.
std::string JsonText(const Json& value, int indent);

}  // namespace dlvr
