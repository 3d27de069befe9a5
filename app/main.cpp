// The player: the application, its windows, start-up and the event loop.
#include <exception>

#include <QTimer>

#include "app/MprisService.h"
#include "app/NiloApplication.h"
#include "app/PlayerWindows.h"
#include "audio/AudioLibrary.h"

int main(int argc, char** argv) {
    NiloApplication application(argc, argv);
    try {
        PlayerWindows windows;
        std::vector<std::string> arguments;
        for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
        if (!windows.Form1.FormCreate(arguments)) {
            audio::closeOutput();
            return 1;
        }
        // SIGTERM ends the program as File > Exit does.
        QObject::connect(&application, &NiloApplication::terminationRequested, &windows.Form1, &TForm1::Exit1Click);
        windows.Form1.show();
        // On the bus once the window is up: desktops find the player there.
        auto* mpris = new MprisService(windows.Form1);
        QTimer::singleShot(0, mpris, &MprisService::registerOnBus);
        const int status = NiloApplication::exec();
        audio::closeOutput();
        return status;
    } catch (const std::exception& error) {
        NiloApplication::ShowException(error.what());
    }
    audio::closeOutput();
    return 1;
}
