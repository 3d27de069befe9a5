#include "bench/app/BareWindow.h"

#include <QApplication>
#include <QWidget>

#include "bench/app/FirstIdle.h"

namespace bench {

int RunBareWindow(int& Argc, char** Argv, int64_t StartedNs) {
    QApplication application(Argc, Argv);
    QWidget window;
    window.setFixedSize(420, 400);
    ReportAtFirstIdle(window, StartedNs);
    window.show();
    return QApplication::exec();
}

} // namespace bench
