#include "stream/bank_stream.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "runtime/program.h"
#include "stream/stream_factory.h"

namespace {

class TBankStreamFactory : public TStreamFactory {
 public:
  Ref<TStream> CreateStream(const Url& url, const String&, const String&, bool, bool) override {
    auto bank = Cast<TBank>(url.AsObject());
    return bank ? CreateBankStream(bank) : nullptr;
  }
};

}  // namespace

void StartBankStreams() {
  static bool started = false;
  if (!FirstStart(started)) return;
  static TBankStreamFactory factory;
}

Ref<TBankStream> TBankStream::Create(Ref<TBank> bank) {
  auto stream = New<TBankStream>();
  stream->bank_ = std::move(bank);
  return stream;
}

int TBankStream::Seek(int pos) { return position_ = std::clamp(pos, 0, bank_->Size()); }

int TBankStream::Read(void* buf, int count) {
  const int size = bank_->Size();
  if (count < 1 || position_ >= size) return 0;
  if (count == 1) {
    *static_cast<uint8_t*>(buf) = bank_->Data()[position_++];
    return 1;
  }
  count = std::min(count, size - position_);
  std::memcpy(buf, bank_->Data() + position_, static_cast<size_t>(count));
  position_ += count;
  return count;
}

int TBankStream::Write(const void* buf, int count) {
  if (count < 1 || position_ > bank_->Size()) return 0;
  count = std::min(count, INT_MAX - position_);
  if (count > bank_->Size() - position_) bank_->Resize(position_ + count);
  std::memcpy(bank_->Data() + position_, buf, static_cast<size_t>(count));
  position_ += count;
  return count;
}

Ref<TBankStream> CreateBankStream(Ref<TBank> bank) {
  return TBankStream::Create(bank ? std::move(bank) : TBank::Create(0));
}
