#include "stream/data_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "runtime/list.h"
#include "stream/bank.h"
#include "stream/bank_stream.h"
#include "stream/load_save.h"
#include "stream/memory_stream.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

const std::string LIST = TList::TYPE_NAME;
const std::string BANK = TBank::TYPE_NAME;

// The bytes a stream should hold, record by record.
struct Expect {
  Bytes bytes;
  Expect& Byte(int b) {
    bytes.push_back(static_cast<uint8_t>(b));
    return *this;
  }
  Expect& Int(int n) {
    for (int shift = 0; shift < 32; shift += 8)
      Byte(static_cast<int>(static_cast<unsigned>(n) >> shift));
    return *this;
  }
  Expect& Text(const std::string& s) {
    bytes.insert(bytes.end(), s.begin(), s.end());
    return *this;
  }
  Expect& NewType(const std::string& name) {
    return Byte(255).Byte(static_cast<int>(name.size())).Text(name);
  }
};

Ref<TBank> MakeBank(const Bytes& bytes) {
  auto bank = TBank::Create(static_cast<int>(bytes.size()));
  std::copy(bytes.begin(), bytes.end(), bank->Data());
  return bank;
}

Bytes BankBytes(const Ref<Object>& object) {
  auto bank = Cast<TBank>(object);
  return Bytes(bank->Data(), bank->Data() + bank->Size());
}

Ref<TList> MakeList(std::initializer_list<Ref<Object>> elements) {
  auto list = TList::Create();
  for (const auto& element : elements) list->AddLast(element);
  return list;
}

std::vector<Ref<Object>> Elements(const Ref<Object>& list) {
  std::vector<Ref<Object>> elements;
  for (const auto& element : *Cast<TList>(list)) elements.push_back(element);
  return elements;
}

Bytes Written(std::initializer_list<Ref<Object>> objects) {
  auto bank = TBank::Create(0);
  auto stream = TDataStream::Create(TBankStream::Create(bank));
  for (const auto& object : objects) stream->WriteObject(object);
  return BankBytes(bank);
}

Ref<TDataStream> Reader(const Bytes& bytes) {
  return TDataStream::Create(TBankStream::Create(MakeBank(bytes)));
}

// Reference cycles outlive their last outside reference; clearing every list
// read lets them go.
void BreakCycles(const Ref<TDataStream>& stream) {
  for (const auto& object : stream->ObjectsRead()) {
    if (auto list = Cast<TList>(object)) list->Clear();
  }
}

// The message of the run-time error that action raises; empty if none.
std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const RuntimeError& error) {
    return error.what();
  }
  return "";
}

// A stream that cannot seek and hands out a few bytes a call, like a pipe.
class TPipeStream : public TStream {
 public:
  explicit TPipeStream(Bytes bytes) : bytes_(std::move(bytes)) {}
  bool Eof() override { return at_ == bytes_.size(); }
  int Read(void* buf, int count) override {
    const size_t n = std::min({static_cast<size_t>(count), size_t{1000}, bytes_.size() - at_});
    std::memcpy(buf, bytes_.data() + at_, n);
    at_ += n;
    return static_cast<int>(n);
  }

 private:
  Bytes bytes_;
  size_t at_ = 0;
};

// An object of any data type, or of none.
class TThing : public TSerializable {
 public:
  explicit TThing(TDataType* type) : type_(type) {}
  TDataType* DataType() const override { return type_; }

 private:
  TDataType* type_;
};

class TThingType : public TDataType {
 public:
  String name;
  String TypeName() const override { return name; }
  Ref<Object> New() const override { return ::New<TThing>(self_); }
  void ReadContents(const Ref<Object>&, TStream&) const override {}
  void WriteContents(const Ref<Object>&, TStream&) const override {}

 private:
  TDataType* self_ = this;
};

// Data types stay registered for the whole run, so they are made once.
std::array<TThingType, 254>& ThingTypes() {
  static std::array<TThingType, 254> types;
  for (size_t i = 0; i < types.size(); ++i)
    types[i].name = String::FromBytes("test.Thing" + std::to_string(i));
  return types;
}

Bytes NestedListBytes(int depth) {
  Expect expect;
  expect.NewType(LIST).Int(1);
  for (int i = 1; i < depth; ++i) expect.Byte(1).Int(1);
  return expect.Byte(0).bytes;
}

TEST(DataStream, WritesBankRecordsAndReadsThemBack) {
  const Bytes oneBank = Expect().NewType(BANK).Int(3).Byte(1).Byte(2).Byte(3).bytes;
  EXPECT_EQ(Written({MakeBank({1, 2, 3})}), oneBank);
  const auto bank = Cast<TBank>(Reader(oneBank)->ReadObject());
  ASSERT_TRUE(bank);
  EXPECT_EQ(BankBytes(bank), Bytes({1, 2, 3}));
  EXPECT_EQ(bank->Capacity(), 3);

  // The second bank refers to its type by index.
  const Bytes twoBanks = Expect().NewType(BANK).Int(1).Byte(7).Byte(1).Int(2).Byte(8).Byte(9).bytes;
  EXPECT_EQ(Written({MakeBank({7}), MakeBank({8, 9})}), twoBanks);
  auto reader = Reader(twoBanks);
  EXPECT_EQ(BankBytes(reader->ReadObject()), Bytes({7}));
  EXPECT_EQ(BankBytes(reader->ReadObject()), Bytes({8, 9}));
  // Past the last record every read is the null object.
  EXPECT_FALSE(reader->ReadObject());
  EXPECT_FALSE(reader->ReadObject());
  EXPECT_FALSE(Reader({})->ReadObject());
}

