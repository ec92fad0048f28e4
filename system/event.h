#pragma once
// Events: small records of input and application happenings, emitted on the
// event hook.

#include "runtime/object.h"
#include "runtime/string.h"

// Event ids; the high part names the group.
enum : int {
  EVENT_APPSUSPEND = 0x101,
  EVENT_APPRESUME = 0x102,
  EVENT_APPTERMINATE = 0x103,
  EVENT_APPOPENFILE = 0x104,
  EVENT_KEYDOWN = 0x201,
  EVENT_KEYUP = 0x202,
  EVENT_KEYCHAR = 0x203,
  EVENT_MOUSEDOWN = 0x401,
  EVENT_MOUSEUP = 0x402,
  EVENT_MOUSEMOVE = 0x403,
  EVENT_MOUSEWHEEL = 0x404,
  EVENT_MOUSEENTER = 0x405,
  EVENT_MOUSELEAVE = 0x406,
  EVENT_TIMERTICK = 0x801,
  EVENT_GADGETACTION = 0x2001,
  EVENT_GADGETPAINT = 0x2002,
  EVENT_GADGETSELECT = 0x2003,
  EVENT_GADGETMENU = 0x2004,
  EVENT_GADGETOPEN = 0x2005,
  EVENT_GADGETCLOSE = 0x2006,
  EVENT_GADGETDONE = 0x2007,
  EVENT_WINDOWMOVE = 0x4001,
  EVENT_WINDOWSIZE = 0x4002,
  EVENT_WINDOWCLOSE = 0x4003,
  EVENT_WINDOWACTIVATE = 0x4004,
  EVENT_WINDOWACCEPT = 0x4005,
  EVENT_MENUACTION = 0x8001,
};

// Modifier bits of an event's mods.
enum : int { MODIFIER_SHIFT = 1, MODIFIER_CONTROL = 2, MODIFIER_ALT = 4, MODIFIER_SYSTEM = 8 };

class TEvent : public Object {
 public:
  static Ref<TEvent> Create(int id, Ref<Object> source, int data, int mods, int x, int y,
                            Ref<Object> extra);

  // Calls the event hook with this event, at once.
  void Emit();
  // For example: KeyDown: data=27, mods=0, x=0, y=0, extra=""
  String ToString() const;

  int id = 0;
  Ref<Object> source;  // who produced it; null for the graphics windows
  int data = 0;        // key code, character, button or wheel notches
  int mods = 0;        // MODIFIER_ bits held
  int x = 0, y = 0;    // pointer position in client pixels, where the id has one
  Ref<Object> extra;
};

// Starts the hooks and allocates the event hook id.
void StartEvents();
// The hook id on which events are emitted.
int EventHookId();
Ref<TEvent> NewEvent(int id, Ref<Object> source, int data, int mods, int x, int y,
                     Ref<Object> extra);
