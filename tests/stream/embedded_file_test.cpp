#include "stream/embedded_file.h"

#include <gtest/gtest.h>

#include "TestFixtureFiles.h"
#include "stream/load_save.h"
#include "stream/memory_stream.h"
#include "stream/stream_factory.h"

namespace {

void RegisterFixtures() {
  StartEmbeddedFiles();
  RegisterEmbeddedFiles(TestFixtureFiles());
}

}  // namespace

TEST(EmbeddedFile, TheBuildEmbedsFilesUnderTheirRelativeNames) {
  RegisterFixtures();
  ASSERT_EQ(EmbeddedFileSize("gfx/pattern.bin"), 486);
  const uint8_t* pattern = EmbeddedFileData("gfx/pattern.bin");
  ASSERT_NE(pattern, nullptr);
  for (int i = 0; i < 486; ++i) ASSERT_EQ(pattern[i], static_cast<uint8_t>(i * 7 + 3)) << i;

  Ref<TStream> hello = OpenReadStream("incbin::hello.txt");
  ASSERT_TRUE(hello);
  EXPECT_EQ(hello->ReadLine(), "Hello from the embedded files.");
  EXPECT_EQ(hello->ReadLine(), "Second line");
  EXPECT_TRUE(hello->Eof());
}

TEST(EmbeddedFile, NamesMatchCaseSensitivelyAndTheFirstRegistrationStays) {
  static const uint8_t first[] = {1, 2, 3};
  static const uint8_t second[] = {9};
  StartEmbeddedFiles();
  EXPECT_EQ(RegisterEmbeddedFile("sfx/once.wav", first, 3), 1);
  EXPECT_EQ(RegisterEmbeddedFile("sfx/once.wav", second, 1), 0);
  EXPECT_EQ(EmbeddedFileData("sfx/once.wav"), first);
  EXPECT_EQ(EmbeddedFileSize("sfx/once.wav"), 3);
  EXPECT_EQ(EmbeddedFileData("SFX/once.wav"), nullptr);
  EXPECT_EQ(EmbeddedFileSize("sfx/none.wav"), 0);

  EXPECT_TRUE(OpenReadStream("INCBIN::sfx/once.wav"));
  EXPECT_FALSE(OpenReadStream("incbin::SFX/ONCE.WAV"));
  EXPECT_FALSE(OpenReadStream("incbin::incbin::sfx/once.wav"));
  // Embedded files never open for writing.
  EXPECT_FALSE(OpenWriteStream("incbin::sfx/once.wav"));
  EXPECT_FALSE(OpenStream("incbin::sfx/once.wav", true, true));
  EXPECT_EQ(LoadByteArray("incbin::sfx/once.wav"), (ByteArray{1, 2, 3}));
}

TEST(MemoryStream, ClampsSeeksAndNeverGrows) {
  RegisterFixtures();
  Ref<TStream> stream = OpenReadStream("incbin::gfx/pattern.bin");
  EXPECT_EQ(stream->Size(), 486);
  EXPECT_EQ(stream->Seek(1000), 486);
  EXPECT_TRUE(stream->Eof());
  EXPECT_EQ(stream->Seek(-5), 0);
  EXPECT_EQ(stream->ReadByte(), 3);
  // Read-only: a write moves nothing, and the exact-count write says so.
  EXPECT_EQ(stream->Write("x", 1), 0);
  EXPECT_THROW(stream->WriteByte(1), TStreamWriteError);
  EXPECT_EQ(stream->Close(), 0);
  EXPECT_EQ(stream->ReadByte(), 10);  // closing changes nothing

  uint8_t block[4] = {};
  Ref<TMemoryStream> memory = CreateMemoryStream(block, 4, true, true);
  memory->Seek(2);
  EXPECT_EQ(memory->Write("abcdef", 6), 2);
  EXPECT_EQ(memory->Position(), 4);
  EXPECT_EQ(block[3], 'b');
  EXPECT_EQ(memory->Write("x", 1), 0);
  uint8_t out[8];
  memory->Seek(1);
  EXPECT_EQ(memory->Read(out, 8), 3);
  EXPECT_EQ(memory->Read(out, 8), 0);
  EXPECT_EQ(memory->Read(out, -1), 0);

  Ref<TMemoryStream> writeOnly = CreateMemoryStream(block, 4, false, true);
  EXPECT_EQ(writeOnly->Read(out, 1), 0);
}
