// The general sort component. TSort knows nothing of what it sorts: it asks
// its owner for one key per position, sorts the keys, and then asks the owner
// to move data between positions until the order is applied.
//
// Text keys are UTF-8. Byte-wise orders are those of the CP932 encoding, so a
// sort gives the order a Shift-JIS program gives.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace dlvr {

class TSort;

enum class TSortMethod {
  smInteger,     // int32_t keys, numeric
  smDouble,      // double keys, numeric (NaN before every number)
  smString,      // std::string keys, byte-wise and case-sensitive
  smNumString,   // std::string keys, text with embedded numbers
  smUser,        // no keys; OnCompareData compares two positions
  smIndex,       // int32_t keys: the position each item takes in the result
  smSktString,   // std::string keys, survey station texts ("No.5+10.5")
  smAnsiString,  // std::string keys, the locale's case-insensitive order
};

// One position's key during a sort.
class TSortItem {
 public:
  virtual ~TSortItem() = default;

  // Takes the key from the address the owner returned; nullptr gives the
  // empty key (0 or the empty text).
  virtual void SetValue(const void* value);
  // Negative, 0 or positive for this key against the other's. Items of
  // another class compare equal.
  virtual int Compare(const TSortItem& other) const = 0;

  // The descending flag; during the move phase it doubles as the visited mark.
  bool Inverse = false;
  // The position the item came from.
  int32_t OrgIndex = 0;
};

class TSIInteger : public TSortItem {
 public:
  void SetValue(const void* value) override;  // const int32_t*
  int Compare(const TSortItem& other) const override;
  int32_t Key = 0;
};

class TSIDouble : public TSortItem {
 public:
  void SetValue(const void* value) override;  // const double*
  int Compare(const TSortItem& other) const override;
  double Key = 0.0;
};

// Base of the text items: keeps the UTF-8 key and the form it compares by.
class TSITextItem : public TSortItem {
 public:
  void SetValue(const void* value) override;  // const std::string*
  const std::string& Key() const { return key_; }

 protected:
  // The comparison form of a key (its CP932 bytes unless overridden).
  virtual std::string MakeForm(const std::string& key) const;
  std::string key_;
  std::string form_;
};

class TSIString : public TSITextItem {
 public:
  int Compare(const TSortItem& other) const override;
};

class TSINumString : public TSITextItem {
 public:
  int Compare(const TSortItem& other) const override;
};

class TSISktString : public TSITextItem {
 public:
  int Compare(const TSortItem& other) const override;
};

class TSIAnsiString : public TSITextItem {
 public:
  void SetValue(const void* value) override;
  int Compare(const TSortItem& other) const override;

 private:
  const void* collator_ = nullptr;  // the locale's collator, taken with the key
};

// Key: the position this item takes in the result. Two items with the same
// target make the sort fail before anything has moved.
class TSIIndex : public TSortItem {
 public:
  void SetValue(const void* value) override;  // const int32_t*
  int Compare(const TSortItem& other) const override;
  int32_t Key = 0;
};

// smUser: compares through the component's OnCompareData with the two items'
// original positions. Execute fills Sender and OnCompareData.
class TSIByEvent : public TSortItem {
 public:
  int Compare(const TSortItem& other) const override;
  TSort* Sender = nullptr;
  std::function<int(TSort&, int, int)> OnCompareData;
};

class TSort {
 public:
  bool SortInverse = false;
  TSortMethod SortMethod = TSortMethod::smUser;
  int Tag = 0;

  // Restore the saved data into index (optional).
  std::function<void(TSort&, int index)> OnPopData;
  // Save the data at index (optional).
  std::function<void(TSort&, int index)> OnPushData;
  // Move the data at indexF to indexT (required). A handler that exchanges
  // the two positions gives the same final order without push and pop.
  std::function<void(TSort&, int indexT, int indexF)> OnMoveData;
  // Address of the key of position index: const int32_t* (smInteger,
  // smIndex), const double* (smDouble) or const std::string* (text methods).
  // Required for every method but smUser with TSIByEvent items. The key is
  // copied at once; the address need not stay valid.
  std::function<const void*(TSort&, int index)> OnGetSortItem;
  // smUser: compare positions index1 and index2 (negative, 0, positive).
  std::function<int(TSort&, int index1, int index2)> OnCompareData;

  // Sorts positions 0 .. count-1: takes every key, sorts (equal keys keep
  // their original order in both directions), then applies the order through
  // the move events. itemFactory makes the items for smUser (default
  // TSIByEvent; items of other classes get their key through OnGetSortItem).
  // Fewer than 2 positions: nothing happens, returns true. Returns false
  // with a message in *error when a required event is missing, an smIndex
  // target occurs twice ("並べ替え結果の Index 番号が重複しています！") or an
  // event handler throws; in the first two cases nothing has moved.
  bool Execute(int count, std::function<std::unique_ptr<TSortItem>()> itemFactory = nullptr,
               std::string* error = nullptr);
};

// The message of a duplicate smIndex target, as written (*error has it in
// the user's language).
extern const char* const kSortIndexDuplicateText;

// Sets the locale of smAnsiString (an ICU locale name such as "ja" or
// "en_US"); empty goes back to the user's locale from LC_ALL, LC_COLLATE or
// LANG ("ja" when that is C, POSIX or unset).
void SetSortLocale(const std::string& icuLocaleName);
// The locale smAnsiString uses now.
std::string SortLocale();

// The comparisons of the text methods, on UTF-8 texts (negative, 0,
// positive).
int CompareSortString(std::string_view a, std::string_view b);
int CompareNumString(std::string_view a, std::string_view b);
int CompareSktString(std::string_view a, std::string_view b);
int CompareAnsiString(std::string_view a, std::string_view b);

}  // namespace dlvr
