// A minimal streaming JSON writer with stable, readable output.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dlvr {

class JsonWriter {
 public:
  explicit JsonWriter(int indent = 1) : indent_(indent) {}

  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  void Key(std::string_view key);
  void String(std::string_view value);
  void Bool(bool value);
  void Number(long value);
  void StringArray(const std::vector<std::string>& values);

  const std::string& Text() const { return out_; }

  // A JSON string literal (with quotes) for a UTF-8 text.
  static std::string Quote(std::string_view s);

 private:
  void BeforeValue();
  void NewLine();

  struct Level {
    bool isObject;
    int count;
  };
  int indent_;
  std::string out_;
  std::vector<Level> stack_;
  bool afterKey_ = false;
};

}  // namespace dlvr
