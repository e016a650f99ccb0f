// The full-text index of one delivery: the texts of its files a piece at a
// time (a PDF page, a line of a text file, a record's field, a drawing's
// texts, a file's name) in SQLite with the FTS5 trigram tokenizer, over
// their folded forms (search/fold.h). A query's terms of three characters
// or more are looked up in the trigram index; terms of two (側溝, "No") in
// a second FTS5 index of every two neighbouring characters (contentless,
// no positions: it only names rows); a term of one character narrows
// nothing and is matched with instr() over the folded texts when no other
// term narrows the rows. Every candidate row is checked once more against
// its original text folded as the query asks, which also gives the hit's
// place for the context shown (and makes a stale row of the contentless
// index, left when a file is read again, harmless).
//
// One connection, guarded by a mutex of its own: the indexer's thread
// stores files while another thread asks, and a question sees what was
// stored before it (answers come between the writer's batches, which are
// committed every quarter of a second or so). No Qt.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "search/query.h"

struct sqlite3;

namespace dlvr::search {

// Where in a file a text stands.
enum class TWhere : int {
  Name = 0,     // the file's name
  Field = 1,    // a field of a record (Label: "record caption / field name")
  Page = 2,     // a PDF page (Number from 1)
  Line = 3,     // a line of a text, HTML or XML file (Number from 1)
  Drawing = 4,  // an SXF drawing's texts and title block
};

// A piece of a file's text.
struct TUnit {
  TWhere Kind = TWhere::Name;
  int Number = 0;
  std::string Label;
  std::string Text;  // UTF-8
};

// The "where" of a hit as the command line writes it: "name",
// "field CAPTION / NAME", "page N", "line N", "drawing".
std::string WhereText(TWhere kind, int number, const std::string& label);

// What a file's contents are read as: nothing (a management file, searched
// in its records), by its name's kind, or (Other) only when its first bytes
// say it is a PDF.
enum class TContent : int { None = 0, Pdf, Text, Html, Xml, Sxf, Other };

// A file of the delivery to search, in the order hits are listed.
struct TSearchFile {
  std::string Path;     // on disk ("" when the file is missing)
  std::string RelPath;  // inside its medium's folder, '/' separators
  std::string Root;     // the medium's folder, ending in '/': nothing is read outside it
  int Medium = 0;
  std::uint64_t Size = 0;
  std::int64_t MTime = 0;  // nanoseconds since the epoch
  TContent Content = TContent::None;
  std::vector<TUnit> Units;  // what is known without reading it: its name, its records' fields
};

// A hit: the file, where in it, and the hit in its context.
struct TSearchHit {
  std::string Path;  // on disk ("" when the file is missing)
  std::string File;  // inside its medium's folder
  int Medium = 0;
  TWhere Kind = TWhere::Name;
  int Number = 0;
  std::string Label;
  std::string Context;       // at most kContextChars characters, blanks for line breaks
  std::size_t HitStart = 0;  // the hit's bytes in Context
  std::size_t HitLength = 0;
  std::string Where() const { return WhereText(Kind, Number, Label); }
};

inline constexpr std::size_t kContextChars = 80;

// How far the index has come.
struct TAccount {
  std::size_t Files = 0;    // every file of the delivery
  std::size_t Indexed = 0;  // whose contents are in (or that have none to read)
  std::size_t Pending = 0;  // not read yet
  // Files whose contents could not be searched: RelPath, medium, reason.
  struct TNotSearched {
    std::string File;
    int Medium = 0;
    std::string Reason;
  };
  std::vector<TNotSearched> NotSearched;
  bool Complete() const { return Pending == 0; }
};

// Bounds: the text kept of one file and of the whole index. A file past
// its bound is searched in what came before and not after; a file that
// finds the index full is listed as not searched.
inline constexpr std::size_t kMaxFileTextBytes = std::size_t{16} << 20;
inline constexpr std::uint64_t kMaxIndexTextBytes = std::uint64_t{1} << 30;

class TSearchIndex {
 public:
  TSearchIndex();
  ~TSearchIndex();
  TSearchIndex(const TSearchIndex&) = delete;
  TSearchIndex& operator=(const TSearchIndex&) = delete;

