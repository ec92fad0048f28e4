#include "system/event.h"

#include <algorithm>
#include <iterator>

#include "runtime/program.h"
#include "runtime/string_object.h"
#include "system/hook.h"

namespace {

int eventHookId = -1;

struct EventName {
  int id;
  const char* name;
};

constexpr EventName EVENT_NAMES[] = {
    {EVENT_APPSUSPEND, "AppSuspend"},
    {EVENT_APPRESUME, "AppResume"},
    {EVENT_APPTERMINATE, "AppTerminate"},
    {EVENT_APPOPENFILE, "AppOpenFile"},
    {EVENT_KEYDOWN, "KeyDown"},
    {EVENT_KEYUP, "KeyUp"},
    {EVENT_KEYCHAR, "KeyChar"},
    {EVENT_MOUSEDOWN, "MouseDown"},
    {EVENT_MOUSEUP, "MouseUp"},
    {EVENT_MOUSEMOVE, "MouseMove"},
    {EVENT_MOUSEWHEEL, "MouseWheel"},
    {EVENT_MOUSEENTER, "MouseEnter"},
    {EVENT_MOUSELEAVE, "MouseLeave"},
    {EVENT_TIMERTICK, "TimerTick"},
    {EVENT_GADGETACTION, "GadgetAction"},
    {EVENT_GADGETPAINT, "GadgetPaint"},
    {EVENT_GADGETSELECT, "GadgetSelect"},
    {EVENT_GADGETMENU, "GadgetMenu"},
    {EVENT_GADGETOPEN, "GadgetOpen"},
    {EVENT_GADGETCLOSE, "GadgetClose"},
    {EVENT_GADGETDONE, "GadgetDone"},
    {EVENT_WINDOWMOVE, "WindowMove"},
    {EVENT_WINDOWSIZE, "WindowSize"},
    {EVENT_WINDOWCLOSE, "WindowClose"},
    {EVENT_WINDOWACTIVATE, "WindowActivate"},
    {EVENT_WINDOWACCEPT, "WindowAccept"},
    {EVENT_MENUACTION, "MenuAction"},
};

String EventName(int id) {
  const auto* entry = std::find_if(std::begin(EVENT_NAMES), std::end(EVENT_NAMES),
                                   [id](const struct EventName& e) { return e.id == id; });
  if (entry == std::end(EVENT_NAMES)) return "Unknown Event, id=" + String::FromInt(id);
  return entry->name;
}

}  // namespace

void StartEvents() {
  static bool started = false;
  if (!FirstStart(started)) return;
  StartHooks();
  eventHookId = NewHookId();
}

int EventHookId() {
  StartEvents();
  return eventHookId;
}

Ref<TEvent> TEvent::Create(int id, Ref<Object> source, int data, int mods, int x, int y,
                           Ref<Object> extra) {
  auto event = New<TEvent>();
  event->id = id;
  event->source = std::move(source);
  event->data = data;
  event->mods = mods;
  event->x = x;
  event->y = y;
  event->extra = std::move(extra);
  return event;
}

void TEvent::Emit() { CallHooks(EventHookId(), Ref<Object>(this)); }

String TEvent::ToString() const {
  const auto text = Cast<TStringObject>(extra);
  return EventName(id) + ": data=" + String::FromInt(data) + ", mods=" + String::FromInt(mods) +
         ", x=" + String::FromInt(x) + ", y=" + String::FromInt(y) + ", extra=\"" +
         (text ? text->Value() : String()) + "\"";
}

Ref<TEvent> NewEvent(int id, Ref<Object> source, int data, int mods, int x, int y,
                     Ref<Object> extra) {
  return TEvent::Create(id, std::move(source), data, mods, x, y, std::move(extra));
}
