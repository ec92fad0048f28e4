#include "pixmap/png.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "pixmap/pixmap_loader.h"
#include "stream/bank_stream.h"
#include "stream/embedded_file.h"
#include "stream/memory_stream.h"
#include "tests/pixmap/png_writer.h"
#include "tests/support/platform.h"
#include "tests/support/temp_dir.h"

namespace {

using testpng::Bytes;
using testpng::Picture;

Picture Make(int width, int height, int colorType, int bitDepth, bool interlaced = false) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.colorType = colorType;
  picture.bitDepth = bitDepth;
  picture.interlaced = interlaced;
  testpng::FillPattern(picture);
  return picture;
}

Picture Exactly(int width, int height, int colorType, int bitDepth, std::vector<uint16_t> samples) {
  Picture picture = Make(width, height, colorType, bitDepth);
  picture.samples = std::move(samples);
  return picture;
}

Picture WithPalette(Picture picture, int entries, int alphas) {
  for (int i = 0; i < entries; ++i) {
    picture.palette.insert(picture.palette.end(),
                           {uint8_t(i * 40 + 7), uint8_t(255 - i * 13), uint8_t(i * i)});
  }
  for (int i = 0; i < alphas; ++i) picture.paletteAlpha.push_back(uint8_t(i * 30));
  for (uint16_t& index : picture.samples) index %= entries;
  return picture;
}

// Transparent: the colour of the third pixel, so that it occurs.
Picture WithTransparentColour(Picture picture) {
  const int channels = testpng::Channels(picture.colorType);
  picture.transparent.assign(picture.samples.begin() + 2 * channels,
                             picture.samples.begin() + 3 * channels);
  return picture;
}

struct Kind {
  const char* name;
  Picture picture;
};

// Every colour type and bit depth; odd widths so that rows are padded and
// small depths do not end on a byte.
std::vector<Kind> Kinds() {
  return {
      {"gray1", Make(13, 3, PNG_COLOR_TYPE_GRAY, 1)},
      {"gray2", Make(7, 3, PNG_COLOR_TYPE_GRAY, 2)},
      {"gray4", Make(5, 4, PNG_COLOR_TYPE_GRAY, 4)},
      {"gray8", Make(5, 3, PNG_COLOR_TYPE_GRAY, 8)},
      {"gray16", Make(5, 3, PNG_COLOR_TYPE_GRAY, 16)},
      {"gray8_trns", WithTransparentColour(Make(5, 3, PNG_COLOR_TYPE_GRAY, 8))},
      {"gray_alpha8", Make(5, 3, PNG_COLOR_TYPE_GRAY_ALPHA, 8)},
      {"gray_alpha16", Make(5, 3, PNG_COLOR_TYPE_GRAY_ALPHA, 16)},
      {"rgb8", Make(5, 3, PNG_COLOR_TYPE_RGB, 8)},
      {"rgb16", Make(5, 3, PNG_COLOR_TYPE_RGB, 16)},
      {"rgb8_trns", WithTransparentColour(Make(5, 3, PNG_COLOR_TYPE_RGB, 8))},
      {"rgba8", Make(5, 3, PNG_COLOR_TYPE_RGB_ALPHA, 8)},
      {"rgba16", Make(5, 3, PNG_COLOR_TYPE_RGB_ALPHA, 16)},
      {"palette8", WithPalette(Make(6, 4, PNG_COLOR_TYPE_PALETTE, 8), 11, 0)},
      {"palette4_trns", WithPalette(Make(7, 3, PNG_COLOR_TYPE_PALETTE, 4), 9, 5)},
      {"palette1_trns", WithPalette(Make(9, 2, PNG_COLOR_TYPE_PALETTE, 1), 2, 1)},
      {"gray2_interlaced", Make(9, 7, PNG_COLOR_TYPE_GRAY, 2, true)},
      {"rgba8_interlaced", Make(9, 7, PNG_COLOR_TYPE_RGB_ALPHA, 8, true)},
      {"palette8_trns_interlaced",
       WithPalette(Make(10, 9, PNG_COLOR_TYPE_PALETTE, 8, true), 20, 20)},
  };
}

