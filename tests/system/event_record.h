#pragma once
// For the system drivers' tests: every event that reaches the event hook,
// briefly. "MouseDown 1 m3 @30,40" is button 1 with Shift and Control held
// at (30, 40); zero mods and positions are left out, and "!source" marks an
// event without the window's source.

#include <string>
#include <vector>

#include "runtime/object.h"

namespace eventrecord {

extern std::vector<std::string> seen;
// The source the window's events carry.
extern const Object* windowSource;

// The event hook's function that records.
Ref<Object> Record(int, const Ref<Object>& data, const Ref<Object>&);
// The data of every event of the name seen, in order.
std::vector<int> DataOf(const std::string& name);
// The characters typed.
std::string Typed();

}  // namespace eventrecord
