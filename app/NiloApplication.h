// The application object: shows an exception that escapes an event handler
// in a message box and goes on, and leaves the event loop on SIGTERM the way
// File > Exit does.
#pragma once

#include <QApplication>

class QSocketNotifier;

class NiloApplication : public QApplication {
    Q_OBJECT

  public:
    NiloApplication(int& Argc, char** Argv);
    ~NiloApplication() override;
    bool notify(QObject* Receiver, QEvent* Event) override;
    // The message box of an exception that reached the application.
    static void ShowException(const char* Text);

  private:
    QSocketNotifier* termination_ = nullptr;
};
