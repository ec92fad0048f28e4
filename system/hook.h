#pragma once
// Hooks: prioritised chains of functions under small integer ids. Calling a
// hook passes one object through every function of its chain in turn.

#include "runtime/object.h"

// A hook function gets the hook id, the data so far and its own context, and
// returns the data for the next function; one that only observes returns
// data unchanged.
using HookFunction = Ref<Object> (*)(int id, const Ref<Object>& data, const Ref<Object>& context);

class THook : public Object {
 public:
  Ref<THook> succ;  // the next hook of the same id
  int priority = 0;
  HookFunction function = nullptr;
  Ref<Object> context;
};

// The number of hook ids a process has.
constexpr int HOOK_IDS = 256;

void StartHooks();
// The next free id: 0, 1, 2 ... Raises "Too many hook ids" past 255.
int NewHookId();
// Higher priorities run first; equal priorities in the order they were added.
void InsertHook(int id, HookFunction function, Ref<Object> context, int priority);
// Runs the chain and returns the last function's result (data itself when the
// chain is empty). A function may remove itself or add hooks while the chain
// runs; hooks added behind the running one run in the same call.
Ref<Object> CallHooks(int id, Ref<Object> data);
// Removes the first hook of id with this function (the context is not compared).
void RemoveHook(int id, HookFunction function);
