#include "system/hook.h"

#include <array>

#include "runtime/program.h"
#include "runtime/runtime_error.h"

namespace {

std::array<Ref<THook>, HOOK_IDS>& Chains() {
  static std::array<Ref<THook>, HOOK_IDS> chains;
  return chains;
}

int nextHookId = 0;

Ref<THook>& Chain(int id) {
  if (id < 0 || id >= HOOK_IDS) throw RuntimeError("Invalid hook id " + String::FromInt(id));
  return Chains()[static_cast<size_t>(id)];
}

}  // namespace

void StartHooks() {
  static bool started = false;
  if (!FirstStart(started)) return;
  Chains();
}

int NewHookId() {
  if (nextHookId == HOOK_IDS) throw RuntimeError("Too many hook ids");
  return nextHookId++;
}

void InsertHook(int id, HookFunction function, Ref<Object> context, int priority) {
  auto hook = New<THook>();
  hook->priority = priority;
  hook->function = function;
  hook->context = std::move(context);
  Ref<THook>* link = &Chain(id);
  while (*link && (*link)->priority >= priority) link = &(*link)->succ;
  hook->succ = std::move(*link);
  *link = std::move(hook);
}

Ref<Object> CallHooks(int id, Ref<Object> data) {
  // Holding the running hook keeps its successor link valid even when the
  // function removes it from the chain.
  for (Ref<THook> hook = Chain(id); hook; hook = hook->succ) {
    data = hook->function(id, data, hook->context);
  }
  return data;
}

void RemoveHook(int id, HookFunction function) {
  for (Ref<THook>* link = &Chain(id); *link; link = &(*link)->succ) {
    if ((*link)->function == function) {
      // The removed hook keeps its successor, so a walk standing on it goes on.
      *link = (*link)->succ;
      return;
    }
  }
}
