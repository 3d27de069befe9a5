// nilo-audio render with the effect options, run as a process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

#include "SignalLevels.h"
#include "tests/fixtures/Fixtures.h"

using namespace effects_test;

namespace {

constexpr uint32_t kRate = 44100;

class RenderTool {
  public:
    RenderTool() : dir_(fixtures::MakeTempDir("nilo-effect-options")) {}
    ~RenderTool() { fixtures::RemoveTree(dir_); }

    std::string Input(const std::vector<float>& stereo) {
        const std::string path = dir_ + "/in" + std::to_string(count_++) + ".wav";
        EXPECT_TRUE(fixtures::WriteWavFloat(path, kRate, 2, stereo));
        return path;
    }

    // Exit status of `nilo-audio render in out options`; output in rendered.
    int Render(const std::string& in, const std::string& options) {
        const std::string out = dir_ + "/out.wav";
        std::remove(out.c_str());
        const std::string command = std::string("'") + NILO_AUDIO + "' render '" + in + "' '" + out +
                                    "' " + options + " 2>'" + dir_ + "/err.txt'";
        const int raw = std::system(command.c_str());
        rendered.clear();
        uint32_t rate = 0, channels = 0;
        if (WIFEXITED(raw) && WEXITSTATUS(raw) == 0) {
            EXPECT_TRUE(fixtures::ReadWav(out, rate, channels, rendered));
        }
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

    std::string Errors() const {
        std::ifstream in(dir_ + "/err.txt");
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::vector<float> rendered;

  private:
    std::string dir_;
    int count_ = 0;
};

} // namespace

TEST(NiloAudioEffectOptions, ShapeTheRender) {
    RenderTool tool;
    const std::string tone = tool.Input(Sine(1000, 0.25, kRate, 2, kRate));
    ASSERT_EQ(tool.Render(tone, ""), 0);
    const std::vector<float> plain = tool.rendered;
    ASSERT_EQ(tool.Render(tone, "--eq 4,4,4,4,4,4,4,0"), 0);
    EXPECT_NEAR(Decibels(Rms(tool.rendered, 2, 0, kRate / 2, kRate) / Rms(plain, 2, 0, kRate / 2, kRate)),
                4.0, 0.1);

    std::vector<float> click(size_t(kRate) * 2 * 2, 0.0f);
    click[0] = click[1] = 0.9f;
    const std::string clickWav = tool.Input(click);
    ASSERT_EQ(tool.Render(clickWav, "--reverb 0.5,8000"), 0);
    EXPECT_GT(Rms(tool.rendered, 2, 0, kRate, kRate * 2), 1e-4);

    const std::string quiet = tool.Input(Sine(440, 0.2, kRate, 2, kRate * 6));
    ASSERT_EQ(tool.Render(quiet, "--normalize 10"), 0);
    const std::vector<float> tail(tool.rendered.end() - kRate * 2, tool.rendered.end());
    EXPECT_NEAR(Peak(tail), 0.85, 0.03);
}

TEST(NiloAudioEffectOptions, RefuseBadValues) {
    RenderTool tool;
    const std::string tone = tool.Input(Sine(1000, 0.25, kRate, 2, kRate / 10));
    for (const std::string options :
         {"--eq 1,2,3", "--eq 0,0,0,0,0,0,0,11", "--eq 0,0,0,0,0,0,0,0,", "--reverb 0.5",
          "--reverb 1.5,2000", "--reverb 0.5,1199", "--reverb 0.5,10001", "--normalize 0",
          "--normalize 11", "--normalize x"}) {
        EXPECT_EQ(tool.Render(tone, options), 1) << options;
        EXPECT_NE(tool.Errors().find("bad value for --"), std::string::npos) << options;
    }
}
