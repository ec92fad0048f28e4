#include "tests/system/event_record.h"

#include "system/event.h"

namespace eventrecord {

std::vector<std::string> seen;
const Object* windowSource = nullptr;

Ref<Object> Record(int, const Ref<Object>& data, const Ref<Object>&) {
  const Ref<TEvent> e = Cast<TEvent>(data);
  const std::string text = e->ToString().ToUtf8();
  std::string brief = text.substr(0, text.find(':')) + " " + std::to_string(e->data);
  if (e->mods) brief += " m" + std::to_string(e->mods);
  if (e->x || e->y) brief += " @" + std::to_string(e->x) + "," + std::to_string(e->y);
  if (e->source.Get() != windowSource) brief += " !source";
  seen.push_back(brief);
  return data;
}

std::vector<int> DataOf(const std::string& name) {
  std::vector<int> data;
  for (const std::string& e : seen) {
    if (e.starts_with(name + " ")) data.push_back(std::stoi(e.substr(name.size())));
  }
  return data;
}

std::string Typed() {
  std::string typed;
  for (int c : DataOf("KeyChar")) typed += static_cast<char>(c);
  return typed;
}

}  // namespace eventrecord