// The bytes the loader should give for one pixel, worked out from the samples
// written: 16 bits keep the high byte, small greys stretch to 0..255, palette
// indexes look up their colour, tRNS becomes an alpha channel, grey with
// alpha becomes RGBA.
Bytes ExpectedPixel(const Picture& p, size_t pixel) {
  const uint16_t* s = &p.samples[pixel * testpng::Channels(p.colorType)];
  auto to8 = [&](uint16_t v) {
    return uint8_t(p.bitDepth == 16 ? v >> 8 : v * 255 / ((1 << p.bitDepth) - 1));
  };
  auto keyAlpha = [&](int channels) {
    return uint8_t(std::equal(s, s + channels, p.transparent.begin()) ? 0 : 255);
  };
  switch (p.colorType) {
    case PNG_COLOR_TYPE_GRAY:
      if (p.transparent.empty()) return {to8(s[0])};
      return {to8(s[0]), to8(s[0]), to8(s[0]), keyAlpha(1)};
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return {to8(s[0]), to8(s[0]), to8(s[0]), to8(s[1])};
    case PNG_COLOR_TYPE_RGB:
      if (p.transparent.empty()) return {to8(s[0]), to8(s[1]), to8(s[2])};
      return {to8(s[0]), to8(s[1]), to8(s[2]), keyAlpha(3)};
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return {to8(s[0]), to8(s[1]), to8(s[2]), to8(s[3])};
    default: {
      const uint8_t* rgb = &p.palette[3 * s[0]];
      if (p.paletteAlpha.empty()) return {rgb[0], rgb[1], rgb[2]};
      const uint8_t a = s[0] < p.paletteAlpha.size() ? p.paletteAlpha[s[0]] : 255;
      return {rgb[0], rgb[1], rgb[2], a};
    }
  }
}

Bytes PixelAt(const TPixmap& pixmap, int x, int y) {
  const uint8_t* p = pixmap.PixelPtr(x, y);
  return Bytes(p, p + BYTES_PER_PIXEL[pixmap.Format()]);
}

void ExpectPicture(const Ref<TPixmap>& pixmap, const Picture& picture) {
  ASSERT_TRUE(pixmap);
  ASSERT_EQ(pixmap->Width(), picture.width);
  ASSERT_EQ(pixmap->Height(), picture.height);
  const int format = ExpectedPixel(picture, 0).size() == 1   ? PIXFMT_GRAY8
                     : ExpectedPixel(picture, 0).size() == 3 ? PIXFMT_RGB24
                                                             : PIXFMT_RGBA32;
  ASSERT_EQ(pixmap->Format(), format);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      ASSERT_EQ(PixelAt(*pixmap, x, y), ExpectedPixel(picture, size_t(y) * picture.width + x))
          << "at " << x << ", " << y;
    }
  }
}

Ref<TMemoryStream> Over(Bytes& bytes) {
  return CreateMemoryStream(bytes.data(), static_cast<int>(bytes.size()), true, false);
}

Ref<TPixmap> Load(Bytes bytes) { return LoadPixmapPNG(Over(bytes)); }

// Serves its bytes up to failAt, then fails in the chosen way.
class TBrokenStream : public TStream {
 public:
  enum Failure { READS_NOTHING, STREAM_ERROR, OTHER_ERROR };
  TBrokenStream(Bytes bytes, int failAt, Failure failure)
      : bytes_(std::move(bytes)), failAt_(failAt), failure_(failure) {}

  int Position() override { return position_; }
  int Size() override { return static_cast<int>(bytes_.size()); }
  int Seek(int pos) override { return position_ = std::clamp(pos, 0, Size()); }
  int Read(void* buf, int count) override {
    if (position_ >= failAt_) {
      if (failure_ == STREAM_ERROR) throw TStreamReadError();
      if (failure_ == OTHER_ERROR) throw RuntimeError("Disk on fire");
      return 0;
    }
    count = std::min(count, failAt_ - position_);
    std::memcpy(buf, bytes_.data() + position_, static_cast<size_t>(count));
    position_ += count;
    return count;
  }

 private:
  Bytes bytes_;
  int failAt_;
  Failure failure_;
  int position_ = 0;
};

class PngTest : public testing::Test {
 protected:
  void SetUp() override { StartPNG(); }
};

TEST_F(PngTest, EveryKindLoadsAsItsFormatWithTheValuesWritten) {
  for (const Kind& kind : Kinds()) {
    SCOPED_TRACE(kind.name);
    ExpectPicture(Load(testpng::WritePng(kind.picture)), kind.picture);
  }
  // A few values spelled out, in case the expectations above share a mistake.
  Picture grayAlpha = Exactly(1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {200, 50});
  EXPECT_EQ(PixelAt(*Load(testpng::WritePng(grayAlpha)), 0, 0), (Bytes{200, 200, 200, 50}));
  Picture gray16 = Exactly(1, 1, PNG_COLOR_TYPE_GRAY, 16, {0xABCD});
  EXPECT_EQ(PixelAt(*Load(testpng::WritePng(gray16)), 0, 0), Bytes{0xAB});
  Picture gray2 = Exactly(4, 1, PNG_COLOR_TYPE_GRAY, 2, {0, 1, 2, 3});
  auto stretched = Load(testpng::WritePng(gray2));
  EXPECT_EQ(Bytes(stretched->Pixels(), stretched->Pixels() + 4), (Bytes{0, 85, 170, 255}));
}

