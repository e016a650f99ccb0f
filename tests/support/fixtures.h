// Helpers shared by the tests: scratch folders, Shift-JIS fixture files and
// a scripted dialog service.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "delivery/prompts.h"

namespace dlvr::test {

// A fresh folder under the temporary folder, removed (made writable first)
// when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // The folder, with a trailing '/'.
  const std::string& Path() const { return path_; }
  // Path() + relative.
  std::string operator/(const std::string& relative) const;

  // Writes a file (creating its folders); `utf8` is stored as Shift-JIS with
  // CR LF line ends unless asked otherwise.
  std::string WriteSjis(const std::string& relative, const std::string& utf8, bool crlf = true) const;
  std::string WriteBytes(const std::string& relative, const std::string& bytes) const;
  std::string MakeDir(const std::string& relative) const;

 private:
  std::string path_;
};

// A scratch folder that is the temporary folder (TMPDIR) while the object
// lives, so that what a test's code puts there can be counted; the earlier
// TMPDIR comes back when it goes.
class ScratchTmpdir : public ScratchDir {
 public:
  ScratchTmpdir();
  ~ScratchTmpdir();

 private:
  std::string old_;
  bool hadOld_ = false;
};

// Every drive reads as a fixed disk while the object lives (no folder of a
// test is taken for removable media); the drives' own answer after.
class FixedDrives {
 public:
  FixedDrives();
  ~FixedDrives();
  FixedDrives(const FixedDrives&) = delete;
  FixedDrives& operator=(const FixedDrives&) = delete;
};

// Makes every file and folder under `path` read-only (or writable again).
void SetTreeReadOnly(const std::string& path, bool readOnly);

// Copies a folder tree.
void CopyTree(const std::string& from, const std::string& to);

// A snapshot of a folder tree: every path with its size and modification
// time, to show that nothing was written.
std::vector<std::string> TreeSnapshot(const std::string& path);

// The sample deliveries of the repository.
std::string SamplePath(const std::string& name);

// A listener on a loopback port that counts the connections made to it (it
// accepts and closes each at once), to show that nothing is fetched.
class LoopbackListener {
 public:
  LoopbackListener();
  ~LoopbackListener();
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;
  // "http://127.0.0.1:<port>" + path.
  std::string Url(const std::string& path) const;
  // The connections so far (waits a moment for late ones).
  int Connections() const;

 private:
  struct Impl;
  Impl* d_;
};

// The process's peak resident size in KiB, to show that memory stayed bounded.
long MaxRssKb();

// Records every message and answers from a script (then `fallback`).
class ScriptedPrompts : public TPromptService {
 public:
  ScriptedPrompts();
  ~ScriptedPrompts() override;
  DialogAnswer Show(const MessageRequest& request) override;

  // Called for every message before it is answered (to swap a medium, say).
  std::function<void(const MessageRequest&)> OnShow;
  std::vector<DialogAnswer> Answers;
  DialogAnswer Fallback = DialogAnswer::None;
  std::vector<MessageRequest> Shown;
};

}  // namespace dlvr::test
