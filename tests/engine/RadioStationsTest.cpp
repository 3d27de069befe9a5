// The station list file: five-line records, values after the last "=", the
// file's code page, and what is left of damaged or missing files.
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/RadioStations.h"
#include "platform/CodePage.h"
#include "tests/fixtures/Fixtures.h"

namespace {

class RadioStationsTest : public ::testing::Test {
  protected:
    void SetUp() override { dir = fixtures::MakeTempDir("nilo-radio"); }
    void TearDown() override { fixtures::RemoveTree(dir); }

    RadioStationList Read(const std::string& Content) const {
        std::ofstream(dir + "/radiostations.cfg", std::ios::binary) << Content;
        return ReadRadioStations(dir + "/radiostations.cfg");
    }

    std::string dir;
};

TEST_F(RadioStationsTest, RecordsOfFiveLines) {
    const std::string longName(300, 'n');
    const RadioStationList list =
        Read("[Station=1]\r\nName=One\r\nURL=http://127.0.0.1:9/a?id=7\r\nInfo=128\r\nDescription=First\r\n"
             "x\nKey=Two=Zwei\nhttp://127.0.0.1:9/b\n\nSecond\n"
             "[3]\r\n" + longName + "\r\nhttp://127.0.0.1:9/c\r\n-\r\nThird\r\n"
             "[4]\r\nFour\r\nhttp://127.0.0.1:9/d\r\n");
    using Lines = std::vector<std::string>;
    EXPECT_EQ(list.Names, (Lines{"One", "Zwei", longName.substr(0, 255)})) << "the short last record is dropped";
    EXPECT_EQ(list.URLs, (Lines{"7", "http://127.0.0.1:9/b", "http://127.0.0.1:9/c"})) << "after the last \"=\"";
    EXPECT_EQ(list.Extra, (Lines{"128", "", "-"}));
    EXPECT_EQ(list.Descriptions, (Lines{"First", "Second", "Third"})) << "a long line does not shift the records";
}

TEST_F(RadioStationsTest, CodePagesAndUnreadableFiles) {
    // 255 bytes of two-byte characters end inside one: it is left out.
    const std::string cyrillic = "Радио";
    std::string longUtf8;
    while (longUtf8.size() < 300) longUtf8 += "я";
    RadioStationList list = Read("-\n" + cyrillic + "\nhttp://127.0.0.1:9/\n-\n" + longUtf8 + "\n");
    ASSERT_EQ(list.Names.size(), 1u);
    EXPECT_EQ(list.Names[0], cyrillic);
    EXPECT_EQ(list.Descriptions[0], longUtf8.substr(0, 254));

    const std::string legacy = "Caf\xE9";
    list = Read("-\n" + legacy + "\nhttp://127.0.0.1:9/\n-\n-\n");
    ASSERT_EQ(list.Names.size(), 1u);
    EXPECT_EQ(list.Names[0], platform::LegacyToUtf8(legacy)) << "not UTF-8: the legacy code page";
    EXPECT_TRUE(platform::IsValidUtf8(list.Names[0]));

    EXPECT_TRUE(ReadRadioStations(dir + "/missing.cfg").Names.empty());
    EXPECT_TRUE(ReadRadioStations(dir).Names.empty()) << "a folder";
    EXPECT_TRUE(Read("").Names.empty());
}

} // namespace
