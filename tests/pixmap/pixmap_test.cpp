#include "pixmap/pixmap.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <vector>

#include "pixmap/pixmap_loader.h"
#include "pixmap/pixmap_transform.h"
#include "runtime/runtime_error.h"
#include "stream/bank_stream.h"
#include "stream/data_stream.h"
#include "stream/memory_stream.h"

namespace {

using Rgba = std::array<int, 4>;

// How a format stores an RGBA colour, written out by hand for the tests.
std::vector<uint8_t> Stored(int format, Rgba c) {
  switch (format) {
    case PIXFMT_GRAY8:
      return {static_cast<uint8_t>((c[0] + c[1] + c[2]) / 3)};
    case PIXFMT_ALPHA8:
      return {static_cast<uint8_t>(c[3])};
    case PIXFMT_BGR24:
      return {uint8_t(c[2]), uint8_t(c[1]), uint8_t(c[0])};
    case PIXFMT_RGB24:
      return {uint8_t(c[0]), uint8_t(c[1]), uint8_t(c[2])};
    case PIXFMT_BGRA32:
      return {uint8_t(c[2]), uint8_t(c[1]), uint8_t(c[0]), uint8_t(c[3])};
    default:
      return {uint8_t(c[0]), uint8_t(c[1]), uint8_t(c[2]), uint8_t(c[3])};
  }
}

// The RGBA colour a format's stored bytes stand for.
Rgba Meaning(int format, Rgba c) {
  switch (format) {
    case PIXFMT_GRAY8: {
      const int v = (c[0] + c[1] + c[2]) / 3;
      return {v, v, v, 255};
    }
    case PIXFMT_ALPHA8:
      return {255, 255, 255, c[3]};
    case PIXFMT_BGR24:
    case PIXFMT_RGB24:
      return {c[0], c[1], c[2], 255};
    default:
      return c;
  }
}

std::vector<uint8_t> Bytes(const Ref<TPixmap>& p, int x, int y) {
  const uint8_t* at = p->PixelPtr(x, y);
  return std::vector<uint8_t>(at, at + BYTES_PER_PIXEL[p->Format()]);
}

const Rgba COLORS[] = {{10, 20, 31, 40}, {255, 0, 128, 255}, {0, 0, 0, 0}, {90, 90, 90, 200}};

// A loader that answers with a 1 x 1 pixmap of its own mark, when it sees it.
struct MarkLoader : TPixmapLoader {
  explicit MarkLoader(int mark) : mark(mark) {}
  Ref<TPixmap> LoadFromStream(const Ref<TStream>& stream) override {
    ++tries;
    positions.push_back(stream->Position());
    const int byte = stream->ReadByte();
    if (byte == 0xEE) throw TStreamReadError();
    if (byte != mark) return nullptr;
    auto pixmap = CreatePixmap(1, 1, PIXFMT_GRAY8);
    pixmap->PixelPtr(0, 0)[0] = static_cast<uint8_t>(mark);
    return pixmap;
  }
  int mark, tries = 0;
  std::vector<int> positions;
};

}  // namespace

TEST(Pixmap, FormatsHaveTheirSizesAndRowsTheirAlignment) {
  EXPECT_EQ(CreatePixmap(3, 2, PIXFMT_RGB24, 4)->Pitch(), 12);
  EXPECT_EQ(CreatePixmap(3, 2, PIXFMT_GRAY8, 4)->Pitch(), 4);
  EXPECT_EQ(CreatePixmap(3, 2, PIXFMT_GRAY8, 1)->Pitch(), 3);
  auto p = CreatePixmap(5, 7, PIXFMT_BGRA32, 16);
  EXPECT_EQ(p->Pitch(), 32);
  EXPECT_EQ(p->Capacity(), 32 * 7);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(p->Pixels()) % 16, 0u);
  EXPECT_EQ(p->PixelPtr(2, 3), p->Pixels() + 3 * 32 + 2 * 4);
  EXPECT_EQ(ALPHA_BITS[PIXFMT_ALPHA8], 8);
  EXPECT_EQ(ALPHA_BITS[PIXFMT_BGR24], 0);
  EXPECT_EQ(BITS_PER_PIXEL[PIXFMT_RGB24], 24);

  EXPECT_THROW(CreatePixmap(4, 4, 0), RuntimeError);
  EXPECT_THROW(CreatePixmap(4, 4, 7), RuntimeError);
  EXPECT_THROW(CreatePixmap(-1, 4, PIXFMT_GRAY8), RuntimeError);
  EXPECT_THROW(CreatePixmap(65536, 65536, PIXFMT_RGBA32), RuntimeError);
}

