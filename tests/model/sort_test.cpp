#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "model/sort.h"

namespace dlvr {
namespace {

// An owner whose data is a list of labels. In kSaveCopy style push, move and
// pop save, copy and restore through one slot; in kExchange style the move
// exchanges the two positions and there is no push or pop (as the tree does).
enum class OwnerStyle { kSaveCopy, kExchange };

template <typename Key>
struct Owner {
  std::vector<Key> keys;
  std::vector<int> labels;  // labels[i]: the original position of the data at i
  std::vector<std::string> calls;
  int saved = -1;

  Owner(std::vector<Key> k, OwnerStyle style, TSort& sort) : keys(std::move(k)), labels(keys.size()) {
    std::iota(labels.begin(), labels.end(), 0);
    sort.OnGetSortItem = [this](TSort&, int i) -> const void* {
      EXPECT_TRUE(calls.empty()) << "key taken after a move";
      return &keys[static_cast<std::size_t>(i)];
    };
    if (style == OwnerStyle::kSaveCopy) {
      sort.OnPushData = [this](TSort&, int i) { calls.push_back("push"); saved = labels.at(i); };
      sort.OnPopData = [this](TSort&, int i) { calls.push_back("pop"); labels.at(i) = saved; saved = -1; };
      sort.OnMoveData = [this](TSort&, int t, int f) { calls.push_back("move"); labels.at(t) = labels.at(f); };
    } else {
      sort.OnMoveData = [this](TSort&, int t, int f) {
        calls.push_back("move");
        std::swap(labels.at(t), labels.at(f));
      };
    }
  }
};

// The expected result: positions ordered by key, equal keys by position in
// both directions.
template <typename Key>
std::vector<int> Expected(const std::vector<Key>& keys, bool inverse) {
  std::vector<int> order(keys.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return inverse ? keys[a] > keys[b] : keys[a] < keys[b];
  });
  return order;
}

TEST(SortApply, RandomPermutationsGiveTheSortedOrderWithEitherOwner) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 400; ++round) {
    const int n = 2 + static_cast<int>(rng() % 60);
    const int range = round % 3 == 0 ? 4 : 1000;  // many duplicates in every third round
    std::vector<int32_t> keys(n);
    for (auto& k : keys) k = static_cast<int32_t>(rng() % range) - range / 2;
    for (bool inverse : {false, true}) {
      for (OwnerStyle style : {OwnerStyle::kSaveCopy, OwnerStyle::kExchange}) {
        TSort sort;
        sort.SortMethod = TSortMethod::smInteger;
        sort.SortInverse = inverse;
        Owner<int32_t> owner(keys, style, sort);
        std::string error = "stale";
        ASSERT_TRUE(sort.Execute(n, nullptr, &error));
        EXPECT_EQ(error, "");
        ASSERT_EQ(owner.labels, Expected(keys, inverse)) << "round " << round;
        EXPECT_EQ(std::count(owner.calls.begin(), owner.calls.end(), "push"),
                  std::count(owner.calls.begin(), owner.calls.end(), "pop"));
      }
    }
  }
}

TEST(SortApply, NothingHappensBelowTwoPositionsOrWithoutRequiredEvents) {
  TSort sort;
  sort.SortMethod = TSortMethod::smInteger;
  Owner<int32_t> owner({3, 2, 1}, OwnerStyle::kSaveCopy, sort);
  EXPECT_TRUE(sort.Execute(1));
  EXPECT_TRUE(sort.Execute(0));
  EXPECT_TRUE(sort.Execute(-5));
  EXPECT_TRUE(owner.calls.empty());

  std::string error;
  auto getKey = sort.OnGetSortItem;
  sort.OnGetSortItem = nullptr;
  EXPECT_FALSE(sort.Execute(3, nullptr, &error));
  EXPECT_NE(error, "");
  sort.OnGetSortItem = getKey;
  sort.OnMoveData = nullptr;
  EXPECT_FALSE(sort.Execute(3, nullptr, &error));
  sort.SortMethod = TSortMethod::smUser;  // neither a compare event nor an item class
  EXPECT_FALSE(sort.Execute(3, nullptr, &error));
  EXPECT_TRUE(owner.calls.empty());
  EXPECT_EQ(owner.labels, (std::vector<int>{0, 1, 2}));
}

