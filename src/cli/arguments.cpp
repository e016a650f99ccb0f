#include "cli/arguments.h"

#include <algorithm>
#include <ostream>

#include "delivery/sibling_media.h"
#include "platform/paths.h"

namespace dlvr {

TArguments::TArguments(std::string command, const char* usage)
    : command_(std::move(command)), usage_(usage), app_(std::string(), command_.empty() ? "dlvr" : command_) {
  app_.set_help_flag("-h,--help");
  // Unknown arguments are named by Parse, in the tool's words.
  app_.allow_extras();
  // An option given twice counts with its last value.
  app_.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

int TArguments::Fail(std::ostream& err, const std::string& message) const {
  err << "dlvr: " << (command_.empty() ? std::string() : command_ + ": ") << message << "\n";
  return 2;
}

std::optional<int> TArguments::CheckFolders(const std::vector<std::string>& folders, std::ostream& err) const {
  if (folders.empty()) return Fail(err, "missing FOLDER");
  for (const std::string& f : folders)
    if (!DirExists(f)) return Fail(err, "not a folder: " + f);
  if (const std::optional<TRepeatedMedium> twice = FindRepeatedMedium(folders))
    return Fail(err, "medium " + std::to_string(twice->MediaNo) + " of the delivery is in two folders: " + twice->First +
                         " and " + twice->Second);
  return std::nullopt;
}

std::optional<int> TArguments::Parse(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  // CLI11 takes the arguments last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  if (!reversed.empty()) reversed.pop_back();
  try {
    app_.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    out << usage_;
    return 0;
  } catch (const CLI::ArgumentMismatch& e) {
    // "--output: 1 required TEXT missing": the value of the last argument,
    // an option, is missing; named as it was written ("-o").
    const std::string what = e.what();
    const bool last = args.size() > 1 && args.back().size() > 1 && args.back()[0] == '-';
    const std::string& name = last ? args.back().substr(0, args.back().find('=')) : what.substr(0, what.find(':'));
    return Fail(err, name.substr(0, name.find('\n')) + " needs a value");
  } catch (const CLI::ValidationError& e) {
    // "--lang: takes 0-3, not 4", as the validators below say it.
    std::string what = e.what();
    what = what.substr(0, what.find('\n'));
    if (const std::size_t colon = what.find(": "); colon != std::string::npos) what.erase(colon, 1);
    return Fail(err, what);
  } catch (const CLI::Error& e) {
    const std::string what = e.what();
    return Fail(err, what.substr(0, what.find('\n')));
  }
  if (app_.get_prefix_command()) return std::nullopt;
  for (const std::string& extra : app_.remaining()) {
    if (extra == "--") continue;
    return Fail(err, (extra.size() > 1 && extra[0] == '-' ? "unknown option " : "unexpected argument ") + extra);
  }
  return std::nullopt;
}

CLI::Validator WholeNumber(long lo, long hi) {
  const std::string range = std::to_string(lo) + "-" + std::to_string(hi);
  return CLI::Validator(
      [lo, hi, range](std::string& value) {
        const std::size_t start = std::min(value.find_first_not_of('0'), value.size() - 1);
        const std::string digits = value.empty() ? value : value.substr(start);
        const bool whole = !digits.empty() && digits.size() <= 9 &&
                           digits.find_first_not_of("0123456789") == std::string::npos;
        if (!whole || std::stol(digits) < lo || std::stol(digits) > hi) return "takes " + range + ", not " + value;
        value = digits;
        return std::string();
      },
      range);
}

CLI::Validator OneOf(std::vector<std::string> values) {
  std::string names;
  for (std::size_t i = 0; i < values.size(); ++i)
    names += (i == 0 ? "" : i + 1 == values.size() ? " or " : ", ") + values[i];
  return CLI::Validator(
      [values, names](std::string& value) {
        if (std::find(values.begin(), values.end(), value) != values.end()) return std::string();
        return "takes " + names + ", not " + value;
      },
      names);
}

}  // namespace dlvr
