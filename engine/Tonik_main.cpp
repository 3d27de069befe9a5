#include "engine/Tonik_main.h"

#include <ctime>

#include "tags/TagAccess.h"

HSTREAM Channel = 0;
bool StartupComplete = false;
TMess Messages;
QImage PlayListBitmap;
int32_t MarqueeWidth = 0;
int32_t MarqueeStart = 0;
int32_t MarqueeHoldFull = 0;
int32_t MarqueeHoldEnd = 0;

bool IsNetworkEntry(const std::string& Path) {
    return Path.compare(0, 7, "http://") == 0 || Path.compare(0, 8, "https://") == 0;
}

TTonikMain::TTonikMain(MainView& View)
    : Random(static_cast<std::mt19937::result_type>(std::time(nullptr))), view_(View) {
    SetTagFailureHandler([this](TagKind, const std::string&) {
        view_.messageBox(Messages[20], Messages[21], 16);
    });
}

TTonikMain::~TTonikMain() {
    SetTagFailureHandler(nullptr);
    StopAndFreeChannel();
}

void TTonikMain::SaveConfig() {
    if (StartupComplete && SaveConfigHook) SaveConfigHook();
}

void TTonikMain::Shutdown() {
    StopAndFreeChannel();
    SaveM3U("");
    SaveConfig();
}

std::string TTonikMain::AutosaveFile() const {
    return AppDir + "current.m3u";
}
