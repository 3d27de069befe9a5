#include "bench/app/PlayerMode.h"

#include "app/NiloApplication.h"
#include "app/PlayerWindows.h"
#include "audio/AudioLibrary.h"
#include "bench/app/FirstIdle.h"

namespace bench {

int RunPlayer(int& Argc, char** Argv, int64_t StartedNs) {
    NiloApplication application(Argc, Argv);
    PlayerWindows windows;
    if (!windows.Form1.FormCreate({})) {
        audio::closeOutput();
        return 1;
    }
    ReportAtFirstIdle(windows.Form1, StartedNs);
    windows.Form1.show();
    const int status = NiloApplication::exec();
    audio::closeOutput();
    return status;
}

} // namespace bench
