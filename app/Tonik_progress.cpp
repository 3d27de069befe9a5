#include "app/Tonik_progress.h"

#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "engine/Tonik_main.h"

TProgressBox::TProgressBox(QWidget& Owner, TTonikMain& Tonik) : QDialog(&Owner), tonik_(Tonik) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Progress"));
    setFixedSize(256, 130);
    Progresstext = new QLabel(this);
    Progresstext->setGeometry(16, 24, 225, 16);
    ProgressBar = new QProgressBar(this);
    ProgressBar->setGeometry(16, 56, 225, 25);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setFormat(QStringLiteral("%p%"));
    ProgressBar->setAlignment(Qt::AlignCenter);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setGeometry(88, 88, 75, 25);
    // The box only reports: a tick while it is hidden would show nothing.
    Timer = new QTimer(this);
    Timer->setInterval(100);
    connect(Timer, &QTimer::timeout, this, &TProgressBox::TimerTimer);
    connect(Button1, &QPushButton::clicked, this, &TProgressBox::Button1Click);
}

void TProgressBox::showEvent(QShowEvent* Event) {
    setWindowTitle(QString::fromStdString(Messages[54]));
    TimerTimer();
    Timer->start();
    QDialog::showEvent(Event);
}

void TProgressBox::hideEvent(QHideEvent* Event) {
    Timer->stop();
    QDialog::hideEvent(Event);
}

void TProgressBox::TimerTimer() {
    const int32_t found = tonik_.ScanFound;
    const int32_t added = tonik_.ScanAdded;
    if (added == 0) {
        Progresstext->setText(QString::fromStdString(Messages[0]) + QString::number(found));
    } else if (added < found) {
        Progresstext->setText(QString::fromStdString(Messages[1]));
        ProgressBar->setValue(static_cast<int>(static_cast<float>(added) / static_cast<float>(found) * 100.0f));
    } else if (added == found) {
        Progresstext->setText(QString::fromStdString(Messages[2]));
        ProgressBar->setValue(100);
    }
}

void TProgressBox::Button1Click() {
    if (tonik_.ScanAdded < tonik_.ScanFound) {
        const auto answer =
            QMessageBox::warning(this, QString::fromStdString(Messages[13]), QString::fromStdString(Messages[14]),
                                 QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
        if (answer != QMessageBox::Ok) return;
        tonik_.ScanCancelled = true;
    }
    ProgressBar->setValue(0);
    hide();
}