TEST(Pixmap, ConvertsEveryPairOfFormats) {
  for (int from = 1; from < PIXFMT_COUNT; ++from) {
    for (int to = 1; to < PIXFMT_COUNT; ++to) {
      auto source = CreatePixmap(4, 1, from);
      for (int x = 0; x < 4; ++x) {
        const std::vector<uint8_t> bytes = Stored(from, COLORS[x]);
        std::copy(bytes.begin(), bytes.end(), source->PixelPtr(x, 0));
      }
      auto converted = ConvertPixmap(source, to);
      ASSERT_EQ(converted->Format(), to);
      for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(Bytes(converted, x, 0), Stored(to, Meaning(from, COLORS[x])))
            << "from " << from << " to " << to << " pixel " << x;
      }
    }
  }
  // The listed cases, byte for byte.
  auto gray = CreatePixmap(1, 1, PIXFMT_GRAY8);
  gray->PixelPtr(0, 0)[0] = 90;
  EXPECT_EQ(Bytes(ConvertPixmap(gray, PIXFMT_BGRA32), 0, 0),
            (std::vector<uint8_t>{90, 90, 90, 255}));
  auto rgb = CreatePixmap(1, 1, PIXFMT_RGB24);
  rgb->WritePixel(0, 0, 0xFF0A141F);
  EXPECT_EQ(Bytes(ConvertPixmap(rgb, PIXFMT_GRAY8), 0, 0), (std::vector<uint8_t>{20}));

  // Long rows between two non-canonical formats go through the buffer in pieces.
  auto wide = CreatePixmap(3000, 1, PIXFMT_BGR24);
  for (int x = 0; x < 3000; ++x) wide->WritePixel(x, 0, 0xFF000000 | x * 2654435761u >> 8);
  auto back = ConvertPixmap(ConvertPixmap(wide, PIXFMT_RGB24), PIXFMT_BGR24);
  for (int x = 0; x < 3000; ++x) ASSERT_EQ(back->ReadPixel(x, 0), wide->ReadPixel(x, 0)) << x;
}

TEST(Pixmap, ReadsAndWritesSinglePixelsAsArgb) {
  const int argb = static_cast<int>(0x80FF4010);
  const std::pair<int, int> expected[] = {
      {PIXFMT_GRAY8, static_cast<int>(0xFF6F6F6F)},  // (255 + 64 + 16) / 3 = 111
      {PIXFMT_ALPHA8, static_cast<int>(0x80FFFFFF)},
      {PIXFMT_BGR24, static_cast<int>(0xFFFF4010)},
      {PIXFMT_RGB24, static_cast<int>(0xFFFF4010)},
      {PIXFMT_BGRA32, argb},
      {PIXFMT_RGBA32, argb}};
  for (auto [format, read] : expected) {
    auto p = CreatePixmap(2, 2, format);
    p->WritePixel(1, 1, argb);
    EXPECT_EQ(p->ReadPixel(1, 1), read) << format;
  }
  auto alpha = CreatePixmap(1, 1, PIXFMT_ALPHA8);
  alpha->PixelPtr(0, 0)[0] = 128;
  EXPECT_EQ(static_cast<unsigned>(alpha->ReadPixel(0, 0)), 0x80FFFFFFu);
  // Outside the pixmap nothing is read or written.
  EXPECT_EQ(alpha->ReadPixel(1, 0), 0);
  alpha->WritePixel(-1, 0, -1);
}

