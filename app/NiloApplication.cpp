#include "app/NiloApplication.h"

#include <csignal>
#include <exception>
#include <fcntl.h>
#include <unistd.h>

#include <QMessageBox>
#include <QSocketNotifier>

namespace {

int TerminationPipe[2] = {-1, -1};

void OnTerminate(int) {
    const char signal = 1;
    [[maybe_unused]] const ssize_t written = ::write(TerminationPipe[1], &signal, 1);
}

} // namespace

NiloApplication::NiloApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {
    setApplicationName(QStringLiteral("Nilo Music Player"));
    // Every window, menu and dialog in Arial 8 point.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    setFont(font);
    // The signal handler only writes to a pipe; the event loop reads it.
    if (::pipe2(TerminationPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    termination_ = new QSocketNotifier(TerminationPipe[0], QSocketNotifier::Read, this);
    connect(termination_, &QSocketNotifier::activated, this, [this] {
        char signal = 0;
        while (::read(TerminationPipe[0], &signal, 1) > 0) {
        }
        emit terminationRequested();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
}

NiloApplication::~NiloApplication() {
    ::signal(SIGTERM, SIG_DFL);
}

bool NiloApplication::notify(QObject* Receiver, QEvent* Event) {
    try {
        return QApplication::notify(Receiver, Event);
    } catch (const std::exception& error) {
        ShowException(error.what());
    } catch (...) {
        ShowException("Unknown error");
    }
    return false;
}

void NiloApplication::ShowException(const char* Text) {
    QMessageBox::critical(activeWindow(), applicationName(), QString::fromUtf8(Text));
}
