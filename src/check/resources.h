// The texts built into the program: the field-definition tables, the drawing
// kind lists and the stylesheets of the management files, each under the
// name of the component that carries it ("ctnMeetTreeIni", "ctnDrawName",
// "ctnMeet", ...). They are compiled in from resources/ (see
// cmake/EmbedResources.cmake); nothing is read from disk at run time.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace dlvr {

// The embedded text of a component (UTF-8, LF line ends as stored), or an
// empty view for an unknown name. The name is compared exactly.
std::string_view EmbeddedText(std::string_view componentName);

// The names of every embedded text, in the order they were embedded.
const std::vector<std::string_view>& EmbeddedNames();

namespace embed {

// One embedded text. The text is followed by a zero byte that is not part
// of the view.
struct Entry {
  std::string_view Name;
  std::string_view Text;
};

// Defined in the generated source.
extern const Entry kEntries[];
extern const std::size_t kEntryCount;

}  // namespace embed
}  // namespace dlvr