TEST_F(PngTest, SidesOfTheLimitLoad) {
  for (auto [width, height] : {std::pair{16384, 2}, std::pair{2, 16384}}) {
    Picture picture = Make(width, height, PNG_COLOR_TYPE_GRAY, 8);
    ExpectPicture(Load(testpng::WritePng(picture)), picture);
  }
}

TEST_F(PngTest, OversizedPicturesAreRefusedBeforeDecoding) {
  // A valid zlib stream, so that only the header can be the reason.
  Bytes idat(64);
  uLongf packed = idat.size();
  const Bytes zeros(1000, 0);
  ASSERT_EQ(compress(idat.data(), &packed, zeros.data(), zeros.size()), Z_OK);
  idat.resize(packed);
  struct Case {
    uint32_t width, height;
    int bitDepth, colorType;
  } cases[] = {
      {16385, 1, 8, PNG_COLOR_TYPE_GRAY},
      {1, 16385, 8, PNG_COLOR_TYPE_GRAY},
      {0x7FFFFFFF, 0x7FFFFFFF, 8, PNG_COLOR_TYPE_RGB_ALPHA},
      {8192, 8193, 8, PNG_COLOR_TYPE_RGB_ALPHA},     // 256 MiB + 32 KiB
      {16384, 16384, 16, PNG_COLOR_TYPE_RGB_ALPHA},  // 2 GiB before stripping
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " depth " << c.bitDepth);
    Bytes png = testpng::PngWithHeader(c.width, c.height, c.bitDepth, c.colorType, idat);
    auto stream = Over(png);
    EXPECT_FALSE(LoadPixmapPNG(stream));
    EXPECT_LE(stream->Position(), static_cast<int>(testpng::FindChunk(png, "IDAT") + 8));
  }
}

TEST_F(PngTest, ChunksClaimingAGigabyteCostLittleMemory) {
  const Bytes png = testpng::WritePng(Make(4, 4, PNG_COLOR_TYPE_RGB_ALPHA, 8));
  // Headers with a length near 1 GiB and a few bytes of data behind them:
  // every kind of chunk that libpng would read whole, one it does not know,
  // and the pixel data.
  for (const char* type : {"tEXt", "zTXt", "iTXt", "sPLT", "iCCP", "cHRM", "gAMA", "pCAL", "sCAL",
                           "eXIf", "bKGD", "hIST", "prVt", "IDAT"}) {
    SCOPED_TRACE(type);
    Bytes bad = testpng::WithChunk(png, type, {'k', 'e', 'y', 0, 'x'}, 0x3FFFFFF0u);
    const testplatform::MemoryCost cost =
        testplatform::MeasurePeakMemory([&bad] { return static_cast<bool>(Load(std::move(bad))); });
    EXPECT_FALSE(cost.result);
    if (!testplatform::CanMeasurePeakMemory()) continue;
    ASSERT_GE(cost.peakBytes, 0) << "not measured";
    EXPECT_LT(cost.peakBytes, 16 << 20);
  }
  if (!testplatform::CanMeasurePeakMemory())
    GTEST_SKIP() << "the peak of memory cannot be measured here";
}

TEST_F(PngTest, ChunksThatDoNotChangeThePixelsAreSkipped) {
  const Picture picture = WithPalette(Make(6, 4, PNG_COLOR_TYPE_PALETTE, 8), 11, 7);
  Bytes png = testpng::WritePng(picture);
  // Larger than libpng may allocate for a chunk, and well-formed.
  const Bytes text(300 * 1024, 'z');
  png = testpng::WithChunk(png, "tEXt", text);
  png = testpng::WithChunk(png, "gAMA", {0, 0, 0xB1, 0x8F});
  png = testpng::WithChunk(png, "sRGB", {0});
  png = testpng::WithChunk(png, "prVt", text);
  ExpectPicture(Load(png), picture);
}

TEST_F(PngTest, NotAPngIsTurnedAwayAfterTheSignature) {
  Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  auto stream = Over(gif);
  EXPECT_FALSE(LoadPixmapPNG(stream));
  EXPECT_EQ(stream->Position(), 8);
  EXPECT_FALSE(LoadPixmapPNG(nullptr));
}

