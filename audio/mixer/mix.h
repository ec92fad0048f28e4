#pragma once
// The mixer's flat interface for the audio layer: sound data as pcmbuffers,
// channels as integer handles. Every function runs on the game thread.
//
// A handle is a table index (low 12 bits, 1..4095) with a generation above
// it; reissuing an index changes its generation, so old copies of a handle
// go stale and are ignored. Handle 0 means none.

#include <memory>

#include "audio/mixer/audio_device.h"
#include "audio/mixer/pcm_buffer.h"

// Opens the platform's output device: 0 on success, -1 when there is none.
int MixOpen();
// Opens with the given device instead (tests use a capture device).
int MixOpenDevice(std::unique_ptr<audiodevice> device);
// Closes the device and forgets every channel. Sounds keep their buffers.
void MixShutdown();
// The open device, or null.
audiodevice* MixDevice();

// A buffer holding a copy of length frames of 16-bit data (channels 1 or 2),
// with one reference for the caller; null without an open mixer or for a
// format the mixer does not play. A non-zero loop makes it a looped sound.
pcmbuffer* MixCreateBuffer(int length, int bits, int channels, int hertz, const void* data,
                           int loop);
// As MixCreateBuffer, but the buffer plays length frames at data in place,
// holding a reference to lender, which keeps that memory alive; null also
// without data.
pcmbuffer* MixWrapBuffer(int length, int bits, int channels, int hertz, void* data,
                         const Ref<Object>& lender, int loop);
void MixReleaseBuffer(pcmbuffer* buffer);

// A new channel handle, or 0 when all 4095 are in use.
int MixAllocChannel();
// Starts buffer on the channel (or on a new one for handle 0), replacing what
// it played and keeping its parameters. Returns the channel's handle: the
// given one, the new one, or 0 when none was free.
int MixPlay(pcmbuffer* buffer, int paused, int handle);
// The state of the channel's voice (see voice.h); 0 for a stale handle.
// Above 1 means playing, including paused and waiting for its start.
int MixChannelState(int handle);
void MixStop(int handle);
void MixSetPaused(int handle, int paused);
// Values are clamped to what the fixed-point fields hold.
void MixSetVolume(int handle, float volume);
void MixSetPan(int handle, float pan);
void MixSetDepth(int handle, float depth);
void MixSetRate(int handle, float rate);