TEST(Pixmap, WindowsShareMemoryAndPastesConvertAndClip) {
  auto p = CreatePixmap(6, 4, PIXFMT_RGBA32);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) p->WritePixel(x, y, 0xFF000000 | (y * 16 + x));
  Ref<TPixmap> window = PixmapWindow(p, 2, 1, 3, 2);
  EXPECT_EQ(window->Width(), 3);
  EXPECT_EQ(window->Capacity(), -1);
  EXPECT_EQ(window->ReadPixel(0, 0), p->ReadPixel(2, 1));
  window->WritePixel(2, 1, static_cast<int>(0xFF123456));
  EXPECT_EQ(static_cast<unsigned>(p->ReadPixel(4, 2)), 0xFF123456u);
  // The window keeps the memory it shows alive.
  p = nullptr;
  EXPECT_EQ(static_cast<unsigned>(window->ReadPixel(2, 1)), 0xFF123456u);
  EXPECT_EQ(PixmapWindow(window, 1, 1, 50, 50)->Width(), 2);  // clipped

  auto target = CreatePixmap(4, 4, PIXFMT_BGR24);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) target->WritePixel(x, y, 0);
  auto source = CreatePixmap(3, 3, PIXFMT_GRAY8);
  for (int i = 0; i < 9; ++i) source->PixelPtr(i % 3, i / 3)[0] = static_cast<uint8_t>(100 + i);
  target->Paste(*source, 2, -1);  // only the part inside lands
  EXPECT_EQ(static_cast<unsigned>(target->ReadPixel(2, 0)), 0xFF676767u);  // source (0, 1): 103
  EXPECT_EQ(static_cast<unsigned>(target->ReadPixel(3, 1)), 0xFF6B6B6Bu);  // source (1, 2): 107
  EXPECT_EQ(static_cast<unsigned>(target->ReadPixel(1, 0)), 0xFF000000u);
  EXPECT_EQ(static_cast<unsigned>(target->ReadPixel(2, 2)), 0xFF000000u);

  auto copy = CopyPixmap(window);
  EXPECT_EQ(copy->Pitch(), 12);
  EXPECT_EQ(copy->Capacity(), 24);
  EXPECT_EQ(copy->ReadPixel(2, 1), window->ReadPixel(2, 1));
}

TEST(Pixmap, MasksTheKeyColourWithTheNeighboursAverage) {
  auto one = CreatePixmap(1, 1, PIXFMT_RGB24);
  one->WritePixel(0, 0, static_cast<int>(0xFFFF00FF));
  EXPECT_EQ(ReadPixel(MaskPixmap(one, 255, 0, 255), 0, 0), 0);

  auto p = CreatePixmap(3, 2, PIXFMT_RGBA32);
  p->WritePixel(0, 0, 0x11FF00FF);  // key, whatever its alpha
  p->WritePixel(1, 0, 0x11102030);
  p->WritePixel(2, 0, 0x11FF00FF);
  p->WritePixel(0, 1, 0x11000000);
  p->WritePixel(1, 1, 0x11FF00FF);
  p->WritePixel(2, 1, 0x11204060);
  auto masked = MaskPixmap(p, 255, 0, 255);
  EXPECT_EQ(masked->Format(), PIXFMT_RGBA32);
  EXPECT_EQ(static_cast<unsigned>(masked->ReadPixel(1, 0)), 0xFF102030u);  // alpha 255
  EXPECT_EQ(static_cast<unsigned>(masked->ReadPixel(0, 0)), 0x00081018u);  // (0x10+0)/2, ...
  EXPECT_EQ(static_cast<unsigned>(masked->ReadPixel(1, 1)), 0x00102030u);  // three neighbours
}

TEST(Pixmap, MirrorsAndResizes) {
  auto p = CreatePixmap(3, 2, PIXFMT_RGB24);
  for (int i = 0; i < 6; ++i) p->WritePixel(i % 3, i / 3, 0xFF000000 | i);
  auto x = MirrorPixmapX(p), y = MirrorPixmapY(p);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(x->ReadPixel(2 - i % 3, i / 3), p->ReadPixel(i % 3, i / 3));
    EXPECT_EQ(y->ReadPixel(i % 3, 1 - i / 3), p->ReadPixel(i % 3, i / 3));
  }

  // The same size is an exact copy.
  auto noisy = CreatePixmap(17, 9, PIXFMT_BGRA32);
  for (int i = 0; i < 17 * 9; ++i) noisy->WritePixel(i % 17, i / 17, i * 2654435761u);
  auto same = ResizePixmap(noisy, 17, 9);
  EXPECT_EQ(same->Format(), PIXFMT_BGRA32);
  for (int i = 0; i < 17 * 9; ++i)
    ASSERT_EQ(same->ReadPixel(i % 17, i / 17), noisy->ReadPixel(i % 17, i / 17));

  // Doubling samples between the centres: 0 and 100 become 0, 25, 75, 100.
  auto ramp = CreatePixmap(2, 1, PIXFMT_GRAY8);
  ramp->PixelPtr(0, 0)[0] = 0;
  ramp->PixelPtr(1, 0)[0] = 100;
  auto wide = ResizePixmap(ramp, 4, 1);
  EXPECT_EQ(Bytes(wide, 1, 0)[0], 25);
  EXPECT_EQ(Bytes(wide, 2, 0)[0], 75);
  EXPECT_EQ(Bytes(wide, 3, 0)[0], 100);
  auto half = ResizePixmap(ramp, 1, 1);  // the centre lies between the two
  EXPECT_EQ(Bytes(half, 0, 0)[0], 50);
}