TEST_F(PngTest, EveryTruncationIsRefused) {
  const Bytes png = testpng::WritePng(Make(4, 3, PNG_COLOR_TYPE_RGB_ALPHA, 8, true));
  for (size_t length = 0; length < png.size(); ++length) {
    Bytes prefix(png.begin(), png.begin() + static_cast<ptrdiff_t>(length));
    EXPECT_FALSE(LoadPixmap(Over(prefix))) << "first " << length << " bytes";
  }
  EXPECT_TRUE(Load(png));
}

TEST_F(PngTest, DamagedFilesGiveNullOrAPictureOfTheirSize) {
  const Bytes png = testpng::WritePng(Make(6, 5, PNG_COLOR_TYPE_RGB_ALPHA, 8));
  const size_t ihdr = testpng::FindChunk(png, "IHDR");
  const size_t idat = testpng::FindChunk(png, "IDAT");
  const uint32_t idatLength = testpng::ChunkLength(png, idat);
  auto damaged = [&](size_t at, uint8_t mask) {
    Bytes copy = png;
    copy[at] ^= mask;
    return copy;
  };
  // CRCs of critical chunks are checked, and so are the lengths of chunks.
  EXPECT_FALSE(Load(damaged(idat + 8 + idatLength, 0x01)));
  EXPECT_FALSE(Load(damaged(ihdr + 8 + 13 + 3, 0x80)));
  EXPECT_FALSE(Load(damaged(idat + 8 + 3, 0x10)));
  EXPECT_FALSE(Load(damaged(idat, 0x7F)));

  // Damage inside the compressed pixels, CRCs made right so that zlib sees it.
  int refused = 0;
  for (size_t at = idat + 8; at < idat + 8 + idatLength; ++at) {
    for (uint8_t mask : {0x01, 0x5A, 0xFF}) {
      Bytes copy = damaged(at, mask);
      testpng::FixCrcs(copy);
      auto pixmap = Load(copy);
      if (!pixmap) {
        ++refused;
        continue;
      }
      EXPECT_EQ(pixmap->Width(), 6);
      EXPECT_EQ(pixmap->Height(), 5);
      EXPECT_EQ(pixmap->Format(), PIXFMT_RGBA32);
    }
  }
  EXPECT_GT(refused, 0);
}

TEST_F(PngTest, StreamFailuresGiveNullAndOtherErrorsPassThrough) {
  const Bytes png = testpng::WritePng(Make(8, 8, PNG_COLOR_TYPE_RGB, 8));
  for (int failAt : {0, 5, 8, 20, static_cast<int>(png.size()) - 20}) {
    SCOPED_TRACE(failAt);
    // A Read that gives nothing before the end is no end of the data.
    EXPECT_FALSE(LoadPixmapPNG(New<TBrokenStream>(png, failAt, TBrokenStream::READS_NOTHING)));
    EXPECT_FALSE(LoadPixmapPNG(New<TBrokenStream>(png, failAt, TBrokenStream::STREAM_ERROR)));
    EXPECT_FALSE(LoadPixmap(New<TBrokenStream>(png, failAt, TBrokenStream::STREAM_ERROR)));
    EXPECT_THROW(LoadPixmap(New<TBrokenStream>(png, failAt, TBrokenStream::OTHER_ERROR)),
                 RuntimeError);
  }
  EXPECT_TRUE(LoadPixmap(
      New<TBrokenStream>(png, static_cast<int>(png.size()), TBrokenStream::OTHER_ERROR)));
}

TEST_F(PngTest, LoadPixmapFindsPngsInEmbeddedFilesFilesAndBanks) {
  static const Picture picture = Make(7, 5, PNG_COLOR_TYPE_RGB, 8);
  static const Bytes png = testpng::WritePng(picture);
  StartEmbeddedFiles();
  RegisterEmbeddedFile("tests/png/rgb.png", png.data(), static_cast<int>(png.size()));
  ExpectPicture(LoadPixmap("incbin::tests/png/rgb.png"), picture);
  EXPECT_FALSE(LoadPixmap("incbin::tests/png/missing.png"));

  TempDir dir;
  std::ofstream(dir / "rgb.png", std::ios::binary)
      .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  ExpectPicture(LoadPixmap((dir / "rgb.png").c_str()), picture);

  // From the middle of a stream, which stays open.
  auto bank = CreateBankStream(nullptr);
  bank->WriteString("junk");
  bank->WriteBytes(png.data(), static_cast<int>(png.size()));
  bank->Seek(4);
  ExpectPicture(LoadPixmap(bank), picture);
  EXPECT_EQ(bank->Seek(0), 0);
  EXPECT_EQ(bank->ReadByte(), 'j');
}

