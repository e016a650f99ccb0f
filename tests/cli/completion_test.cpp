// The bash completion of dlvr (data/completion/dlvr), sourced in bash and
// asked for the completions of command lines.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/fileio.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

TEST(BashCompletion, CommandsOptionsValuesAndFiles) {
  test::ScratchDir d;
  for (const char* file : {"a.P21", "b.sfc", "c.XML", "d.xml", "e.txt", "kkt/INDEX_C.XML", "kkz/x"}) d.WriteBytes(file, "x");
  const struct {
    const char* words;  // the words as bash splits the line ("=" a word of its own), the last one completed
    const char* replies;  // sorted, one blank between
  } cases[] = {
      {"dlvr ''", "--help --version check dump html photos render report scan tree"},
      {"dlvr ch", "check"},
      {"dlvr check --f", "--format"},
      {"dlvr check k --", "--extended --format --help"},
      {"dlvr check --format ''", "csv json text tsv"},
      {"dlvr check --format = j", "json"},
      {"dlvr photos --format ''", "json tsv"},
      {"dlvr scan --format = ''", "csv json"},
      {"dlvr tree --lang ''", "0 1 2 3"},
      {"dlvr tree kkt --filemode 3", "3"},
      {"dlvr tree --sort ''", "meet= othrs= plan="},
      {"dlvr tree --sort meet =", "0 1 2 3 4 5 6 7 8"},
      {"dlvr tree --sort othrs = 8", "8"},
      {"dlvr render --d", "--dpi --dump"},
      {"dlvr report kkt -", "--help --output -o"},
      // Folders for a delivery, drawings for render, XML files for html.
      {"dlvr check ''", "kkt/ kkz/"},
      {"dlvr tree kkt k", "kkt/ kkz/"},
      {"dlvr scan --out ''", "kkt/ kkz/"},
      {"dlvr render ''", "a.P21 b.sfc kkt/ kkz/"},
      {"dlvr html ''", "c.XML d.xml kkt/ kkz/"},
      {"dlvr html c.XML -o ''", "kkt/ kkz/"},
      {"dlvr render --layer ''", ""},
      {"dlvr frobnicate ''", ""},
  };
  const std::string script = std::string(DLVR_SOURCE_DIR) + "/data/completion/dlvr";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.words);
    d.WriteBytes("ask.sh", ". '" + script + "'\nCOMP_WORDS=(" + c.words +
                               ")\nCOMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n_dlvr 2>/dev/null\n"
                               "printf '%s\\n' \"${COMPREPLY[@]}\" | LC_ALL=C sort | paste -sd' '\n");
    const std::string run = "cd '" + d.Path() + "' && bash --norc --noprofile ask.sh >out";
    ASSERT_EQ(std::system(run.c_str()), 0);
    std::string out;
    ReadWholeFile(d / "out", out);
    EXPECT_EQ(out, std::string(c.replies) + "\n");
  }
}

}  // namespace
}  // namespace dlvr