TEST(Pixmap, LoadersAreTriedNewestFirstFromTheSamePlace) {
  static MarkLoader older(0x11), newer(0x22), failing(0x33);
  std::vector<uint8_t> bytes = {0xAA, 0x11};
  Ref<TStream> stream = CreateMemoryStream(bytes.data(), 2, true, false);
  stream->ReadByte();  // loading starts where the stream stands
  Ref<TPixmap> pixmap = LoadPixmap(stream);
  ASSERT_TRUE(pixmap);
  EXPECT_EQ(pixmap->PixelPtr(0, 0)[0], 0x11);
  EXPECT_EQ(failing.positions, (std::vector<int>{1}));
  EXPECT_EQ(newer.positions, (std::vector<int>{1}));
  EXPECT_EQ(older.positions, (std::vector<int>{1}));

  // A stream error in one loader counts as nothing found; the next is tried.
  bytes = {0xEE};
  EXPECT_FALSE(LoadPixmap(CreateMemoryStream(bytes.data(), 1, true, false)));
  EXPECT_EQ(older.tries, 2);

  // A stream that cannot seek is refused before any loader sees it.
  struct Pipe : TStream {
    int Read(void*, int) override { return 0; }
  };
  const int before = older.tries;
  EXPECT_FALSE(LoadPixmap(Ref<TStream>(New<Pipe>())));
  EXPECT_EQ(older.tries, before);
  EXPECT_FALSE(LoadPixmap("no/such/file.png"));
}

TEST(Pixmap, TravelsThroughDataStreams) {
  auto p = CreatePixmap(3, 2, PIXFMT_RGB24);
  for (int i = 0; i < 6; ++i) p->WritePixel(i % 3, i / 3, 0xFF000000 | i * 0x010203);
  Ref<TBankStream> bank = CreateBankStream(nullptr);
  TDataStream::Create(bank)->WriteObject(p);
  // 255, name, width, height, format, then the rows without their padding.
  EXPECT_EQ(bank->Bank()->Size(), 2 + 18 + 12 + 3 * 3 * 2);
  bank->Seek(0);
  auto read = Cast<TPixmap>(TDataStream::Create(bank)->ReadObject());
  ASSERT_TRUE(read);
  EXPECT_EQ(read->Pitch(), 12);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(read->ReadPixel(i % 3, i / 3), p->ReadPixel(i % 3, i / 3));

  // A stored size larger than the data is refused before it is allocated.
  auto hostile = CreateBankStream(nullptr);
  hostile->WriteByte(255);
  hostile->WriteByte(18);
  hostile->WriteString(TPixmap::TYPE_NAME);
  for (int v : {16384, 16384, int{PIXFMT_RGBA32}}) hostile->WriteInt(v);
  hostile->Seek(0);
  EXPECT_THROW(TDataStream::Create(hostile)->ReadObject(), TStreamReadError);
  // So are one whose byte count overflows, and one of a million rows of no
  // bytes, which would cost every operation a million steps.
  for (auto [width, height] : {std::pair{INT_MAX, INT_MAX}, std::pair{0, 1 << 20}}) {
    hostile->Seek(20);
    for (int v : {width, height, int{PIXFMT_RGBA32}}) hostile->WriteInt(v);
    hostile->Seek(0);
    EXPECT_THROW(TDataStream::Create(hostile)->ReadObject(), TStreamReadError) << height;
  }
}
