#include "app/MprisPlayer.h"

#include <QCheckBox>
#include <QTimer>
#include <QUrl>

#include "app/MprisService.h"
#include "app/Tonik_mainform.h"
#include "app/TrackBar.h"

MprisPlayer::MprisPlayer(MprisService& Service) : QDBusAbstractAdaptor(&Service), service_(Service) {
    connect(&Service, &MprisService::seeked, this, &MprisPlayer::Seeked);
}

QString MprisPlayer::playbackStatus() const {
    return service_.playbackStatus();
}

// The Loop box repeats the playlist; a track of its own cannot be repeated.
QString MprisPlayer::loopStatus() const {
    return service_.form().setLoop->isChecked() ? QStringLiteral("Playlist") : QStringLiteral("None");
}

void MprisPlayer::setLoopStatus(const QString& Status) {
    QCheckBox* box = service_.form().setLoop;
    if (box->isChecked() != (Status != QLatin1String("None"))) box->click();
    service_.refresh();
}

bool MprisPlayer::shuffle() const {
    return service_.form().setShuffle->isChecked();
}

void MprisPlayer::setShuffle(bool On) {
    QCheckBox* box = service_.form().setShuffle;
    if (box->isChecked() != On) box->click();
    service_.refresh();
}

QVariantMap MprisPlayer::metadata() const {
    return service_.metadata();
}

double MprisPlayer::volume() const {
    return service_.form().setVolume->value() / 100.0;
}

void MprisPlayer::setVolume(double Volume) {
    service_.form().setVolume->setValue(qBound(0, qRound(Volume * 100), 100));
    service_.refresh();
}

qlonglong MprisPlayer::position() const {
    return service_.position();
}

bool MprisPlayer::canGoNext() const {
    return service_.form().rowCount() > 0;
}

bool MprisPlayer::canSeek() const {
    return service_.canSeek();
}

void MprisPlayer::Next() {
    service_.form().NextClick();
    service_.refresh();
}

void MprisPlayer::Previous() {
    service_.form().PrevClick();
    service_.refresh();
}

void MprisPlayer::Pause() {
    if (service_.playbackStatus() == QLatin1String("Playing")) service_.form().PauseClick();
    service_.refresh();
}

void MprisPlayer::PlayPause() {
    if (service_.playbackStatus() == QLatin1String("Playing"))
        Pause();
    else
        Play();
}

void MprisPlayer::Stop() {
    service_.form().StopClick();
    service_.refresh();
}

// Resumes a paused track; otherwise the Play button's command.
void MprisPlayer::Play() {
    const QString status = service_.playbackStatus();
    if (status == QLatin1String("Paused"))
        service_.form().PauseClick();
    else if (status == QLatin1String("Stopped"))
        service_.form().PlayClick();
    service_.refresh();
}

void MprisPlayer::Seek(qlonglong Offset) {
    if (!service_.hasTrack()) return;
    service_.seekTo(service_.position() + Offset);
}

void MprisPlayer::SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) {
    if (!service_.hasTrack() || Position < 0) return;
    if (TrackId.path() != service_.metadata().value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path())
        return;
    service_.seekTo(Position);
}

// A file as given on the command line, an address as typed into the address
// dialog. The stream's pre-buffering wait runs after the call has been
// answered.
void MprisPlayer::OpenUri(const QString& Uri) {
    const QUrl url(Uri);
    if (url.isLocalFile()) {
        service_.form().openArgument(url.toLocalFile().toStdString());
        service_.refresh();
        return;
    }
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) return;
    QTimer::singleShot(0, &service_, [this, address = Uri.toStdString()] {
        service_.form().Tonik->PlayAddress(address);
        service_.refresh();
    });
}
