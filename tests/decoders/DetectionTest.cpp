#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "tests/decoders/DecoderFixtures.h"
#include "tests/fixtures/Fixtures.h"

namespace decoders_test {
namespace {

TEST(DecoderDetection, EveryKindIsFoundByTrialWhateverItsName)
{
    for (const std::string& name : AllFixtureNames()) {
        SCOPED_TRACE(name);
        const Fixture& f = GetFixture(name);
        // A name that points the wrong way, and one with no extension.
        for (const std::string& disguise : {ScratchPath("disguised-" + name + ".mp3"), ScratchPath("plain-" + name)}) {
            std::filesystem::copy_file(f.path, disguise, std::filesystem::copy_options::overwrite_existing);
            std::string kind;
            auto decoder = OpenByTrial(disguise, kind);
            ASSERT_TRUE(decoder);
            EXPECT_EQ(kind, f.kind);
            EXPECT_EQ(decoder->typeCode(), f.type);
        }
    }
}

TEST(DecoderDetection, EachFactoryRefusesTheOtherKinds)
{
    for (const std::string& name : AllFixtureNames()) {
        const Fixture& f = GetFixture(name);
        for (const audio::DecoderEntry& entry : audio::DecoderTable()) {
            if (f.kind != entry.name) {
                EXPECT_FALSE(audio::OpenFileWith(entry, f.path)) << entry.name << " took " << name;
            }
        }
    }
}

TEST(DecoderDetection, ForeignDataIsRefusedByAll)
{
    std::mt19937 random(7);
    std::string noise(64 * 1024, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    std::string text;
    while (text.size() < 20000)
        text += "Lorem ipsum dolor sit amet, consectetur adipiscing elit.\r\n";
    // Sync-like bytes everywhere: 0xFF 0xFB starts a plausible MPEG header.
    std::string syncs;
    for (int i = 0; i < 4000; ++i)
        syncs += std::string("\xFF\xFB\x90\x64", 4) + std::string(static_cast<size_t>(random() % 300), '\x55');
    const std::pair<const char*, std::string> foreign[] = {
        {"empty.mp3", ""}, {"one.mp3", "\xFF"}, {"noise.mp3", noise}, {"text.mp3", text}, {"syncs.mp3", syncs},
        {"id3only.mp3", std::string("ID3\x03\0\0\0\0\0\x10", 10) + std::string(16, '\0')}};
    for (const auto& [file, bytes] : foreign) {
        const std::string path = ScratchPath(file);
        ASSERT_TRUE(WriteBytes(path, bytes));
        std::string kind;
        EXPECT_FALSE(OpenByTrial(path, kind)) << file << " taken by " << kind;
    }
    std::string kind;
    EXPECT_FALSE(OpenByTrial(ScratchPath("does-not-exist.mp3"), kind));
}

} // namespace
} // namespace decoders_test
