// The application object: shows an exception that escapes an event handler
// in a message box and goes on, and reports SIGTERM as a request to end.
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

  signals:
    void terminationRequested();

  private:
    QSocketNotifier* termination_ = nullptr;
};