TEST(SortIndex, DataGoesToItsTargetAndDuplicateTargetsMoveNothing) {
  std::mt19937 rng(7);
  for (int round = 0; round < 50; ++round) {
    const int n = 2 + round;
    std::vector<int32_t> targets(n);
    std::iota(targets.begin(), targets.end(), 0);
    std::shuffle(targets.begin(), targets.end(), rng);
    TSort sort;
    sort.SortMethod = TSortMethod::smIndex;
    Owner<int32_t> owner(targets, round % 2 ? OwnerStyle::kExchange : OwnerStyle::kSaveCopy, sort);
    ASSERT_TRUE(sort.Execute(n));
    for (int i = 0; i < n; ++i) EXPECT_EQ(owner.labels[targets[i]], i);
  }

  TSort sort;
  sort.SortMethod = TSortMethod::smIndex;
  Owner<int32_t> owner({2, 0, 3, 0, 1}, OwnerStyle::kSaveCopy, sort);
  std::string error;
  EXPECT_FALSE(sort.Execute(5, nullptr, &error));
  EXPECT_EQ(error, "並べ替え結果の Index 番号が重複しています！");
  EXPECT_TRUE(owner.calls.empty());
  EXPECT_EQ(owner.labels, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(SortUser, CompareEventAndItemClassDecide) {
  std::vector<int> values = {5, 1, 4, 1, 3};
  TSort sort;  // smUser by default
  Owner<int32_t> owner({0, 0, 0, 0, 0}, OwnerStyle::kExchange, sort);
  sort.OnCompareData = [&](TSort&, int a, int b) { return values[a] - values[b]; };
  ASSERT_TRUE(sort.Execute(5));
  EXPECT_EQ(owner.labels, (std::vector<int>{1, 3, 4, 2, 0}));

  // An item class of the caller gets its key through OnGetSortItem.
  struct Reversed : TSIInteger {
    int Compare(const TSortItem& other) const override { return -TSIInteger::Compare(other); }
  };
  Owner<int32_t> owner2({1, 3, 2}, OwnerStyle::kSaveCopy, sort);
  ASSERT_TRUE(sort.Execute(3, [] { return std::make_unique<Reversed>(); }));
  EXPECT_EQ(owner2.labels, (std::vector<int>{1, 2, 0}));

  // A comparison that answers at random must neither crash nor lose data.
  std::mt19937 rng(3);
  sort.OnCompareData = [&](TSort&, int, int) { return static_cast<int>(rng() % 3) - 1; };
  Owner<int32_t> owner3(std::vector<int32_t>(200), OwnerStyle::kSaveCopy, sort);
  ASSERT_TRUE(sort.Execute(200));
  std::vector<int> labels = owner3.labels, all(200);
  std::sort(labels.begin(), labels.end());
  std::iota(all.begin(), all.end(), 0);
  EXPECT_EQ(labels, all);
}

TEST(SortApply, ThrowingHandlerIsReportedNotThrown) {
  TSort sort;
  sort.SortMethod = TSortMethod::smInteger;
  Owner<int32_t> owner({2, 1}, OwnerStyle::kSaveCopy, sort);
  sort.OnMoveData = [](TSort&, int, int) { throw std::runtime_error("disk gone"); };
  std::string error;
  EXPECT_FALSE(sort.Execute(2, nullptr, &error));
  EXPECT_NE(error.find("disk gone"), std::string::npos);
}

TEST(SortDouble, NanSortsFirstWithoutBreakingTheOrder) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  TSort sort;
  sort.SortMethod = TSortMethod::smDouble;
  Owner<double> owner({2.5, nan, -1.0, nan, 0.0}, OwnerStyle::kSaveCopy, sort);
  ASSERT_TRUE(sort.Execute(5));
  EXPECT_EQ(owner.labels, (std::vector<int>{1, 3, 2, 4, 0}));
}

// ---- text keys ------------------------------------------------------------

std::string Pad80(std::string s) {
  while (s.size() < 80) s += ' ';
  return s;
}

class SortText : public ::testing::Test {
 protected:
  void SetUp() override { SetSortLocale("ja"); }
  void TearDown() override { SetSortLocale(""); }

  std::vector<int> Sorted(TSortMethod method, std::vector<std::string> keys, bool inverse,
                          OwnerStyle style = OwnerStyle::kExchange) {
    TSort sort;
    sort.SortMethod = method;
    sort.SortInverse = inverse;
    Owner<std::string> owner(std::move(keys), style, sort);
    EXPECT_TRUE(sort.Execute(static_cast<int>(owner.keys.size())));
    return owner.labels;
  }
};

TEST_F(SortText, DatesWithAnEmptyDate) {
  std::vector<std::string> dates = {Pad80("2001-04-10"), Pad80("2001-04-02"), Pad80("")};
  EXPECT_EQ(Sorted(TSortMethod::smAnsiString, dates, false), (std::vector<int>{2, 1, 0}));
  EXPECT_EQ(Sorted(TSortMethod::smAnsiString, dates, true), (std::vector<int>{0, 1, 2}));
}

TEST_F(SortText, EqualNamesKeepTheirOrderAndCaseIsIgnored) {
  std::vector<std::string> names = {Pad80("施工計画書"), Pad80("plan"), Pad80("工程表"),
                                    Pad80("施工計画書"), Pad80("PLAN")};
  for (bool inverse : {false, true}) {
    std::vector<int> order = Sorted(TSortMethod::smAnsiString, names, inverse);
    auto pos = [&](int label) { return std::find(order.begin(), order.end(), label) - order.begin(); };
    EXPECT_EQ(pos(0) + 1, pos(3));
    EXPECT_EQ(pos(1) + 1, pos(4));
  }
  EXPECT_EQ(CompareAnsiString("abc", "ABC"), 0);
  EXPECT_LT(CompareAnsiString("abc", "ABD"), 0);
  EXPECT_LT(CompareAnsiString("ABC", "abd"), 0);
}

TEST(SortLocaleName, ComesFromTheEnvironmentUnlessSet) {
  const char* saved = std::getenv("LC_ALL");
  const std::string savedValue = saved ? saved : "";
  SetSortLocale("");
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(SortLocale(), "ja");
  setenv("LC_ALL", "en_US.UTF-8@euro", 1);
  EXPECT_EQ(SortLocale(), "en_US");
  SetSortLocale("de");
  EXPECT_EQ(SortLocale(), "de");
  SetSortLocale("");
  if (saved) setenv("LC_ALL", savedValue.c_str(), 1);
  else unsetenv("LC_ALL");
}

TEST_F(SortText, FileOrderKeysRestoreTheFileOrderAfterAnySort) {
  std::vector<std::string> names = {"c", "a", "b", "a", "d", "b", "e", "a", "c", "b", "a", "z"};
  std::vector<std::string> fileOrder;
  for (std::size_t n = 0; n < names.size(); ++n) fileOrder.push_back(std::to_string(30000000 + n + 1));
  TSort sort;
  sort.SortMethod = TSortMethod::smAnsiString;
  Owner<std::string> owner(names, OwnerStyle::kExchange, sort);
  for (bool inverse : {true, false}) {
    // Keys are asked of the current positions, as the tree model does.
    std::vector<std::string> current;
    for (int label : owner.labels) current.push_back(names[label]);
    owner.keys = current;
    owner.calls.clear();
    sort.SortInverse = inverse;
    ASSERT_TRUE(sort.Execute(12));
  }
  std::vector<std::string> current;
  for (int label : owner.labels) current.push_back(fileOrder[label]);
  owner.keys = current;
  owner.calls.clear();
  ASSERT_TRUE(sort.Execute(12));
  for (int i = 0; i < 12; ++i) EXPECT_EQ(owner.labels[i], i);
}

TEST_F(SortText, StringsFollowShiftJisByteOrder) {
  // 亜 is 0x889F and 一 0x88EA in Shift-JIS; UTF-8 orders them the other way.
  EXPECT_LT(CompareSortString("亜", "一"), 0);
  EXPECT_LT(CompareSortString("B", "a"), 0);
  EXPECT_EQ(Sorted(TSortMethod::smString, {"一", "亜", "b", "B"}, false), (std::vector<int>{3, 2, 1, 0}));
}

TEST_F(SortText, NumStringsCompareEmbeddedNumbers) {
  EXPECT_LT(CompareNumString("ABC2", "ABC10"), 0);
  EXPECT_EQ(CompareNumString("ABC10", "ABC10"), 0);
  EXPECT_LT(CompareNumString("ABC", "ABC1"), 0);
  EXPECT_LT(CompareNumString("No.9", "No.10"), 0);
  EXPECT_LT(CompareNumString("A1", "A1B"), 0);
  EXPECT_GT(CompareNumString("A1.5", "A1.25"), 0);
  EXPECT_EQ(CompareNumString("A010", "A10"), 0);  // equal values, nothing left
  EXPECT_LT(CompareNumString("X1.2.3", "X1.3"), 0);
  // Text parts in Shift-JIS byte order; a double-byte character is one.
  EXPECT_LT(CompareNumString("第亜10", "第一2"), 0);
  EXPECT_LT(CompareNumString("図面2枚", "図面10枚"), 0);
  EXPECT_EQ(Sorted(TSortMethod::smNumString, {"No.10", "No.9", "No.9", "No.1"}, true, OwnerStyle::kSaveCopy),
            (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(SortText, StationTextsCompareMainNumberAdditionAndText) {
  EXPECT_LT(CompareSktString("No.5+10.5", "No.5+20"), 0);
  EXPECT_LT(CompareSktString("No.5+20", "No.6"), 0);
  EXPECT_LT(CompareSktString("No.5-3", "No.5"), 0);
  EXPECT_LT(CompareSktString("No.5", "No.5+0.1"), 0);
  EXPECT_EQ(CompareSktString("No.1,200+5", "No.1200 + 5"), 0);
  EXPECT_LT(CompareSktString("No.-2", "No.1"), 0);
  EXPECT_LT(CompareSktString("A5", "B1"), 0);  // text part first
  EXPECT_LT(CompareSktString("No.5+10右", "No.5+10左"), 0);  // 右 0x8945, 左 0x8DB6
  EXPECT_LT(CompareSktString("No.5+10A6", "No.5+10A7"), 0);
  EXPECT_EQ(Sorted(TSortMethod::smSktString, {"No.6", "No.5+20", "No.5+10.5", "No.5"}, false),
            (std::vector<int>{3, 2, 1, 0}));
}

}  // namespace
}  // namespace dlvr
