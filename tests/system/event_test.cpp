#include "system/event.h"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/string_object.h"
#include "system/hook.h"

namespace {

std::vector<Ref<TEvent>> seen;

Ref<Object> Record(int, const Ref<Object>& data, const Ref<Object>&) {
  seen.push_back(Cast<TEvent>(data));
  return data;
}

}  // namespace

TEST(Events, PrintWithTheirNames) {
  EXPECT_EQ(NewEvent(EVENT_KEYDOWN, nullptr, 27, 0, 0, 0, nullptr)->ToString(),
            "KeyDown: data=27, mods=0, x=0, y=0, extra=\"\"");
  EXPECT_EQ(NewEvent(EVENT_MOUSEDOWN, nullptr, 2, 5, 10, -3, BoxString("hi"))->ToString(),
            "MouseDown: data=2, mods=5, x=10, y=-3, extra=\"hi\"");
  // Other objects as extra print as empty quotes.
  EXPECT_EQ(NewEvent(EVENT_MENUACTION, nullptr, 0, 0, 0, 0, New<Object>())->ToString(),
            "MenuAction: data=0, mods=0, x=0, y=0, extra=\"\"");
  EXPECT_EQ(NewEvent(0x999, nullptr, 1, 0, 0, 0, nullptr)->ToString(),
            "Unknown Event, id=2457: data=1, mods=0, x=0, y=0, extra=\"\"");
  const std::pair<int, const char*> names[] = {
      {EVENT_APPSUSPEND, "AppSuspend"},    {EVENT_APPTERMINATE, "AppTerminate"},
      {EVENT_KEYCHAR, "KeyChar"},          {EVENT_MOUSELEAVE, "MouseLeave"},
      {EVENT_TIMERTICK, "TimerTick"},      {EVENT_GADGETDONE, "GadgetDone"},
      {EVENT_WINDOWACCEPT, "WindowAccept"}};
  for (auto [id, name] : names) {
    EXPECT_TRUE(
        NewEvent(id, nullptr, 0, 0, 0, 0, nullptr)->ToString().StartsWith(String(name) + ":"))
        << name;
  }
}

TEST(Events, EmitCallsTheEventHookAtOnce) {
  StartEvents();
  InsertHook(EventHookId(), Record, nullptr, 0);
  Ref<Object> source = New<Object>();
  auto event = NewEvent(EVENT_MOUSEWHEEL, source, -1, 0, 0, 0, nullptr);
  event->Emit();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], event);
  EXPECT_EQ(seen[0]->source, source);
  EXPECT_EQ(seen[0]->data, -1);
  RemoveHook(EventHookId(), Record);
}
