// Sound while the window's thread is held up in a handler: decoding, output
// and the change to the next entry run on the library's threads.
#include <chrono>
#include <thread>

#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "audio/AudioLibrary.h"
#include "tests/app/PlayerTest.h"
#include "tests/fixtures/Fixtures.h"

using BlockedHandlerTest = PlayerTest;

TEST_F(BlockedHandlerTest, Mp3PlaysOnAndTheNextEntryFollowsWithoutUnderrun) {
    std::vector<std::string> mp3s;
    for (const auto& [name, seconds] : {std::pair{"short", 1.0}, std::pair{"long", 3.0}}) {
        const std::string wav = MakeWav(std::string(name) + ".wav", seconds);
        mp3s.push_back(home + "/" + name + ".mp3");
        ASSERT_TRUE(fixtures::EncodeMp3(wav, mp3s.back()));
    }
    ASSERT_TRUE(Start());
    for (const std::string& mp3 : mp3s)
        Engine().AddEntry(mp3);
    QTest::mouseClick(Form().Play, Qt::LeftButton);
    ASSERT_EQ(Engine().CurrentIndex, 0);
    ASSERT_TRUE(QTest::qWaitFor([] { return audio::positionBytes(Channel) > 0; }, 2000));

    const uint64_t underruns = audio::underruns();
    const HSTREAM first = Channel;
    bool firstEnded = false;
    QTimer::singleShot(0, &Form(), [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        firstEnded = audio::activity(first) == audio::kStopped &&
                     audio::positionBytes(first) == audio::lengthBytes(first);
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return firstEnded; }, 5000))
        << "the first file played to its end";
    EXPECT_EQ(audio::underruns(), underruns);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Engine().CurrentIndex == 1; }, 2000));
    EXPECT_EQ(audio::activity(Channel), audio::kPlaying);
    EXPECT_GT(audio::positionBytes(Channel), 0u);
    EXPECT_EQ(audio::underruns(), underruns);
}