TEST(DataStream, WritesObjectsWithoutDataTypeAsNull) {
  EXPECT_EQ(Written({nullptr, New<Object>(), New<TThing>(nullptr)}), Bytes({0, 0, 0}));
}

TEST(DataStream, WritesASharedObjectOnceAndReadsItBackShared) {
  const auto bank = MakeBank({5});
  const Bytes bytes =
      Expect().NewType(LIST).Int(2).NewType(BANK).Int(1).Byte(5).Byte(254).Int(2).bytes;
  EXPECT_EQ(Written({MakeList({bank, bank})}), bytes);

  const auto elements = Elements(Reader(bytes)->ReadObject());
  ASSERT_EQ(elements.size(), 2u);
  EXPECT_EQ(BankBytes(elements[0]), Bytes({5}));
  EXPECT_EQ(elements[0], elements[1]);
}

TEST(DataStream, RoundTripsASelfContainingList) {
  const auto list = MakeList({nullptr});
  list->AddFirst(list);
  const Bytes bytes = Expect().NewType(LIST).Int(2).Byte(254).Int(1).Byte(0).bytes;
  EXPECT_EQ(Written({list}), bytes);
  list->Clear();

  auto reader = Reader(bytes);
  const auto read = reader->ReadObject();
  const auto elements = Elements(read);
  ASSERT_EQ(elements.size(), 2u);
  EXPECT_EQ(elements[0], read);
  EXPECT_FALSE(elements[1]);
  BreakCycles(reader);
}

TEST(DataStream, ReadsThreeHundredObjects) {
  auto list = TList::Create();
  for (int i = 0; i < 300; ++i) list->AddLast(MakeBank({static_cast<uint8_t>(i)}));
  auto reader = Reader(Written({list}));
  const auto elements = Elements(reader->ReadObject());
  ASSERT_EQ(elements.size(), 300u);
  for (size_t i = 0; i < elements.size(); ++i) {
    EXPECT_EQ(BankBytes(elements[i]), Bytes({static_cast<uint8_t>(i)}));
  }
  EXPECT_EQ(reader->ObjectsRead().size(), 512u);
  EXPECT_EQ(reader->ObjectsRead()[301], elements[299]);
}

TEST(DataStream, WritesThenReadsBackOnOneStream) {
  const auto bank = MakeBank({4});
  auto stream = TDataStream::Create(TBankStream::Create(TBank::Create(0)));
  stream->WriteObject(MakeList({bank, bank}));
  stream->Seek(0);
  const auto elements = Elements(stream->ReadObject());
  ASSERT_EQ(elements.size(), 2u);
  EXPECT_EQ(elements[0], elements[1]);
  EXPECT_NE(elements[0], Ref<Object>(bank));
}

TEST(DataStream, OpensDataUrls) {
  StartDataStreams();
  EXPECT_EQ(ErrorOf([] { OpenStream("data::objects.bin", true, true); }),
            "DataStreams can not be both readable and writeable");

  TempDir dir;
  const String path = String::FromBytes(dir / "objects.bin");
  SaveObject(MakeList({MakeBank({1, 2}), nullptr}), "data::" + path);
  std::ifstream file(dir / "objects.bin", std::ios::binary);
  const Bytes saved{std::istreambuf_iterator<char>(file), {}};
  EXPECT_EQ(saved,
            Expect().NewType(LIST).Int(2).NewType(BANK).Int(2).Byte(1).Byte(2).Byte(0).bytes);

  const auto elements = Elements(LoadObject("data::" + path));
  ASSERT_EQ(elements.size(), 2u);
  EXPECT_EQ(BankBytes(elements[0]), Bytes({1, 2}));
  EXPECT_FALSE(elements[1]);
  EXPECT_FALSE(LoadObject("data::" + path + ".missing"));
}

TEST(DataStream, RefusesUnknownTypesAndIndices) {
  auto reader = Reader(Expect().NewType(LIST).Int(2).NewType("qel.nope.TNope").bytes);
  EXPECT_EQ(ErrorOf([&] { reader->ReadObject(); }), "Unrecognized Data Type: qel.nope.TNope");
  // What was read before the error stays in the table.
  EXPECT_TRUE(Cast<TList>(reader->ObjectsRead()[1]));

  const auto errorReading = [](const Bytes& bytes) {
    auto stream = Reader(bytes);
    return ErrorOf([&] {
      while (!stream->Eof()) stream->ReadObject();
    });
  };
  const Bytes oneBank = Expect().NewType(BANK).Int(0).bytes;
  EXPECT_EQ(errorReading({1}), "Unannounced data type in data stream: 1");
  EXPECT_EQ(errorReading(Expect{oneBank}.Byte(2).bytes), "Unannounced data type in data stream: 2");
  EXPECT_EQ(errorReading(Expect{oneBank}.Byte(1).Int(0).bytes), "");
  for (int index : {0, -1, 2, INT_MAX}) {
    EXPECT_EQ(errorReading(Expect{oneBank}.Byte(254).Int(index).bytes),
              "Invalid object index in data stream: " + std::to_string(index));
  }
}

