#include "search/index.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

#include "platform/text.h"
#include "search/fold.h"

namespace dlvr::search {
namespace {

// Bumped whenever the tables or the folding change: an index file of
// another version is emptied.
constexpr int kSchemaVersion = 5;
constexpr std::int64_t kCommitEveryMs = 250;
// Begin puts files in for this long before it lets questions in.
constexpr std::int64_t kPortionMs = 100;
// Pieces of one file at most (a 16 MB text has fewer lines).
constexpr std::int64_t kUnitsPerFile = std::int64_t{1} << 24;

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

// A prepared statement, finalised with its owner. (Named, not file-local:
// the index's statements hold them.)
namespace index_sql {
class TStmt {
 public:
  TStmt() = default;
  TStmt(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &s_, nullptr); }
  ~TStmt() { sqlite3_finalize(s_); }
  TStmt(const TStmt&) = delete;
  TStmt& operator=(const TStmt&) = delete;
  TStmt(TStmt&& o) noexcept : s_(o.s_) { o.s_ = nullptr; }
  TStmt& operator=(TStmt&& o) noexcept {
    std::swap(s_, o.s_);
    return *this;
  }
  sqlite3_stmt* get() const { return s_; }
  explicit operator bool() const { return s_ != nullptr; }
  TStmt& Bind(int i, std::int64_t v) {
    sqlite3_bind_int64(s_, i, v);
    return *this;
  }
  TStmt& Bind(int i, const std::string& v) {
    sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  bool Row() { return s_ && sqlite3_step(s_) == SQLITE_ROW; }
  void Run() {
    if (!s_) return;
    sqlite3_step(s_);
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
  }
  void Reset() {
    if (!s_) return;
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
  }
  std::int64_t Int(int c) const { return sqlite3_column_int64(s_, c); }
  std::string Text(int c) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s_, c));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(s_, c))) : std::string();
  }

 private:
  sqlite3_stmt* s_ = nullptr;
};

}  // namespace index_sql
using index_sql::TStmt;

namespace {

// A term as an FTS5 string: in double quotes, its own quotes doubled.
std::string FtsString(const std::string& term) {
  std::string out = "\"";
  for (char c : term) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// The context of the hit [a, b) in `text`: at most kContextChars
// characters, the hit first, then as much before it as after it.
void MakeContext(const std::string& text, std::size_t a, std::size_t b, TSearchHit& hit) {
  std::vector<std::size_t> starts;  // of each character, then text.size()
  for (std::size_t pos = 0; pos < text.size();) {
    starts.push_back(pos);
    NextCodePoint(text, pos);
  }
  starts.push_back(text.size());
  const std::size_t chars = starts.size() - 1;
  const auto first = static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), a) - starts.begin()) - 1;
  auto last = static_cast<std::size_t>(std::lower_bound(starts.begin(), starts.end(), b) - starts.begin());
  last = std::min(std::max(last, first + 1), std::min(chars, first + kContextChars));
  std::size_t room = kContextChars - (last - first);
  std::size_t from = first, to = last;
  const std::size_t before = std::min(from, room / 2);
  from -= before;
  room -= before;
  const std::size_t after = std::min(chars - to, room);
  to += after;
  room -= after;
  from -= std::min(from, room);
  // Line breaks and other control characters read as one blank a run.
  hit.Context.clear();
  hit.HitStart = hit.HitLength = 0;
  bool blank = false;
  for (std::size_t i = from; i < to; ++i) {
    if (i == first) hit.HitStart = hit.Context.size();
    const std::string_view c(text.data() + starts[i], starts[i + 1] - starts[i]);
    const bool control = c.size() == 1 && (static_cast<unsigned char>(c[0]) < 0x20 || c[0] == 0x7F);
    if (control && blank && i != first) {
      if (i + 1 == last) hit.HitLength = hit.Context.size() - hit.HitStart;
      continue;
    }
    blank = control || c == " ";
    hit.Context += control ? std::string_view(" ") : c;
    if (i + 1 == last) hit.HitLength = hit.Context.size() - hit.HitStart;
  }
}

