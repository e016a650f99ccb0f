// Reading an AP202 mode file: its instances into a store (a large file in
// two portions at once, into a store each, the second taken over by the
// first), then resolved into the drawing (a large file in two halves at
// once).
#include "sxf/ap202.h"

#include <malloc.h>
#include <sys/stat.h>

#include <exception>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "platform/translate.h"
#include "sxf/ap202_internal.h"
#include "sxf/part21.h"

namespace dlvr::sxf {
namespace {

using ap202_detail::TResolver;
using ap202_detail::TStore;

std::string NoMemory() { return Tr("SxfReader", "メモリが足りないため図面を読み込めません"); }

// Resolves the stored instances (`inTwo`: in two halves at once).
TDrawing Resolve(TStore& store, TReadStop stop, const TBudget& budget, bool inTwo) {
  TDrawing d;
  d.Mode = "ap202";
  bool outOfMemory = false, overBudget = false;
  try {
    store.Finish();
    TResolver resolver(store, d, budget, stop.Broken);
    resolver.Run(inTwo, [&] { store = TStore{}; });
    overBudget = resolver.OverBudget();
  } catch (const std::exception&) {
    outOfMemory = true;
  }
  store = TStore{};
  if (outOfMemory) StopForMemory(d, NoMemory);
  // A break in the file says more than what the resolver found after it,
  // but for a drawing stopped at its budget.
  if (stop.Broken && !overBudget && !outOfMemory) d.Stop = std::move(stop);
  return d;
}

// Reads the instances with `parse`, then resolves them.
template <class F>
TDrawing Read(F&& parse, const TBudget& budget, bool inTwo) {
  TStore store;
  TReadStop stop;
  try {
    stop = parse(store);
  } catch (const std::exception&) {
    // What the store holds is let go: the reason needs a little memory.
    store = TStore{};
    stop.Broken = true;
    try {
      stop.Reason = NoMemory();
    } catch (...) {
    }
  }
  return Resolve(store, std::move(stop), budget, inTwo);
}

// What is left when not even the reader's own state fits in memory.
TDrawing NothingRead() {
  TDrawing d;
  d.Mode = "ap202";
  StopForMemory(d, NoMemory);
  return d;
}

TDrawing ReadAp202Whole(const std::string& path, std::uint64_t twoPortionsFrom, const TBudget& budget) {
  // A large file is read in two portions at once, each into a store of its
  // own; when it cannot be cut cleanly it is read whole.
  auto head = std::make_unique<TStore>();
  TReadStop stop;
  bool halves = false;
  struct stat st {};
  const std::uint64_t size = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
  try {
    auto tail = std::make_unique<TStore>();
    if (size >= twoPortionsFrom) {
      head->Reserve(size / 2);
      tail->Reserve(size / 2);
    }
    halves = p21::ParseFileInTwo(path, *head, *tail, stop, twoPortionsFrom);
    if (halves) head->Append(std::move(*tail));
  } catch (const std::exception&) {
    halves = false;
  }
  if (halves) {
#ifdef __GLIBC__
    // The second thread's allocator keeps what the thread freed while it
    // read: that goes back to the system before the drawing is made.
    malloc_trim(0);
#endif
    return Resolve(*head, std::move(stop), budget, true);
  }
  head.reset();
  return Read(
      [&](TStore& store) {
        store.Reserve(size);
        return p21::ParseFile(path, store);
      },
      budget, size >= twoPortionsFrom);
}

}  // namespace

TDrawing ReadAp202(const std::string& path, std::uint64_t twoPortionsFrom, const TBudget& budget) {
  try {
    return ReadAp202Whole(path, twoPortionsFrom, budget);
  } catch (const std::bad_alloc&) {
    return NothingRead();
  }
}

TDrawing ReadAp202Text(std::string_view text, const TBudget& budget) {
  try {
    return Read([&](TStore& store) { return p21::ParseText(text, store); }, budget, false);
  } catch (const std::bad_alloc&) {
    return NothingRead();
  }
}

}  // namespace dlvr::sxf
