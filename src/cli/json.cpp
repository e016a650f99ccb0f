#include "cli/json.h"

#include <cstdio>

namespace dlvr {

std::string JsonWriter::Quote(std::string_view s) {
  std::string out = "\"";
  for (char ch : s) {
    auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out.push_back(ch);
        }
    }
  }
  out += "\"";
  return out;
}

void JsonWriter::NewLine() {
  out_.push_back('\n');
  out_.append(stack_.size() * static_cast<std::size_t>(indent_), ' ');
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!stack_.empty()) {
    if (stack_.back().count++ > 0) out_.push_back(',');
    NewLine();
  }
}

void JsonWriter::BeginObject() {
  BeforeValue();
  out_.push_back('{');
  stack_.push_back({true, 0});
}

void JsonWriter::EndObject() {
  bool any = stack_.back().count > 0;
  stack_.pop_back();
  if (any) NewLine();
  out_.push_back('}');
  if (stack_.empty()) out_.push_back('\n');
}

void JsonWriter::BeginArray() {
  BeforeValue();
  out_.push_back('[');
  stack_.push_back({false, 0});
}

void JsonWriter::EndArray() {
  bool any = stack_.back().count > 0;
  stack_.pop_back();
  if (any) NewLine();
  out_.push_back(']');
  if (stack_.empty()) out_.push_back('\n');
}

void JsonWriter::Key(std::string_view key) {
  BeforeValue();
  out_ += Quote(key);
  out_ += ": ";
  afterKey_ = true;
}

void JsonWriter::String(std::string_view value) {
  BeforeValue();
  out_ += Quote(value);
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ += value ? "true" : "false";
}

void JsonWriter::Number(long value) {
  BeforeValue();
  out_ += std::to_string(value);
}

void JsonWriter::StringArray(const std::vector<std::string>& values) {
  BeginArray();
  for (const std::string& v : values) String(v);
  EndArray();
}

}  // namespace dlvr
