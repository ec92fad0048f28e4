#include "stream/embedded_file.h"

#include <unordered_map>

#include "runtime/program.h"
#include "stream/memory_stream.h"
#include "stream/stream_factory.h"

namespace {

struct Entry {
  const uint8_t* data;
  int size;
};

std::unordered_map<String, Entry>& Registry() {
  static std::unordered_map<String, Entry> registry;
  return registry;
}

const Entry* Find(const String& name) {
  const auto& registry = Registry();
  const auto at = registry.find(name);
  return at == registry.end() ? nullptr : &at->second;
}

class TEmbeddedFileFactory : public TStreamFactory {
 public:
  Ref<TStream> CreateStream(const Url&, const String& protocol, const String& path, bool readable,
                            bool writeable) override {
    if (protocol != "incbin" || writeable) return nullptr;
    const Entry* entry = Find(path);
    if (!entry) return nullptr;
    // The stream never writes (writeable is false), so the bytes stay unchanged.
    return TMemoryStream::Create(const_cast<uint8_t*>(entry->data), entry->size, readable, false);
  }
};

}  // namespace

void StartEmbeddedFiles() {
  static bool started = false;
  if (!FirstStart(started)) return;
  static TEmbeddedFileFactory factory;
}

int RegisterEmbeddedFile(const String& name, const uint8_t* data, int size) {
  return Registry().try_emplace(name, Entry{data, size}).second ? 1 : 0;
}

void RegisterEmbeddedFiles(std::span<const EmbeddedFile> files) {
  for (const EmbeddedFile& file : files) RegisterEmbeddedFile(file.name, file.data, file.size);
}

const uint8_t* EmbeddedFileData(const String& name) {
  const Entry* entry = Find(name);
  return entry ? entry->data : nullptr;
}

int EmbeddedFileSize(const String& name) {
  const Entry* entry = Find(name);
  return entry ? entry->size : 0;
}
