// Finding the sibling photo viewer program and preparing its start.
#pragma once

#include <string>
#include <vector>

namespace dlvr {

// The viewer's program files, in order of preference.
inline constexpr const char* kPhotoViewerFiles[] = {"QLNView.EXE", "QLNXMLViewer.EXE"};

// The newest copy of `fileName` that lies on a fixed drive in one of
// `folders` (each empty or ending in '/'); of equally old copies the one in
// the earliest folder. The name is matched without regard to ASCII case.
// "" when there is none.
std::string NewestFixedCopy(const std::vector<std::string>& folders, const std::string& fileName);

// The viewer program among `folders`: the preferred file name first, the
// other one when no copy of the first is found. "" when neither is found.
std::string FindPhotoViewerIn(const std::vector<std::string>& folders);

// The message shown when the inserted medium has no photo management file:
// it names the media (numbers in `photoMedia`) that carry one. "" when
// `photoMedia` is empty.
std::string PhotoMediaMessage(const std::vector<int>& photoMedia);

}  // namespace dlvr
