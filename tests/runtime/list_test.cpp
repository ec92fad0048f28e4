#include "runtime/list.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Item : Object {
  explicit Item(int id) : id(id) {}
  int id;
};

std::vector<int> Ids(TList& list) {
  std::vector<int> ids;
  for (const Ref<Object>& object : list) ids.push_back(object ? Cast<Item>(object)->id : 0);
  return ids;
}

}  // namespace

TEST(List, AppendsRemovesAndReverses) {
  Ref<TList> list = CreateList();
  EXPECT_TRUE(list->IsEmpty());
  EXPECT_FALSE(list->First());
  std::vector<Ref<Object>> items;
  for (int i = 1; i <= 4; ++i) {
    items.push_back(New<Item>(i));
    list->AddLast(items.back());
  }
  list->AddLast(nullptr);
  EXPECT_EQ(Ids(*list), (std::vector<int>{1, 2, 3, 4, 0}));
  EXPECT_EQ(list->Count(), 5);

  EXPECT_TRUE(list->Remove(items[1]));
  EXPECT_FALSE(list->Remove(items[1]));
  EXPECT_TRUE(list->Remove(nullptr));
  EXPECT_EQ(Ids(*list), (std::vector<int>{1, 3, 4}));

  list->Reverse();
  EXPECT_EQ(Ids(*list), (std::vector<int>{4, 3, 1}));
  EXPECT_EQ(list->First(), items[3]);
  EXPECT_EQ(list->Last(), items[0]);
  EXPECT_TRUE(list->Contains(items[2]));

  list->AddFirst(items[1]);
  list->RemoveIf([](const Ref<Object>& o) { return Cast<Item>(o)->id % 2 == 1; });
  EXPECT_EQ(Ids(*list), (std::vector<int>{2, 4}));
}

TEST(List, TheVisitedElementMayBeRemovedDuringAWalk) {
  Ref<TList> list = CreateList();
  for (int i = 1; i <= 6; ++i) list->AddLast(New<Item>(i));
  std::vector<int> seen;
  for (const Ref<Object>& object : *list) {
    Ref<Object> keep = object;  // the reference in the list goes with the link
    seen.push_back(Cast<Item>(keep)->id);
    if (Cast<Item>(keep)->id % 2 == 0) list->Remove(keep);
  }
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(Ids(*list), (std::vector<int>{1, 3, 5}));
}

TEST(List, ListsNestedDeeplyAreReleasedWithoutDeepRecursion) {
  int alive = 0;
  struct Tracked : Object {
    explicit Tracked(int* alive) : alive(alive) { ++*alive; }
    ~Tracked() override { --*alive; }
    int* alive;
  };
  {
    Ref<TList> outer = CreateList();
    Ref<TList> at = outer;
    for (int depth = 0; depth < 200000; ++depth) {
      Ref<TList> inner = CreateList();
      at->AddLast(inner);
      at->AddLast(New<Tracked>(&alive));
      at = inner;
    }
  }
  EXPECT_EQ(alive, 0);
}
