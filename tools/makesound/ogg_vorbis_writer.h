#pragma once
// Stereo music into an Ogg Vorbis file with libvorbisenc.

#include <cstdint>
#include <vector>

#include "tools/makesound/render.h"

// A fixed stream serial number: libvorbisenc is deterministic, and with the
// serial fixed too the same music always gives the same bytes.
constexpr int MUSIC_STREAM_SERIAL = 0x5A6F7270;

// Variable bit rate at the given quality (-0.1 .. 1). Raises
// std::runtime_error if the encoder refuses the settings.
std::vector<uint8_t> EncodeOggVorbis(const StereoBuffer& music, int rate, float quality,
                                     const char* title);
