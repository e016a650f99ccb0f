// The command line of one command, read with CLI11: the options are declared
// on App(), Parse reads them and says whether the command goes on.
#pragma once

#include <CLI/CLI.hpp>

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace dlvr {

class TArguments {
 public:
  // `command` names the command in messages ("check"; "" for the tool
  // itself); `usage` is what --help prints.
  TArguments(std::string command, const char* usage);

  CLI::App& App() { return app_; }

  // Reads args[1...] (args[0] is the command's name). Nothing when the
  // command goes on; else its exit code: 0 after the usage went to `out`
  // (--help, -h), 2 after a one-line message on `err` (an unknown option, a
  // missing or wrong value, an argument too many). With a prefix command
  // (App().prefix_command()) what is left after the options is the caller's.
  std::optional<int> Parse(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

  // A usage error: "dlvr: COMMAND: message" on one line, exit code 2.
  int Fail(std::ostream& err, const std::string& message) const;

  // The delivery folders named on the command line: at least one, each a
  // folder, and no two holding the same medium of one delivery (a copy of
  // a medium is opened on its own, never as a further medium of itself).
  // Nothing when they are fine, else the exit code after Fail's message.
  std::optional<int> CheckFolders(const std::vector<std::string>& folders, std::ostream& err) const;

 private:
  std::string command_;
  const char* usage_;
  CLI::App app_;
};

// An option's value as a whole decimal number within [lo, hi] (no sign, no
// blanks, no base prefix); leading zeros are taken as decimal.
CLI::Validator WholeNumber(long lo, long hi);

// An option's value as one of `values`, written as it stands.
CLI::Validator OneOf(std::vector<std::string> values);

}  // namespace dlvr
