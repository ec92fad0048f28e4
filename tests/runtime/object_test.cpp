#include "runtime/object.h"

#include <gtest/gtest.h>

#include "runtime/runtime_error.h"

namespace {

struct Counted : Object {
  explicit Counted(int* alive) : alive(alive) { ++*alive; }
  ~Counted() override { --*alive; }
  int value = 7;
  int* alive;
};

struct Derived : Counted {
  using Counted::Counted;
};

}  // namespace

TEST(Ref, ReleasesTheObjectWithTheLastReference) {
  int alive = 0;
  {
    Ref<Counted> a = New<Counted>(&alive);
    EXPECT_EQ(alive, 1);
    EXPECT_EQ(a->RefCount(), 1);
    Ref<Counted> b = a;
    EXPECT_EQ(a->RefCount(), 2);
    Ref<Object> c = std::move(b);
    EXPECT_FALSE(b);
    EXPECT_EQ(a->RefCount(), 2);
    a = nullptr;
    EXPECT_EQ(alive, 1);
    EXPECT_EQ(c->RefCount(), 1);
  }
  EXPECT_EQ(alive, 0);
}

TEST(Ref, CastsAndComparesByIdentity) {
  int alive = 0;
  Ref<Object> plain = New<Counted>(&alive);
  Ref<Object> derived = New<Derived>(&alive);
  EXPECT_TRUE(Cast<Counted>(plain));
  EXPECT_FALSE(Cast<Derived>(plain));
  EXPECT_EQ(Cast<Derived>(derived), derived);
  EXPECT_FALSE(Cast<Derived>(Ref<Object>()));
  EXPECT_FALSE(plain == derived);
  EXPECT_TRUE(Ref<Object>() == nullptr);
}

TEST(Ref, UsingTheNullObjectRaisesARuntimeError) {
  Ref<Counted> none;
  EXPECT_FALSE(none);
  try {
    (void)none->value;
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Message(), NULL_OBJECT_ERROR);
  }
  EXPECT_THROW((void)*none, RuntimeError);
}

TEST(Ref, SelfAssignmentKeepsTheObject) {
  int alive = 0;
  Ref<Counted> a = New<Counted>(&alive);
  Ref<Counted>& alias = a;
  a = alias;
  EXPECT_EQ(alive, 1);
  EXPECT_EQ(a->value, 7);
}
