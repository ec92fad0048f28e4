// A small program that links every portable library and checks a few
// operations that depend on the platform underneath (files, folders, the C
// runtime's text handling). It is built for every platform, Windows included,
// so that anything non-portable shows at once, and runs wherever it can.
#include <cstdio>
#include <filesystem>
#include <string>

#include "game/random.h"
#include "runtime/list.h"
#include "runtime/program.h"
#include "stream/file_system.h"
#include "stream/load_save.h"
#include "stream/stream_factory.h"

namespace {

int passed = 0, failed = 0;

void Check(bool ok, const char* what) {
  ++(ok ? passed : failed);
  if (!ok) std::printf("FAILED: %s\n", what);
}

int Run() {
  StartFileSystem();
  const std::string folder =
      (std::filesystem::temp_directory_path() / "zorp-portable-check").generic_string();
  const String dir = folder.c_str();
  DeleteDirectory(dir, 1);
  Check(CreateDirectory(dir + "/a/b", 1) == 1, "CreateDirectory makes every level");
  Check(FileType(dir + "/a/b") == 2, "FileType sees a folder");

  const String file = dir + "/a/b/scores.dat";
  Ref<TStream> out = OpenFileForWriting(file);
  Check(static_cast<bool>(out), "a new file opens for writing");
  if (out) {
    out->WriteLine("ZORP");
    out->WriteInt(-12345);
    CloseFileStream(out);
  }
  Check(FileSize(file) == 10, "lines end in CR LF, ints take 4 bytes");
  Ref<TStream> in = OpenFileForReading(file);
  Check(in && in->ReadLine() == "ZORP" && in->ReadInt() == -12345, "the file reads back");
  if (in) CloseFileStream(in);
  Check(LoadString("bigendian::" + file).Left(4) == "ZORP", "protocols open files");

  SeedRandom(1);
  RandomFloat();
  Check(RandomSeed() == 48271, "random numbers step as everywhere");

  Ref<TList> list = CreateList();
  list->AddLast(CreateList());
  Check(list->Count() == 1, "lists hold objects");

  Check(DeleteDirectory(dir, 1) == 1, "DeleteDirectory removes everything");
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}

}  // namespace

int main() { return RunProgram(Run); }