// Every two neighbouring characters of a folded text as a word of its own
// ("段階確認" gives "段階 階確 確認"), for words of two characters, which
// the trigram index cannot find. Blanks part runs.
std::string PairsOf(std::string_view folded) {
  std::string out;
  out.reserve(folded.size() * 2);
  std::size_t prev = std::string::npos;
  for (std::size_t pos = 0; pos < folded.size();) {
    const std::size_t at = pos;
    const char32_t c = NextCodePoint(folded, pos);
    if (c == U' ') {
      prev = std::string::npos;
      continue;
    }
    if (prev != std::string::npos) {
      out.append(folded.substr(prev, pos - prev));
      out += ' ';
    }
    prev = at;
  }
  return out;
}

// True when a word of two characters is one word to the pairs' tokenizer:
// letters, digits and marks only (a pair with a stop or a hyphen would be
// split into two).
bool IsPairWord(std::string_view folded) {
  if (CodePointCount(folded) != 2) return false;
  for (std::size_t pos = 0; pos < folded.size();) {
    const char32_t c = NextCodePoint(folded, pos);
    if (c < 0x80 && !std::isalnum(static_cast<unsigned char>(c))) return false;
    if ((c >= 0x3000 && c <= 0x303F) || (c >= 0xFF00 && c <= 0xFF0F) || c == kReplacementChar) return false;
  }
  return true;
}

}  // namespace

std::string WhereText(TWhere kind, int number, const std::string& label) {
  switch (kind) {
    case TWhere::Name: return "name";
    case TWhere::Field: return "field " + label;
    case TWhere::Page: return "page " + std::to_string(number);
    case TWhere::Line: return "line " + std::to_string(number);
    case TWhere::Drawing: return "drawing";
  }
  return std::string();
}

struct TSearchIndex::TStatements {
  TStmt InsertUnit, InsertFts, InsertPairs, UpsertFile, FileState, DeleteFtsOf, DeleteUnitsOf, DeleteFile, Begin, Commit;
};

TSearchIndex::TSearchIndex() = default;

TSearchIndex::~TSearchIndex() {
  std::lock_guard lock(mutex_);
  CommitIfDue(true);
  st_.reset();
  if (db_) sqlite3_close(db_);
}

void TSearchIndex::Exec(const char* sql) const {
  if (db_) sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
}

