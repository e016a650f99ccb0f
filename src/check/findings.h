// The findings of the full delivery check, and the compact list a large
// check holds them in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace dlvr {

// Information (a PDF's page count) is no problem: a delivery with nothing
// but information is sound.
enum class TSeverity { Error, Warning, Info };

struct TFinding {
  TSeverity Severity = TSeverity::Error;
  std::string Medium{};  // the medium's number ("1"), "" for the delivery as a whole
  std::string Path{};    // the file or folder, relative to its medium ("MEET/ORG/M001_01.PDF")
  std::string Rule{};    // the rule's name, in the user's language
  std::string Found{};   // what was found, in the user's language around the delivery's own names
};

// A finding of TCompactFindings: its medium, path and rule read in place
// (valid while the list is not changed), its text made.
struct TFindingView {
  TSeverity Severity = TSeverity::Error;
  std::string_view Medium, Path, Rule;
  std::string Found;
  TFinding Copy() && {
    return {Severity, std::string(Medium), std::string(Path), std::string(Rule), std::move(Found)};
  }
};

// Findings held compactly: a delivery of a million records may have
// millions of them. The media, paths and rules are each kept once (few
// differ) and every finding's text in large blocks, or only the values of
// a text made from a pattern, the pattern kept once; a finding takes some
// 24 bytes beside its text. Growing never moves what is held.
class TCompactFindings {
 public:
  TCompactFindings();
  ~TCompactFindings();
  TCompactFindings(TCompactFindings&&) noexcept;
  TCompactFindings& operator=(TCompactFindings&&) noexcept;

  void Add(TSeverity severity, std::string_view medium, std::string_view path, std::string_view rule,
           std::string_view found);
  void Add(const TFinding& f) { Add(f.Severity, f.Medium, f.Path, f.Rule, f.Found); }
  // A finding whose text is Arg(pattern, args).
  void Add(TSeverity severity, std::string_view medium, std::string_view path, std::string_view rule,
           std::string_view pattern, std::initializer_list<std::string_view> args);

  std::size_t Size() const;
  bool Empty() const { return Size() == 0; }
  // The finding at `i`: in the order added, or after Sort() in sorted order.
  TFindingView operator[](std::size_t i) const;

  void ForEach(const std::function<void(const TFindingView&)>& f) const;
  // Drops the findings `drop` says yes to (their texts stay in the blocks).
  void EraseIf(const std::function<bool(const TFindingView&)>& drop);
  // Sorted by medium, path and rule, in the order added among equals.
  void Sort();
  // Every finding as a TFinding, in the list's order; the list is emptied.
  std::vector<TFinding> TakeAll();

  // Whether any finding is an error; an error or a warning.
  bool HasError() const;
  bool HasProblem() const;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> d_;
};

}  // namespace dlvr