TEST(DataStream, BoundsNesting) {
  const int limit = TDataStream::MAX_NESTING;
  std::vector<Ref<TList>> lists;
  for (int i = 0; i < 5 * limit; ++i) lists.push_back(TList::Create());
  for (int i = 0; i + 1 < limit; ++i) lists[i]->AddLast(lists[i + 1]);
  lists[limit - 1]->AddLast(nullptr);
  EXPECT_EQ(Written({lists[0]}), NestedListBytes(limit));

  auto reader = Reader(NestedListBytes(limit));
  EXPECT_TRUE(reader->ReadObject());
  BreakCycles(reader);

  lists[limit - 1]->Clear();
  for (int i = limit - 1; i + 1 < 5 * limit; ++i) lists[i]->AddLast(lists[i + 1]);
  const std::string tooDeep = "Data stream objects nested too deeply";
  EXPECT_EQ(ErrorOf([&] { Written({lists[0]}); }), tooDeep);
  reader = Reader(NestedListBytes(5 * limit));
  EXPECT_EQ(ErrorOf([&] { reader->ReadObject(); }), tooDeep);
  BreakCycles(reader);
  for (const auto& list : lists) list->Clear();
}

TEST(DataStream, ReadsHostileCountsAndSizesWithoutTrustingThem) {
  const auto read = [](const Bytes& bytes) { return Reader(bytes)->ReadObject(); };
  // Negative counts and sizes read as empty; the next record follows.
  auto reader = Reader(Expect().NewType(LIST).Int(-5).NewType(BANK).Int(-1).Byte(2).Int(0).bytes);
  EXPECT_EQ(Cast<TList>(reader->ReadObject())->Count(), 0);
  EXPECT_EQ(BankBytes(reader->ReadObject()), Bytes());
  EXPECT_EQ(BankBytes(reader->ReadObject()), Bytes());

  EXPECT_THROW(read(Expect().NewType(LIST).Int(INT_MAX).Byte(0).bytes), TStreamReadError);
  EXPECT_THROW(read(Expect().NewType(BANK).Int(INT_MAX).Byte(1).bytes), TStreamReadError);
  EXPECT_THROW(read(Expect().NewType(BANK).Int(4).Byte(1).Byte(2).bytes), TStreamReadError);

  // A stream that cannot tell its size delivers a bank as the bytes arrive.
  const auto readPipe = [](const Bytes& bytes) {
    return TDataStream::Create(New<TPipeStream>(bytes))->ReadObject();
  };
  EXPECT_THROW(readPipe(Expect().NewType(BANK).Int(INT_MAX).Byte(1).bytes), TStreamReadError);
  Bytes big(200000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
  Expect bigBank = Expect().NewType(BANK).Int(static_cast<int>(big.size()));
  bigBank.bytes.insert(bigBank.bytes.end(), big.begin(), big.end());
  const auto bank = Cast<TBank>(readPipe(bigBank.bytes));
  EXPECT_EQ(BankBytes(bank), big);
  EXPECT_EQ(bank->Capacity(), static_cast<int>(big.size()));
}

TEST(DataStream, RefusesTypesThatCannotBeReadBack) {
  static TThingType longName;
  longName.name = String::FromBytes(std::string(256, 'x'));
  EXPECT_EQ(ErrorOf([] { Written({New<TThing>(&longName)}); }),
            "Data type name cannot be written: " + std::string(256, 'x'));
  EXPECT_EQ(Written({}), Bytes());

  auto& types = ThingTypes();
  auto bank = TBank::Create(0);
  auto writer = TDataStream::Create(TBankStream::Create(bank));
  for (int i = 0; i < 253; ++i) writer->WriteObject(New<TThing>(&types[i]));
  writer->WriteObject(New<TThing>(&types[252]));
  const Bytes written = BankBytes(bank);
  EXPECT_EQ(written.back(), 253);
  EXPECT_EQ(ErrorOf([&] { writer->WriteObject(New<TThing>(&types[253])); }),
            "Too many data types in data stream");
  EXPECT_EQ(BankBytes(bank), written);

  auto reader = Reader(Expect{written}.NewType("test.Thing253").bytes);
  for (int i = 0; i < 253; ++i)
    EXPECT_EQ(Cast<TThing>(reader->ReadObject())->DataType(), &types[i]);
  EXPECT_EQ(Cast<TThing>(reader->ReadObject())->DataType(), &types[252]);
  EXPECT_EQ(ErrorOf([&] { reader->ReadObject(); }), "Too many data types in data stream");
}

}  // namespace
