#include "tools/makesound/ogg_vorbis_writer.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr size_t BLOCK_FRAMES = 4096;

// The encoder's state from set-up to clean-up; pages go to out as they are
// completed.
class VorbisEncoder {
 public:
  VorbisEncoder(int rate, float quality, const char* title, std::vector<uint8_t>& out) : out_(out) {
    vorbis_info_init(&info_);
    vorbis_comment_init(&comment_);
    if (vorbis_encode_init_vbr(&info_, 2, rate, quality) != 0) {
      vorbis_comment_clear(&comment_);
      vorbis_info_clear(&info_);
      throw std::runtime_error("libvorbisenc refuses the music's settings");
    }
    vorbis_comment_add_tag(&comment_, "TITLE", title);
    vorbis_analysis_init(&dsp_, &info_);
    vorbis_block_init(&dsp_, &block_);
    ogg_stream_init(&stream_, MUSIC_STREAM_SERIAL);
    WriteHeaders();
  }
  VorbisEncoder(const VorbisEncoder&) = delete;
  VorbisEncoder& operator=(const VorbisEncoder&) = delete;
  ~VorbisEncoder() {
    ogg_stream_clear(&stream_);
    vorbis_block_clear(&block_);
    vorbis_dsp_clear(&dsp_);
    vorbis_comment_clear(&comment_);
    vorbis_info_clear(&info_);
  }

  void Write(const float* left, const float* right, size_t frames) {
    float** buffer = vorbis_analysis_buffer(&dsp_, static_cast<int>(frames));
    std::copy(left, left + frames, buffer[0]);
    std::copy(right, right + frames, buffer[1]);
    vorbis_analysis_wrote(&dsp_, static_cast<int>(frames));
    Encode();
  }

  void Finish() {
    vorbis_analysis_wrote(&dsp_, 0);
    Encode();
    Flush();
  }

 private:
  void WriteHeaders() {
    ogg_packet identification, comments, codebooks;
    vorbis_analysis_headerout(&dsp_, &comment_, &identification, &comments, &codebooks);
    for (ogg_packet* packet : {&identification, &comments, &codebooks}) {
      ogg_stream_packetin(&stream_, packet);
    }
    // The audio starts on a page of its own, as the format asks.
    Flush();
  }

  void Encode() {
    while (vorbis_analysis_blockout(&dsp_, &block_) == 1) {
      vorbis_analysis(&block_, nullptr);
      vorbis_bitrate_addblock(&block_);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp_, &packet)) {
        ogg_stream_packetin(&stream_, &packet);
        ogg_page page;
        while (ogg_stream_pageout(&stream_, &page)) Append(page);
      }
    }
  }

  void Flush() {
    ogg_page page;
    while (ogg_stream_flush(&stream_, &page)) Append(page);
  }

  void Append(const ogg_page& page) {
    out_.insert(out_.end(), page.header, page.header + page.header_len);
    out_.insert(out_.end(), page.body, page.body + page.body_len);
  }

  std::vector<uint8_t>& out_;
  vorbis_info info_;
  vorbis_comment comment_;
  vorbis_dsp_state dsp_;
  vorbis_block block_;
  ogg_stream_state stream_;
};

}  // namespace

std::vector<uint8_t> EncodeOggVorbis(const StereoBuffer& music, int rate, float quality,
                                     const char* title) {
  std::vector<uint8_t> bytes;
  VorbisEncoder encoder(rate, quality, title, bytes);
  for (size_t done = 0; done < music.Frames(); done += BLOCK_FRAMES) {
    const size_t frames = std::min(BLOCK_FRAMES, music.Frames() - done);
    encoder.Write(music.left.data() + done, music.right.data() + done, frames);
  }
  encoder.Finish();
  return bytes;
}