bool TSearchIndex::Open(const std::string& dbPath) {
  std::lock_guard lock(mutex_);
  st_.reset();
  if (db_) sqlite3_close(db_);
  db_ = nullptr;
  error_.clear();
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(dbPath.empty() ? ":memory:" : dbPath.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    error_ = db_ ? sqlite3_errmsg(db_) : "out of memory";
    if (db_) sqlite3_close(db_);
    db_ = nullptr;
    return false;
  }
  // The index can always be made again: it is never worth a sync.
  Exec("PRAGMA synchronous=OFF; PRAGMA journal_mode=MEMORY; PRAGMA temp_store=MEMORY;");
  int version = 0;
  {
    TStmt v(db_, "PRAGMA user_version");
    if (v.Row()) version = static_cast<int>(v.Int(0));
  }
  if (version != kSchemaVersion) {
    Exec("DROP TABLE IF EXISTS files; DROP TABLE IF EXISTS units; DROP TABLE IF EXISTS fts;"
         " DROP TABLE IF EXISTS pairs;");
    Exec(("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str());
  }
  Exec("CREATE TABLE IF NOT EXISTS files(id INTEGER PRIMARY KEY, medium INT, rel TEXT, size INT, mtime INT,"
       " state INT, reason TEXT);"
       "CREATE TABLE IF NOT EXISTS units(id INTEGER PRIMARY KEY, file INT, ord INT, kind INT, num INT, label TEXT,"
       " text TEXT);"
       "CREATE INDEX IF NOT EXISTS units_file ON units(file, ord);"
       "CREATE VIRTUAL TABLE IF NOT EXISTS fts USING fts5(folded, tokenize='trigram case_sensitive 1');"
       "CREATE VIRTUAL TABLE IF NOT EXISTS pairs USING fts5(grams, content='', detail=none,"
       " tokenize='unicode61 remove_diacritics 0');");
  {
    TStmt check(db_, "SELECT count(*) FROM fts");
    if (!check) {
      error_ = sqlite3_errmsg(db_);
      sqlite3_close(db_);
      db_ = nullptr;
      return false;
    }
  }
  st_ = std::make_unique<TStatements>();
  st_->InsertUnit = TStmt(db_, "INSERT INTO units(id, file, ord, kind, num, label, text) VALUES(?,?,?,?,?,?,?)");
  st_->InsertFts = TStmt(db_, "INSERT INTO fts(rowid, folded) VALUES(?,?)");
  st_->InsertPairs = TStmt(db_, "INSERT INTO pairs(rowid, grams) VALUES(?,?)");
  st_->UpsertFile = TStmt(db_, "INSERT OR REPLACE INTO files(id, medium, rel, size, mtime, state, reason)"
                               " VALUES(?,?,?,?,?,?,?)");
  st_->FileState = TStmt(db_, "UPDATE files SET state=?, reason=? WHERE id=?");
  st_->DeleteFtsOf = TStmt(db_, "DELETE FROM fts WHERE rowid IN (SELECT id FROM units WHERE file=?)");
  st_->DeleteUnitsOf = TStmt(db_, "DELETE FROM units WHERE file=?");
  st_->DeleteFile = TStmt(db_, "DELETE FROM files WHERE id=?");
  st_->Begin = TStmt(db_, "BEGIN");
  st_->Commit = TStmt(db_, "COMMIT");
  return true;
}

std::string TSearchIndex::Error() const {
  std::lock_guard lock(mutex_);
  return error_;
}

void TSearchIndex::CommitIfDue(bool now) {
  if (!db_ || !st_) return;
  if (inTransaction_ && (now || NowMs() - transactionStart_ >= kCommitEveryMs)) {
    st_->Commit.Run();
    inTransaction_ = false;
  }
  if (!inTransaction_ && !now) {
    st_->Begin.Run();
    inTransaction_ = true;
    transactionStart_ = NowMs();
  }
}

std::size_t TSearchIndex::InsertUnits(std::size_t position, const std::vector<TUnit>& units, std::size_t from,
                                      std::size_t& fileBytes, std::int64_t untilMs, std::size_t most) {
  for (std::size_t k = from; k < units.size(); ++k) {
    if (k > from && ((most && k - from >= most) || (untilMs && k % 64 == 0 && NowMs() >= untilMs))) return k;
    const TUnit& u = units[k];
    if (u.Text.empty()) continue;
    if (fileBytes + u.Text.size() > kMaxFileTextBytes) break;
    fileBytes += u.Text.size();
    textBytes_ += u.Text.size();
    if (nextOrd_[position] >= kUnitsPerFile) break;
    // A piece's row number is its file's position and its own: the rows'
    // order is the order hits are listed in.
    const std::int64_t id = static_cast<std::int64_t>(position) * kUnitsPerFile + nextOrd_[position];
    st_->InsertUnit.Bind(1, id)
        .Bind(2, static_cast<std::int64_t>(position))
        .Bind(3, nextOrd_[position]++)
        .Bind(4, static_cast<std::int64_t>(u.Kind))
        .Bind(5, u.Number)
        .Bind(6, u.Label)
        .Bind(7, u.Text)
        .Run();
    const std::string folded = FoldText(u.Text, true);
    st_->InsertFts.Bind(1, id).Bind(2, folded).Run();
    st_->InsertPairs.Bind(1, id).Bind(2, PairsOf(folded)).Run();
  }
  return units.size();
}

struct TSearchIndex::TStoredFile {
  int Medium = 0;
  std::string Rel;
  std::int64_t Size = 0, MTime = 0;
  int State = 0;
  std::string Reason;
  bool Present = false;
};

std::vector<std::size_t> TSearchIndex::Begin(std::vector<TSearchFile> files, const std::atomic<bool>* cancel,
                                             const std::function<void(TSearchFile&)>& beforeIn) {
  std::unique_lock lock(mutex_);
  files_ = std::move(files);
  const std::size_t n = files_.size();
  nextOrd_.assign(n, 0);
  state_.assign(n, 0);
  reasons_.assign(n, std::string());
  textBytes_ = 0;
  begun_ = 0;
  partial_ = false;
  std::vector<std::size_t> pending;
  if (!db_ || !st_) {
    for (std::size_t i = 0; i < n; ++i) {
      if (beforeIn) beforeIn(files_[i]);
      pending.push_back(i);
    }
    begun_ = n;
    return pending;
  }
  CommitIfDue(true);
  std::vector<TStoredFile> old;
  std::int64_t oldCount = 0;
  {
    TStmt rows(db_, "SELECT id, medium, rel, size, mtime, state, reason FROM files ORDER BY id");
    while (rows.Row()) {
      const std::int64_t id = rows.Int(0);
      oldCount = std::max(oldCount, id + 1);
      if (id < 0 || static_cast<std::size_t>(id) >= n) continue;
      if (old.size() <= static_cast<std::size_t>(id)) old.resize(static_cast<std::size_t>(id) + 1);
      old[static_cast<std::size_t>(id)] = {static_cast<int>(rows.Int(1)), rows.Text(2), rows.Int(3), rows.Int(4),
                                           static_cast<int>(rows.Int(5)), rows.Text(6), true};
    }
  }
  std::size_t at = 0;
  while (at < n) {
    at = BeginPortion(at, old, pending, beforeIn);
    // Questions waiting come in between portions.
    lock.unlock();
    while (askers_.load() > 0) std::this_thread::yield();
    if (BetweenPortions) BetweenPortions(at);
    lock.lock();
    if (cancel && *cancel) {
      // A file cut in two goes out: it is put in whole the next time.
      if (partial_) {
        CommitIfDue(false);
        st_->DeleteFtsOf.Bind(1, static_cast<std::int64_t>(begun_)).Run();
        st_->DeleteUnitsOf.Bind(1, static_cast<std::int64_t>(begun_)).Run();
        nextOrd_[begun_] = 0;
        partial_ = false;
        CommitIfDue(true);
      }
      return pending;
    }
  }
  // Rows of files past the list's end, from a longer list before.
  if (oldCount > static_cast<std::int64_t>(n)) {
    CommitIfDue(false);
    for (std::int64_t id = static_cast<std::int64_t>(n); id < oldCount; ++id) {
      st_->DeleteFtsOf.Bind(1, id).Run();
      st_->DeleteUnitsOf.Bind(1, id).Run();
      st_->DeleteFile.Bind(1, id).Run();
    }
    CommitIfDue(true);
  }
  return pending;
}

std::size_t TSearchIndex::BeginPortion(std::size_t from, const std::vector<TStoredFile>& old,
                                       std::vector<std::size_t>& pending,
                                       const std::function<void(TSearchFile&)>& beforeIn) {
  CommitIfDue(false);
  const bool counted = PortionFiles || PortionPieces;
  const std::int64_t until = NowMs() + kPortionMs;
  TStmt ords(db_, "SELECT coalesce(max(ord) + 1, 0), coalesce(sum(length(CAST(text AS BLOB))), 0) FROM units WHERE file=?");
  std::size_t i = from;
  for (; i < files_.size() && (i == from || counted || NowMs() < until) && (!PortionFiles || i - from < PortionFiles); ++i) {
    TSearchFile& f = files_[i];
    const auto id = static_cast<std::int64_t>(i);
    if (!partial_ && beforeIn) beforeIn(f);
    if (partial_) {
      // The rest of a file begun in the portion before.
    } else if (i < old.size() && old[i].Present && old[i].State != 0 && old[i].Medium == f.Medium && old[i].Rel == f.RelPath &&
        old[i].Size == static_cast<std::int64_t>(f.Size) && old[i].MTime == f.MTime) {
      state_[i] = static_cast<std::uint8_t>(old[i].State);
      reasons_[i] = old[i].Reason;
      ords.Bind(1, id);
      if (ords.Row()) {
        nextOrd_[i] = static_cast<int>(ords.Int(0));
        textBytes_ += static_cast<std::uint64_t>(ords.Int(1));
      }
      ords.Reset();
      f.Units.clear();
      continue;
    } else if (i < old.size() && old[i].Present) {
      st_->DeleteFtsOf.Bind(1, id).Run();
      st_->DeleteUnitsOf.Bind(1, id).Run();
      st_->DeleteFile.Bind(1, id).Run();
    }
    if (!partial_) partUnits_ = partBytes_ = 0;
    partUnits_ = InsertUnits(i, f.Units, partUnits_, partBytes_, counted ? 0 : until, PortionPieces);
    partial_ = partUnits_ < f.Units.size();
    if (partial_) break;
    f.Units.clear();
    const bool contents = f.Content != TContent::None && !f.Path.empty();
    state_[i] = contents ? 0 : 1;
    st_->UpsertFile.Bind(1, id)
        .Bind(2, f.Medium)
        .Bind(3, f.RelPath)
        .Bind(4, static_cast<std::int64_t>(f.Size))
        .Bind(5, f.MTime)
        .Bind(6, state_[i])
        .Bind(7, std::string())
        .Run();
    if (contents) pending.push_back(i);
  }
  CommitIfDue(true);
  begun_ = i;
  return i;
}

void TSearchIndex::Store(std::size_t position, const std::vector<TUnit>& units, const std::string& reason) {
  std::lock_guard lock(mutex_);
  if (position >= files_.size()) return;
  std::string why = reason;
  if (db_ && st_) {
    CommitIfDue(false);
    std::uint64_t bytes = 0;
    for (const TUnit& u : units) bytes += u.Text.size();
    if (textBytes_ + std::min<std::uint64_t>(bytes, kMaxFileTextBytes) > kMaxIndexTextBytes)
      why = "index full";
    else {
      std::size_t fileBytes = 0;
      InsertUnits(position, units, 0, fileBytes);
    }
  }
  state_[position] = why.empty() ? 1 : 2;
  reasons_[position] = why;
  if (db_ && st_) {
    st_->FileState.Bind(1, state_[position]).Bind(2, why).Bind(3, static_cast<std::int64_t>(position)).Run();
    CommitIfDue(false);
  }
}

void TSearchIndex::Flush() {
  std::lock_guard lock(mutex_);
  CommitIfDue(true);
}

std::vector<TSearchHit> TSearchIndex::Find(const TQuery& query, std::size_t limit,
                                           const std::atomic<bool>* cancel) const {
  std::vector<TSearchHit> hits;
  ++askers_;
  std::unique_lock lock(mutex_);
  --askers_;
  if (!db_) return hits;
  // The terms as the index holds them (kana folded) and as the query asks.
  std::vector<std::string> longTerms, pairTerms, shortTerms, exact;
  for (const std::string& t : query.Terms) {
    const std::string indexed = FoldText(t, true);
    if (indexed.find_first_not_of(' ') == std::string::npos) continue;
    if (CodePointCount(indexed) >= 3)
      longTerms.push_back(indexed);
    else if (IsPairWord(indexed))
      pairTerms.push_back(indexed);
    else
      shortTerms.push_back(indexed);
    exact.push_back(FoldText(t, query.KanaAlike));
  }
  if (exact.empty()) return hits;
  std::string typedFirst;
  for (const std::string& t : query.Terms)
    if (FoldText(t, true).find_first_not_of(' ') != std::string::npos) {
      typedFirst = t;
      break;
    }
  // The rows that may hold every word (each is checked below); words of one
  // character are looked for in the folded texts only when nothing else
  // narrows the rows down.
  std::string sql = "SELECT u.file, u.kind, u.num, u.label, u.text FROM units u WHERE ";
  std::vector<std::string> params;
  std::string match, pairs;
  for (const std::string& t : longTerms) match += (match.empty() ? "" : " AND ") + FtsString(t);
  for (const std::string& t : pairTerms) pairs += (pairs.empty() ? "" : " AND ") + FtsString(t);
  std::vector<std::string> conditions;
  if (!match.empty()) {
    params.push_back(match);
    conditions.push_back("u.id IN (SELECT rowid FROM fts WHERE fts MATCH ?" + std::to_string(params.size()) + ")");
  }
  if (!pairs.empty()) {
    params.push_back(pairs);
    conditions.push_back("u.id IN (SELECT rowid FROM pairs WHERE pairs MATCH ?" + std::to_string(params.size()) + ")");
  }
  if (conditions.empty()) {
    for (const std::string& t : shortTerms) {
      params.push_back(t);
      conditions.push_back("u.id IN (SELECT rowid FROM fts WHERE instr(folded, ?" + std::to_string(params.size()) +
                           ") > 0)");
    }
  }
  for (std::size_t i = 0; i < conditions.size(); ++i) sql += (i ? " AND " : "") + conditions[i];
  sql += " ORDER BY u.id";
  TStmt rows(db_, sql.c_str());
  if (!rows) return hits;
  for (std::size_t i = 0; i < params.size(); ++i) rows.Bind(static_cast<int>(i + 1), params[i]);
  std::vector<std::uint32_t> origin;
  while (rows.Row()) {
    if (cancel && *cancel) break;
    const auto file = static_cast<std::size_t>(rows.Int(0));
    // Not in yet (or a row of an earlier list).
    if (file > begun_ || (file == begun_ && !partial_)) break;
    const std::string text = rows.Text(4);
    // Every term must stand in the text folded as the query asks (with
    // hiragana and katakana apart unless they are alike).
    const std::string folded = FoldText(text, query.KanaAlike);
    bool all = true;
    for (const std::string& t : exact) all = all && folded.find(t) != std::string::npos;
    if (!all) continue;
    TSearchHit& hit = hits.emplace_back();
    const TSearchFile& f = files_[file];
    hit.Path = f.Path;
    hit.File = f.RelPath;
    hit.Medium = f.Medium;
    hit.Kind = static_cast<TWhere>(rows.Int(1));
    hit.Number = static_cast<int>(rows.Int(2));
    hit.Label = rows.Text(3);
    // The first word's place: where it stands as typed, when the text has
    // it so, else the first folded match through the folding's map back.
    const std::size_t raw = typedFirst.empty() ? std::string::npos : text.find(typedFirst);
    if (raw != std::string::npos) {
      MakeContext(text, raw, raw + typedFirst.size(), hit);
    } else {
      const std::string mapped = FoldTextMapped(text, query.KanaAlike, origin);
      const std::size_t at = mapped.find(exact[0]);
      if (at == std::string::npos)
        MakeContext(text, 0, 0, hit);
      else
        MakeContext(text, origin[at], origin[at + exact[0].size()], hit);
    }
    if (limit && hits.size() >= limit) break;
  }
  return hits;
}

TAccount TSearchIndex::Account() const {
  ++askers_;
  std::unique_lock lock(mutex_);
  --askers_;
  TAccount account;
  account.Files = files_.size();
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (state_[i] == 0) ++account.Pending;
    else ++account.Indexed;
    if (state_[i] == 2) account.NotSearched.push_back({files_[i].RelPath, files_[i].Medium, reasons_[i]});
  }
  return account;
}

}  // namespace dlvr::search
