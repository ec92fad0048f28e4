#include "audio/audio_driver.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "audio/mixer_audio_driver.h"
#include "audio/ogg_loader.h"
#include "audio/wav_loader.h"
#include "tests/audio/audio_test_files.h"
#include "tests/audio/capture_device.h"

namespace {

Ref<TAudioSample> Tone(int frames, int hertz, int16_t value) {
  Ref<TAudioSample> sample = NewSample(frames, hertz, SF_MONO16LE);
  for (int i = 0; i < frames; ++i) reinterpret_cast<int16_t*>(sample->samples)[i] = value;
  return sample;
}

// The mixer driver over a capture device; passes are mixed by the test.
class MixerDriverTest : public ::testing::Test {
 protected:
  MixerDriverTest() { SetAudioDriver(New<TMixerAudioDriver>()); }
  ~MixerDriverTest() override { SetAudioDriver(New<TAudioDriver>()); }

  // The left and right sample of frame 0 of the next pass after the start
  // delay of everything queued so far.
  std::pair<int, int> Heard() {
    testMillis += MIX_START_DELAY_MS;
    const std::vector<int16_t> out = mixer.device->Mix();
    return {out[0], out[1]};
  }

  CaptureMixer mixer;
};

TEST(SilentDriver, EveryOperationWorksAndNothingPlays) {
  const Ref<TSound> sound = LoadSound(Tone(100, 22050, 1000), 0);
  ASSERT_TRUE(sound);
  EXPECT_FALSE(Cast<TMixerSound>(sound));
  const Ref<TChannel> channel = PlaySound(sound, nullptr);
  ASSERT_TRUE(channel);
  SetChannelVolume(channel, 0.5f);
  SetChannelPan(channel, -1.0f);
  SetChannelDepth(channel, 1.0f);
  SetChannelRate(channel, 2.0f);
  PauseChannel(channel);
  ResumeChannel(channel);
  EXPECT_EQ(IsChannelPlaying(channel), 0);
  StopChannel(channel);
  EXPECT_TRUE(NewChannel());
  EXPECT_TRUE(StartSoundPaused(sound, NewChannel()));
  EXPECT_FALSE(LoadSound("no/such/file.wav", 0));
}

TEST_F(MixerDriverTest, WavAndOggBecomeSixteenBitStereoAtTheirOwnRates) {
  StartWavLoader();
  StartOggLoader();
  WavWriter writer;
  const Bytes body(1000, 128 + 64);
  Bytes wav = writer.Header().Format(1, 8, 22050).Chunk("data", body).bytes;
  const Ref<TMixerSound> bleep = Cast<TMixerSound>(LoadSound(StreamOf(wav), 0));
  ASSERT_TRUE(bleep);
  EXPECT_EQ(bleep->buffer->channels, 2);
  EXPECT_EQ(bleep->buffer->bits, 16);
  EXPECT_EQ(bleep->buffer->hertz, 22050);
  EXPECT_EQ(bleep->buffer->length, 1000);
  EXPECT_FALSE(bleep->buffer->loop);
  PlaySound(bleep, nullptr);
  EXPECT_EQ(Heard(), std::pair(16576, 16576)) << "0xC0 widens to 0x40C0";

  Bytes ogg = EncodeOgg(2, 44100, 8000, [](int channel, int) { return channel ? -0.5f : 0.5f; });
  const Ref<TMixerSound> music = Cast<TMixerSound>(LoadSound(StreamOf(ogg), 2));
  ASSERT_TRUE(music);
  EXPECT_EQ(music->buffer->hertz, 44100);
  EXPECT_EQ(music->buffer->length, 8000);
  EXPECT_TRUE(music->buffer->loop) << "any non-zero flags loop";
}

TEST_F(MixerDriverTest, ASampleObjectIsUsedAsItIs) {
  const Ref<TAudioSample> sample = Tone(100, 44100, 1234);
  const Ref<TMixerSound> sound = Cast<TMixerSound>(LoadSound(sample, 0));
  ASSERT_TRUE(sound);
  EXPECT_EQ(sound->buffer->Samples()[1], 1234);
}

// A loaded piece is in memory once: the mixer plays the decoded frames in
// place. A sample its caller keeps is copied, and what the caller then does
// to it does not change the sound.
TEST_F(MixerDriverTest, OnlySamplesOthersHoldAreCopied) {
  StartOggLoader();
  Bytes ogg = EncodeOgg(2, 44100, 8000, [](int, int) { return 0.25f; });
  const Ref<TMixerSound> music = Cast<TMixerSound>(LoadSound(StreamOf(ogg), 1));
  ASSERT_TRUE(music);
  const Ref<TAudioSample> decoded = Cast<TAudioSample>(music->buffer->lender);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(music->buffer->data, decoded->samples);
  EXPECT_FALSE(music->buffer->storage);

  const Ref<TAudioSample> kept = NewSample(100, 44100, SF_STEREO16LE);
  std::fill_n(reinterpret_cast<int16_t*>(kept->samples), 200, int16_t{900});
  const Ref<TSound> copied = LoadSound(kept, 0);
  std::fill_n(reinterpret_cast<int16_t*>(kept->samples), 200, int16_t{-5});
  PlaySound(copied, nullptr);
  EXPECT_EQ(Heard(), std::pair(900, 900));

  int16_t borrowed[200];
  std::fill_n(borrowed, 200, int16_t{300});
  const Ref<TMixerSound> fromStatic = Cast<TMixerSound>(
      CurrentAudioDriver()->CreateSound(WrapSampleData(borrowed, 100, 44100, SF_STEREO16LE), 0));
  ASSERT_TRUE(fromStatic);
  EXPECT_NE(fromStatic->buffer->Samples(), borrowed) << "memory the sample only borrows";
}

TEST_F(MixerDriverTest, ChannelsPlayReplaceAndStop) {
  const Ref<TSound> low = LoadSound(Tone(100, 44100, 1000), 1);
  const Ref<TSound> high = LoadSound(Tone(100, 44100, 3000), 1);

  const Ref<TChannel> cued = StartSoundPaused(low, nullptr);
  ASSERT_TRUE(cued);
  EXPECT_EQ(IsChannelPlaying(cued), 1) << "a cued channel counts as playing";
  EXPECT_EQ(Heard(), std::pair(0, 0));
  SetChannelVolume(cued, 0.5f);
  ResumeChannel(cued);
  EXPECT_EQ(Heard(), std::pair(500, 500)) << "the volume set while cued holds from the start";

  EXPECT_EQ(PlaySound(high, cued), cued) << "the same channel object comes back";
  EXPECT_EQ(Heard(), std::pair(1500, 1500)) << "only the new sound, at the channel's volume";

  StopChannel(cued);
  ResumeChannel(cued);
  EXPECT_EQ(Heard(), std::pair(0, 0));
  EXPECT_EQ(IsChannelPlaying(cued), 0);

  EXPECT_FALSE(PlaySound(low, New<TChannel>())) << "a channel of another driver";
}

TEST_F(MixerDriverTest, WithEveryChannelTakenSoundsStillPlay) {
  const Ref<TSound> sound = LoadSound(Tone(100, 44100, 1000), 0);
  std::vector<Ref<TChannel>> channels;
  for (Ref<TChannel> channel = NewChannel(); channel; channel = NewChannel()) {
    channels.push_back(channel);
  }
  EXPECT_EQ(channels.size(), 4095u);
  EXPECT_FALSE(PlaySound(sound, nullptr));
  EXPECT_EQ(Heard(), std::pair(1000, 1000));
}

TEST_F(MixerDriverTest, ASoundMayGoWhileItPlays) {
  Ref<TSound> sound = LoadSound(Tone(2000, 44100, 700), 0);
  const Ref<TChannel> channel = PlaySound(sound, nullptr);
  sound = nullptr;
  EXPECT_EQ(Heard(), std::pair(700, 700));
  EXPECT_EQ(IsChannelPlaying(channel), 1);
}

}  // namespace
