// Engine tests need a GUI application for fonts (offscreen) and SDL's dummy
// audio driver; both are chosen here unless the environment says otherwise.
#include <cstdlib>

#include <QGuiApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ::testing::InitGoogleTest(&argc, argv);
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
