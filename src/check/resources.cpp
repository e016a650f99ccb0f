#include "check/resources.h"

namespace dlvr {

std::string_view EmbeddedText(std::string_view componentName) {
  for (std::size_t i = 0; i < embed::kEntryCount; ++i)
    if (embed::kEntries[i].Name == componentName) return embed::kEntries[i].Text;
  return {};
}

const std::vector<std::string_view>& EmbeddedNames() {
  static const std::vector<std::string_view> names = [] {
    std::vector<std::string_view> v;
    v.reserve(embed::kEntryCount);
    for (std::size_t i = 0; i < embed::kEntryCount; ++i) v.push_back(embed::kEntries[i].Name);
    return v;
  }();
  return names;
}

}  // namespace dlvr
