#include "tests/audio/audio_test_files.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>

Bytes EncodeOgg(int channels, int rate, int frames, const std::function<float(int, int)>& wave,
                int64_t granuleShift, int serial) {
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, channels, rate, 0.4f) != 0) return {};
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block block;
  vorbis_block_init(&dsp, &block);
  ogg_stream_state os;
  ogg_stream_init(&os, serial);

  Bytes out;
  auto emit = [&](ogg_page& page) {
    if (ogg_page_eos(&page) && granuleShift) {
      // Bytes 6..13 of the page header hold the granule position.
      const int64_t granule = ogg_page_granulepos(&page) + granuleShift;
      for (int i = 0; i < 8; ++i) page.header[6 + i] = static_cast<unsigned char>(granule >> 8 * i);
      ogg_page_checksum_set(&page);
    }
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
  };
  ogg_packet header, commentHeader, codeHeader;
  vorbis_analysis_headerout(&dsp, &comment, &header, &commentHeader, &codeHeader);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &commentHeader);
  ogg_stream_packetin(&os, &codeHeader);
  ogg_page page;
  while (ogg_stream_flush(&os, &page)) emit(page);

  auto drain = [&] {
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
        ogg_stream_packetin(&os, &packet);
        while (ogg_stream_pageout(&os, &page)) emit(page);
      }
    }
  };
  constexpr int CHUNK = 1024;
  for (int done = 0; done < frames; done += CHUNK) {
    const int n = std::min(CHUNK, frames - done);
    float** buffer = vorbis_analysis_buffer(&dsp, n);
    for (int c = 0; c < channels; ++c) {
      for (int i = 0; i < n; ++i) buffer[c][i] = wave(c, done + i);
    }
    vorbis_analysis_wrote(&dsp, n);
    drain();
  }
  vorbis_analysis_wrote(&dsp, 0);
  drain();
  while (ogg_stream_flush(&os, &page)) emit(page);

  ogg_stream_clear(&os);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return out;
}
