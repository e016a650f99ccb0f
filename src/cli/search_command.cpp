// dlvr search: the delivery's text searched as the viewer's search window
// searches it, with an index in memory built for the one question.
#include <ostream>

#include "check/viewer_model.h"
#include "cli/arguments.h"
#include "cli/check_command.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "components/pdf_search_text.h"
#include "search/indexer.h"
#include "search/query.h"

namespace dlvr {
namespace {

const char* const kSearchUsage =
    "usage: dlvr search FOLDER [FOLDER...] QUERY [--format tsv|json] [--limit N]\n"
    "\n"
    "Loads FOLDER as a delivery on a fixed disk (further FOLDERs of the same\n"
    "delivery as further media) and searches its text: every record's fields,\n"
    "the text layer of every PDF page, text, HTML and XML files (markup\n"
    "removed), SXF drawings' texts and title blocks, and file names.\n"
    "QUERY: words separated by blanks, all required on the same page, line or\n"
    "field; \"a phrase\" in double quotes stays together. Full-width and\n"
    "half-width forms match each other, Latin case is ignored.\n"
    "Prints one hit a line, in medium, class and file order:\n"
    "  tsv   (the default) file (inside its medium's folder), medium number,\n"
    "        where (page N, line N, field CAPTION / NAME, drawing, name) and\n"
    "        the hit in context (at most 80 characters), TAB between them;\n"
    "        backslash, TAB, CR and LF inside a value written \\\\ \\t \\r \\n\n"
    "  json  an array of objects {\"file\", \"medium\", \"where\", \"context\"}\n"
    "A file that could not be searched is named on stderr with the reason.\n"
    "--limit N stops after N hits. Exit 0 when something was found, 1 when\n"
    "nothing, 2 on usage errors.\n";

}  // namespace

int CmdSearch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TArguments cl("search", kSearchUsage);
  std::vector<std::string> positional;
  std::string format = "tsv";
  long limit = 0;
  CLI::App& app = cl.App();
  app.add_option("FOLDER", positional);
  app.add_option("--format", format)->check(OneOf({"tsv", "json"}));
  app.add_option("--limit", limit)->check(WholeNumber(1, 1000000000));
  if (const auto done = cl.Parse(args, out, err)) return *done;
  if (positional.size() < 2) return cl.Fail(err, positional.empty() ? "FOLDER and QUERY are required" : "QUERY is required");
  const std::string query = positional.back();
  positional.pop_back();
  if (const auto bad = cl.CheckFolders(positional, err)) return *bad;
  const search::TQuery parsed = search::ParseQuery(query);
  if (parsed.Terms.empty()) return cl.Fail(err, "QUERY has no word");

  TFixedDriveScope fixed;
  DeliveryStore store;
  TViewerModel model(store);
  TMdlTreeView& view = model.View;
  for (const std::string& f : positional) view.Load(f);

  search::TSearchIndex index;
  if (!index.Open(std::string())) {
    err << "dlvr: search: " << index.Error() << "\n";
    return 2;
  }
  search::BuildIndex(index, search::DeliveryFiles(view), SearchExtractors());
  for (const search::TAccount::TNotSearched& n : index.Account().NotSearched)
    err << "dlvr: search: " << ValidUtf8(n.File) << " (medium " << n.Medium << "): " << n.Reason << "\n";

  const std::vector<search::TSearchHit> hits = index.Find(parsed, static_cast<std::size_t>(limit));
  if (format == "json") {
    Json list = Json::array();
    for (const search::TSearchHit& h : hits)
      list.push_back(Json{{"file", JsonString(ValidUtf8(h.File))},
                          {"medium", h.Medium},
                          {"where", JsonString(ValidUtf8(h.Where()))},
                          {"context", JsonString(ValidUtf8(h.Context))}});
    out << JsonText(list, 1);
  } else {
    for (const search::TSearchHit& h : hits)
      out << EscapeCell(ValidUtf8(h.File)) << '\t' << h.Medium << '\t' << EscapeCell(ValidUtf8(h.Where())) << '\t'
          << EscapeCell(ValidUtf8(h.Context)) << '\n';
  }
  return hits.empty() ? 1 : 0;
}

}  // namespace dlvr
