#pragma once
// Opening streams by url.
//
// A url is a plain path (a file), a text "protocol::path" resolved by the
// registered stream factories, an existing stream, or another object that
// some factory accepts (a bank).

#include "runtime/object.h"
#include "runtime/string.h"
#include "stream/stream.h"

class Url {
 public:
  Url(const char* path) : text_(path), isText_(true) {}
  Url(const char16_t* path) : text_(path), isText_(true) {}
  Url(String path) : text_(std::move(path)), isText_(true) {}
  template <class T>
  Url(Ref<T> object) : object_(std::move(object)) {}

  bool IsText() const { return isText_; }
  // The text of the url; empty when the url is an object.
  const String& Text() const { return text_; }
  // The object of the url; null when the url is a text.
  const Ref<Object>& AsObject() const { return object_; }

 private:
  String text_;
  Ref<Object> object_;
  bool isText_ = false;
};

// Opens the streams of some urls. A new factory goes to the head of the one
// process-wide list, so the newest is asked first. Factories live as long as
// the process.
class TStreamFactory {
 public:
  TStreamFactory();
  TStreamFactory(const TStreamFactory&) = delete;
  TStreamFactory& operator=(const TStreamFactory&) = delete;
  virtual ~TStreamFactory() = default;

  // The stream for url, or the null object when this factory does not take
  // it. protocol arrives lower-cased and path as written.
  virtual Ref<TStream> CreateStream(const Url& url, const String& protocol, const String& path,
                                    bool readable, bool writeable) = 0;

  TStreamFactory* Next() const { return next_; }

 private:
  TStreamFactory* next_;
};

// The stream for url, or the null object. A stream given as url comes back
// borrowed, so closing the result leaves it open.
Ref<TStream> OpenStream(const Url& url, bool readable, bool writeable);
Ref<TStream> OpenReadStream(const Url& url);
Ref<TStream> OpenWriteStream(const Url& url);
