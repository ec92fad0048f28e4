#pragma once
// Whole-stream helpers: a url's bytes, text or object in one call, and copies
// between streams. Each closes the stream that it opens.

#include "runtime/byte_array.h"
#include "stream/stream_factory.h"

// The whole stream of url. A url that does not open raises the null-object error.
ByteArray LoadByteArray(const Url& url);
void SaveByteArray(const ByteArray& bytes, const Url& url);
// The same as text, one byte a character.
String LoadString(const Url& url);
void SaveString(const String& s, const Url& url);
// One object of a data stream, or the null object when url does not open.
Ref<Object> LoadObject(const Url& url);
void SaveObject(const Ref<Object>& object, const Url& url);

// Copies until the source ends (or gives nothing more).
void CopyStream(const Ref<TStream>& from, const Ref<TStream>& to, int bufferSize);
// Copies exactly count bytes.
void CopyBytes(const Ref<TStream>& from, const Ref<TStream>& to, int count, int bufferSize);
