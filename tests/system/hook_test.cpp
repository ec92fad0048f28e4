// Each test runs in a process of its own (CTest), so hook ids start at 0.
#include "system/hook.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/runtime_error.h"
#include "runtime/string_object.h"

namespace {

// Appends the hook's context text to the data text.
Ref<Object> Append(int, const Ref<Object>& data, const Ref<Object>& context) {
  return BoxString(Cast<TStringObject>(data)->Value() + Cast<TStringObject>(context)->Value());
}

std::string Chained(int id) {
  return Cast<TStringObject>(CallHooks(id, BoxString("")))->Value().ToUtf8();
}

Ref<Object> RemovesItself(int id, const Ref<Object>& data, const Ref<Object>& context) {
  RemoveHook(id, RemovesItself);
  return Append(id, data, context);
}

Ref<Object> AddsBehind(int id, const Ref<Object>& data, const Ref<Object>& context) {
  RemoveHook(id, AddsBehind);
  InsertHook(id, Append, BoxString("+"), -100);
  return Append(id, data, context);
}

}  // namespace

TEST(Hooks, IdsRunOutAfter256) {
  StartHooks();
  EXPECT_EQ(NewHookId(), 0);
  for (int i = 1; i < 255; ++i) NewHookId();
  EXPECT_EQ(NewHookId(), 255);
  try {
    NewHookId();
    FAIL();
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Message(), "Too many hook ids");
  }
}

TEST(Hooks, HigherPrioritiesRunFirstAndEqualOnesInOrderAdded) {
  const int id = NewHookId();
  EXPECT_EQ(Chained(id), "");  // an empty chain gives the data back
  InsertHook(id, Append, BoxString("A"), 0);
  InsertHook(id, Append, BoxString("B"), 0);
  InsertHook(id, Append, BoxString("H"), 10);
  InsertHook(id, Append, BoxString("L"), -5);
  EXPECT_EQ(Chained(id), "HABL");

  // Only the first (highest) registration of a function goes, whatever its context.
  RemoveHook(id, Append);
  EXPECT_EQ(Chained(id), "ABL");
  RemoveHook(id, RemovesItself);  // absent: nothing happens
  EXPECT_EQ(Chained(id), "ABL");
  EXPECT_THROW(CallHooks(HOOK_IDS, nullptr), RuntimeError);
}

TEST(Hooks, AFunctionMayChangeTheChainThatIsRunning) {
  const int id = NewHookId();
  InsertHook(id, Append, BoxString("a"), 3);
  InsertHook(id, RemovesItself, BoxString("r"), 2);
  InsertHook(id, Append, BoxString("z"), 1);
  EXPECT_EQ(Chained(id), "arz");
  EXPECT_EQ(Chained(id), "az");

  InsertHook(id, AddsBehind, BoxString("n"), 2);
  EXPECT_EQ(Chained(id), "anz+");  // added behind the running hook: runs this time
  EXPECT_EQ(Chained(id), "az+");
}