// What loading the saved file gives: RGB and RGBA in PNG order, alpha alone
// as white with that alpha.
Bytes LoadedFromSaved(int format, const uint8_t* p) {
  switch (format) {
    case PIXFMT_ALPHA8:
      return {255, 255, 255, p[0]};
    case PIXFMT_BGR24:
      return {p[2], p[1], p[0]};
    case PIXFMT_BGRA32:
      return {p[2], p[1], p[0], p[3]};
    default:
      return Bytes(p, p + BYTES_PER_PIXEL[format]);
  }
}

TEST_F(PngTest, SavedPixmapsOfEveryFormatLoadBack) {
  const int width = 7, height = 4;
  for (int format = PIXFMT_GRAY8; format <= PIXFMT_RGBA32; ++format) {
    SCOPED_TRACE(format);
    // Rows padded with bytes that must not reach the file.
    const int pitch = width * BYTES_PER_PIXEL[format] + 5;
    Bytes memory(static_cast<size_t>(pitch * height), 0xEE);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width * BYTES_PER_PIXEL[format]; ++x)
        memory[y * pitch + x] = y * 61 + x * 7;
    }
    auto pixmap = CreateStaticPixmap(memory.data(), width, height, pitch, format);
    for (int compression : {0, 9}) {
      auto file = CreateBankStream(nullptr);
      ASSERT_EQ(SavePixmapPNG(pixmap, file, compression), 1);
      file->Seek(0);
      auto loaded = LoadPixmapPNG(file);
      ASSERT_TRUE(loaded);
      const int expected = (format == PIXFMT_GRAY8)                             ? PIXFMT_GRAY8
                           : (format == PIXFMT_RGB24 || format == PIXFMT_BGR24) ? PIXFMT_RGB24
                                                                                : PIXFMT_RGBA32;
      ASSERT_EQ(loaded->Format(), expected);
      ASSERT_EQ(loaded->Width(), width);
      ASSERT_EQ(loaded->Height(), height);
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          ASSERT_EQ(PixelAt(*loaded, x, y), LoadedFromSaved(format, pixmap->PixelPtr(x, y)))
              << "at " << x << ", " << y;
        }
      }
    }
  }
}

TEST_F(PngTest, SavingReportsFailure) {
  auto pixmap = CreatePixmap(16, 16, PIXFMT_RGB24);
  std::memset(pixmap->Pixels(), 0x42, static_cast<size_t>(pixmap->Capacity()));
  TempDir dir;
  EXPECT_EQ(SavePixmapPNG(pixmap, (dir / "missing/out.png").c_str(), 6), 0);
  EXPECT_EQ(SavePixmapPNG(pixmap, "nosuchprotocol::out.png", 6), 0);
  // A stream that fills up part way, and one that cannot take anything.
  Bytes small(40);
  EXPECT_EQ(SavePixmapPNG(pixmap, CreateMemoryStream(small.data(), 40, false, true), 6), 0);
  EXPECT_EQ(SavePixmapPNG(pixmap, CreateMemoryStream(small.data(), 40, true, false), 6), 0);
  // PNG has no empty pictures.
  EXPECT_EQ(SavePixmapPNG(CreatePixmap(0, 3, PIXFMT_RGB24), (dir / "empty.png").c_str(), 6), 0);
  // Levels outside zlib's range are brought into it.
  EXPECT_EQ(SavePixmapPNG(pixmap, (dir / "ok.png").c_str(), 42), 1);
  EXPECT_TRUE(LoadPixmap((dir / "ok.png").c_str()));
}

// Writes the fuzz target's seed corpus when ZORP_PNG_SEED_DIR names a folder:
//   ZORP_PNG_SEED_DIR=tests/fuzz/corpus/pixmap_fuzz pixmap_tests --gtest_filter=*FuzzSeeds*
TEST(PngFuzzSeeds, WrittenWhenAsked) {
  const char* dir = std::getenv("ZORP_PNG_SEED_DIR");
  if (!dir) GTEST_SKIP() << "ZORP_PNG_SEED_DIR is not set";
  for (const Kind& kind : Kinds()) {
    const Bytes png = testpng::WritePng(kind.picture);
    std::ofstream(std::string(dir) + "/" + kind.name + ".png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  }
}

}  // namespace
