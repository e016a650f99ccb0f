// What the parts of the document tree (its fields, its building and
// loading, its work copies and sorting) share.
#pragma once

#include <string>

#include "delivery/store.h"
#include "model/tree_view.h"
#include "platform/paths.h"

namespace dlvr::tree_detail {

inline bool ValidClass(int cls) { return cls >= 0 && cls < kDocClassCount; }

// `path` (resolved) when it stays inside the medium's folder `root`; "" when
// it is, or passes through, a link leading out of the medium: the file or
// folder then counts as missing.
inline std::string Contained(const std::string& path, const std::string& root) {
  return LeadsOutside(path, root) ? std::string() : path;
}

// The record list of a record class.
template <class F>
inline auto WithRecords(DeliveryStore& s, int cls, F&& f) {
  switch (cls) {
    case 2:
      return f(s.Meetings);
    case 3:
      return f(s.Plans);
    default:
      return f(s.Others);
  }
}

inline std::string JoinLines(const TStringList& list) {
  std::string out;
  for (const std::string& s : list) out += s + "\r\n";
  return out;
}

}  // namespace dlvr::tree_detail
