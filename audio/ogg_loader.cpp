#include "audio/ogg_loader.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>

#include "runtime/program.h"

// vorbisfile calls back into the stream from its C frames, so no exception
// may leave a callback: the callback reports a failure to vorbisfile and
// keeps the exception, which the loader rethrows once vorbisfile is cleaned
// up (a stream error then reaches the loader chain as a refusal).

namespace {

constexpr int64_t MAX_DECODED_BYTES = int64_t{512} << 20;
constexpr int BYTES_PER_VALUE = 2;
constexpr int READ_CHUNK = 65536;

struct OggSource {
  TStream* stream;
  std::exception_ptr failure;
};

template <class Action>
auto Guarded(void* datasource, decltype(std::declval<Action>()()) onFailure,
             Action&& action) noexcept {
  auto& source = *static_cast<OggSource*>(datasource);
  if (source.failure) return onFailure;
  try {
    return action();
  } catch (...) {
    source.failure = std::current_exception();
    return onFailure;
  }
}

size_t ReadCallback(void* ptr, size_t size, size_t nmemb, void* datasource) {
  // vorbisfile tells a read error from the end of the data by errno.
  errno = 0;
  if (size == 0) return 0;
  const size_t result = Guarded(datasource, size_t{0}, [&] {
    auto* stream = static_cast<OggSource*>(datasource)->stream;
    const size_t wanted = std::min<size_t>(nmemb, INT_MAX / size) * size;
    const int got = stream->Read(ptr, static_cast<int>(wanted));
    return got > 0 ? static_cast<size_t>(got) / size : size_t{0};
  });
  if (static_cast<OggSource*>(datasource)->failure) errno = EIO;
  return result;
}

int SeekCallback(void* datasource, ogg_int64_t offset, int whence) {
  return Guarded(datasource, -1, [&] {
    TStream& stream = *static_cast<OggSource*>(datasource)->stream;
    int64_t base = 0;
    switch (whence) {
      case SEEK_SET:
        break;
      case SEEK_CUR:
        base = stream.Position();
        break;
      case SEEK_END:
        base = stream.Size();
        break;
      default:
        return -1;
    }
    // The whole 64-bit offset counts: a position outside the stream fails
    // rather than wrapping to some other place.
    const int64_t target = base + offset;
    if (target < 0 || target > INT_MAX) return -1;
    return stream.Seek(static_cast<int>(target)) == target ? 0 : -1;
  });
}

// The loader chain closes the stream.
int CloseCallback(void*) { return 0; }

long TellCallback(void* datasource) {
  return Guarded(datasource, -1L, [&] {
    return static_cast<long>(static_cast<OggSource*>(datasource)->stream->Position());
  });
}

class OggFile {
 public:
  explicit OggFile(TStream& stream) : source_{&stream, nullptr} {
    const ov_callbacks callbacks{ReadCallback, SeekCallback, CloseCallback, TellCallback};
    // On failure vorbisfile clears the file itself.
    open_ = ov_open_callbacks(&source_, &file_, nullptr, 0, callbacks) >= 0;
  }
  OggFile(const OggFile&) = delete;
  OggFile& operator=(const OggFile&) = delete;
  ~OggFile() {
    if (open_) ov_clear(&file_);
  }

  bool IsOpen() const { return open_; }
  OggVorbis_File* File() { return &file_; }
  // Rethrows what a callback kept, if anything.
  void RethrowFailure() const {
    if (source_.failure) std::rethrow_exception(source_.failure);
  }

 private:
  OggSource source_;
  OggVorbis_File file_{};
  bool open_ = false;
};

// Decodes up to bytes of PCM of the given logical bitstream into buffer and
// gives how many arrived, which is fewer when the data ends early (or runs
// into a following bitstream); -1 on a decoding error.
int64_t ReadAll(OggVorbis_File* file, int link, uint8_t* buffer, int64_t bytes) {
  int64_t done = 0;
  while (done < bytes) {
    int bitstream = 0;
    char* at = reinterpret_cast<char*>(buffer + done);
    const int want = static_cast<int>(std::min<int64_t>(bytes - done, READ_CHUNK));
    const long got = ov_read(file, at, want, 0, BYTES_PER_VALUE, 1, &bitstream);
    if (got < 0) return -1;
    if (got == 0 || bitstream != link) break;
    done += got;
  }
  return done;
}

// A chained file plays its first logical bitstream that has audio: an empty
// one before it would make a sound that never plays.
int FirstLinkWithAudio(OggVorbis_File* file) {
  const long links = ov_streams(file);
  for (int link = 0; link < links; ++link) {
    if (ov_pcm_total(file, link) > 0) return link;
  }
  return 0;
}

// The length comes from the granule position of the last page, which nothing
// else vouches for. Every packet costs at least one byte of the stream (its
// lacing value) and decodes to at most half of the largest Vorbis block, so a
// longer claim is corrupt, and trusting it would allocate without limit.
bool PlausibleLength(int64_t frames, int64_t streamBytes) {
  constexpr int64_t MAX_FRAMES_PER_PACKET = 8192 / 2;
  return frames <= streamBytes * MAX_FRAMES_PER_PACKET;
}

}  // namespace

Ref<TAudioSample> TOggSampleLoader::LoadSample(const Ref<TStream>& stream) {
  const int64_t streamBytes = int64_t{stream->Size()} - stream->Position();
  OggFile ogg(*stream);
  ogg.RethrowFailure();
  if (!ogg.IsOpen()) return nullptr;

  OggVorbis_File* file = ogg.File();
  const int link = FirstLinkWithAudio(file);
  const vorbis_info* info = ov_info(file, link);
  const ogg_int64_t frames = ov_pcm_total(file, link);
  if (!info || info->channels < 1 || info->channels > 2) return nullptr;
  if (info->rate <= 0 || info->rate > INT_MAX || frames < 0) return nullptr;
  const int frameBytes = info->channels * BYTES_PER_VALUE;
  if (frames > MAX_DECODED_BYTES / frameBytes || !PlausibleLength(frames, streamBytes)) {
    return nullptr;
  }
  // vorbisfile leaves a chained file positioned past a first bitstream that
  // fits on one page, so the decoding starts from the link's own first page.
  if (ov_streams(file) > 1 && ov_raw_seek(file, file->offsets[link]) != 0) {
    ogg.RethrowFailure();
    return nullptr;
  }

  const int format = info->channels == 1 ? SF_MONO16LE : SF_STEREO16LE;
  Ref<TAudioSample> sample =
      NewSample(static_cast<int>(frames), static_cast<int>(info->rate), format);
  const int64_t bytes = int64_t{frames} * frameBytes;
  const int64_t decoded = ReadAll(file, link, sample->samples, bytes);
  ogg.RethrowFailure();
  // Nothing at all of the claimed audio decoded: silence would stand in for
  // it.
  if (decoded < 0 || (bytes > 0 && decoded == 0)) return nullptr;
  // What did not arrive is silence.
  std::memset(sample->samples + decoded, 0, static_cast<size_t>(bytes - decoded));
  return sample;
}

void StartOggLoader() {
  static bool started = false;
  if (!FirstStart(started)) return;
  static TOggSampleLoader loader;
}