  // Opens (or makes) the index file at `dbPath`, in memory when "". False
  // with Error() when it cannot (the index then answers nothing).
  bool Open(const std::string& dbPath);
  std::string Error() const;

  // Starts the delivery's files: their names and fields go in now, a
  // portion of files at a time (each committed, the lock let go between
  // portions so that questions answer from the files in so far), their
  // contents when Store is called. Of an index file already holding this
  // list, a file with the same place, medium, size and time at the same
  // position keeps what was stored of it. A file not in yet counts as
  // pending and gives no hits. Stops between portions when `*cancel`
  // turns true (the files not reached stay pending). Returns the positions
  // of the files put in whose contents are still to be read. `beforeIn`,
  // when given, is called on each file just before it goes in (for what
  // is looked up of it then: its size and time).
  std::vector<std::size_t> Begin(std::vector<TSearchFile> files, const std::atomic<bool>* cancel = nullptr,
                                 const std::function<void(TSearchFile&)>& beforeIn = {});

  // The contents of the file at `position` (from Begin): its pieces, or
  // why it was not searched (`reason` not empty; pieces read before the
  // trouble are kept). Thread-safe.
  void Store(std::size_t position, const std::vector<TUnit>& units, const std::string& reason);

  // Commits what was stored (Store commits every quarter second itself).
  void Flush();

  // The hits of a query in file order (medium, class, file), then in the
  // order of the pieces in a file; at most `limit` (0: no limit). Stops
  // early, with what it has, when `*cancel` turns true. Thread-safe.
  std::vector<TSearchHit> Find(const TQuery& query, std::size_t limit = 0,
                               const std::atomic<bool>* cancel = nullptr) const;

  TAccount Account() const;
  const std::vector<TSearchFile>& Files() const { return files_; }

  // Begin's portions: at most this many files and pieces of a file each
  // (0: as many as go in a tenth of a second), and told the files in after
  // each, with the lock let go (tests look in there).
  std::size_t PortionFiles = 0, PortionPieces = 0;
  std::function<void(std::size_t filesIn)> BetweenPortions;

 private:
  struct TStatements;
  void Exec(const char* sql) const;
  // Puts a file's pieces from `from` in, `fileBytes` of its text being in
  // already, until the file's bound or, when not 0, the time `untilMs`
  // (steady clock) or `most` pieces. Where it stopped (units.size() when done).
  std::size_t InsertUnits(std::size_t position, const std::vector<TUnit>& units, std::size_t from,
                          std::size_t& fileBytes, std::int64_t untilMs = 0, std::size_t most = 0);
  void CommitIfDue(bool now);

  // What an earlier run stored of a file.
  struct TStoredFile;
  // Puts Begin's files in from `from` for a portion's time; the position after them.
  std::size_t BeginPortion(std::size_t from, const std::vector<TStoredFile>& old, std::vector<std::size_t>& pending,
                           const std::function<void(TSearchFile&)>& beforeIn);

  mutable std::mutex mutex_;
  // Questions waiting for the mutex: Begin lets them in between its portions.
  mutable std::atomic<int> askers_{0};
  std::size_t begun_ = 0;           // files whose names and fields are in
  // Of the file at begun_: how many of its pieces are in and their bytes
  // (a file with very many, the records of thousands of meetings, goes in
  // over several portions); its rows answer from the first piece on.
  std::size_t partUnits_ = 0, partBytes_ = 0;
  bool partial_ = false;
  sqlite3* db_ = nullptr;
  std::unique_ptr<TStatements> st_;
  std::string error_;
  std::vector<TSearchFile> files_;  // units dropped once stored
  std::vector<int> nextOrd_;        // per file
  std::vector<std::uint8_t> state_; // per file: 0 pending, 1 done, 2 not searched
  std::vector<std::string> reasons_;
  std::uint64_t textBytes_ = 0;
  bool inTransaction_ = false;
  std::int64_t transactionStart_ = 0;
};

}  // namespace dlvr::search
