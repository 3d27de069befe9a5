// CD tracks at the device: two tracks of one signal join bit for bit through
// the gapless hand-over, and a drive that never delivers holds up nothing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "CdTestImages.h"

using namespace audio;
using audiotest::Buffered;
using audiotest::TempFolder;
using audiotest::WaitFor;
using cdtest::TrackPath;

TEST(CdPlayback, TwoTracksOfOneSignalReachTheDeviceAsOneStream)
{
    TempFolder folder;
    const fixtures::CdImage image = cdtest::SignalDisc({75, 60});
    const std::string cue = cdtest::WriteDisc(folder, image);
    std::vector<int16_t> whole = image.tracks[0].samples;
    whole.insert(whole.end(), image.tracks[1].samples.begin(), image.tracks[1].samples.end());
    const std::string raw = folder / "out.raw";
    audiotest::UseDiskDriver(raw, false);

    const Handle first = openCdChannel(TrackPath(cue, 1), kFloatSamples);
    const Handle second = openCdChannel(TrackPath(cue, 2), kFloatSamples);
    ASSERT_TRUE(queueNext(first, second));
    ASSERT_TRUE(openOutput(-1, 44100, kFloatSamples));
    stopOutput();
    ASSERT_TRUE(play(first, false));
    ASSERT_TRUE(Buffered({first, second}));
    startOutput();
    ASSERT_TRUE(WaitFor([&] { return activity(first) == kStopped && activity(second) == kStopped; }));
    EXPECT_EQ(positionBytes(second), lengthBytes(second));
    closeOutput();
    EXPECT_TRUE(audiotest::DeviceFileHolds(raw, cdtest::AsFloat(whole)));
}

TEST(CdPlayback, ADriveThatNeverAnswersHoldsUpNoOtherChannel)
{
    TempFolder folder;
    const std::string cue = cdtest::WriteDisc(folder, cdtest::SignalDisc({40, 40}));
    const std::string bin = folder / "disc.bin";
    // A BIN that is a FIFO nobody writes to: opening it waits for ever.
    ASSERT_EQ(unlink(bin.c_str()), 0);
    ASSERT_EQ(mkfifo(bin.c_str(), 0600), 0);
    const std::string wav = audiotest::SignalWav(folder, "a.wav", 44100, 2, 4.5);
    const std::vector<float> expected = audiotest::RenderFile(wav);
    const std::string raw = folder / "out.raw";
    audiotest::UseDiskDriver(raw, true);

    const Handle local = openFileChannel(wav, 0, 0, kFloatSamples);
    ASSERT_TRUE(openOutput(-1, 44100, kFloatSamples));
    stopOutput();
    ASSERT_TRUE(play(local, false));
    ASSERT_TRUE(Buffered({local}));
    startOutput();
    const uint64_t underrunsBefore = underruns();
    const uint64_t before = positionBytes(local);
    EXPECT_EQ(openCdChannel(TrackPath(cue, 1), kFloatSamples), 0u);
    EXPECT_GT(positionBytes(local), before + 44100 * 8);
    ASSERT_TRUE(WaitFor([&] { return activity(local) == kStopped; }));
    EXPECT_EQ(underruns(), underrunsBefore);
    closeOutput();
    EXPECT_TRUE(audiotest::DeviceFileHolds(raw, expected));
    // The abandoned open returns now, and its thread ends.
    const int writer = open(bin.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0)
        close(writer);
}

TEST(CdPlayback, ABinThatCannotBeReadPlaysSilenceBesideAnotherChannel)
{
    TempFolder folder;
    const std::string cue = cdtest::WriteDisc(folder, cdtest::SignalDisc({40, 40}));
    const std::string bin = folder / "disc.bin";
    ASSERT_EQ(unlink(bin.c_str()), 0);
    ASSERT_EQ(mkfifo(bin.c_str(), 0600), 0);
    // Held open at both ends it opens at once, but it cannot seek.
    const int fifo = open(bin.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(fifo, 0);
    const std::string wav = audiotest::SignalWav(folder, "a.wav", 44100, 2, 1.0);
    const std::vector<float> expected = audiotest::RenderFile(wav);
    const std::string raw = folder / "out.raw";
    audiotest::UseDiskDriver(raw, false);

    const Handle cd = openCdChannel(TrackPath(cue, 1), kFloatSamples);
    ASSERT_NE(cd, 0u);
    const Handle local = openFileChannel(wav, 0, 0, kFloatSamples);
    ASSERT_TRUE(openOutput(-1, 44100, kFloatSamples));
    stopOutput();
    ASSERT_TRUE(play(cd, false));
    ASSERT_TRUE(play(local, false));
    ASSERT_TRUE(Buffered({local, cd}));
    startOutput();
    ASSERT_TRUE(WaitFor([&] { return activity(local) == kStopped && activity(cd) == kStopped; }));
    EXPECT_EQ(positionBytes(cd), lengthBytes(cd));
    closeOutput();
    EXPECT_TRUE(audiotest::DeviceFileHolds(raw, expected));
    close(fifo);
}
