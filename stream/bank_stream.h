#pragma once
// A stream over a bank that grows the bank when it writes past the end.
// A bank given to OpenStream as url opens this way, for reading and writing.

#include "stream/bank.h"
#include "stream/stream.h"

class TBankStream : public TStream {
 public:
  static Ref<TBankStream> Create(Ref<TBank> bank);

  int Position() override { return position_; }
  // The bank's size at the time of the call.
  int Size() override { return bank_->Size(); }
  // Clamps pos to 0..Size.
  int Seek(int pos) override;
  int Read(void* buf, int count) override;
  // Refused only when the bank was shrunk below the position.
  int Write(const void* buf, int count) override;

  const Ref<TBank>& Bank() const { return bank_; }

 private:
  int position_ = 0;
  Ref<TBank> bank_;
};

// Registers the factory that opens banks given as urls.
void StartBankStreams();

// A stream over bank; over a new empty bank when bank is null.
Ref<TBankStream> CreateBankStream(Ref<TBank> bank);
