// The window tests run on Qt's offscreen platform with SDL's dummy audio
// driver unless the environment says otherwise.
#include <cstdlib>

#include <gtest/gtest.h>

#include "app/NiloApplication.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ::testing::InitGoogleTest(&argc, argv);
    NiloApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
