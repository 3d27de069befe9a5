// The player on the session bus as an MPRIS 2 media player
// (org.mpris.MediaPlayer2.nilo), so that desktops, their media keys and
// clients such as playerctl can see and drive it. Each method runs the
// window's own handler on the UI thread. Without a session bus it does
// nothing.
#pragma once

#include <cstdint>
#include <string>

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

class TForm1;

class MprisService : public QObject {
    Q_OBJECT

  public:
    explicit MprisService(TForm1& Form);

    // False when there is no session bus or the name is taken.
    bool registerOnBus();

    TForm1& form() { return form_; }
    QString playbackStatus() const;
    QVariantMap metadata();
    // Microseconds into the current track.
    qlonglong position() const;
    bool hasTrack() const;
    // A local track: a stream cannot seek.
    bool canSeek() const;
    // Moves the current track to Microseconds (clamped to it).
    void seekTo(qlonglong Microseconds);
    // Looks for changes now rather than at the next poll.
    void refresh();

  signals:
    void seeked(qlonglong Position);

  private:
    struct Snapshot {
        QString status;
        std::string file;
        int index = -1;
        double volume = 0;
        bool loop = false;
        bool shuffle = false;
        bool canGoNext = false;
        bool canSeek = false;
        uint32_t streamTitles = 0;
    };
    Snapshot snapshot() const;
    void poll();
    void notifyChanged(const QString& Interface, const QVariantMap& Changed);

    TForm1& form_;
    QTimer poll_;
    Snapshot last_;
    // Tags of the current track, read once per track.
    std::string metadataFile_;
    int metadataIndex_ = -1;
    uint32_t metadataTitles_ = 0;
    QVariantMap metadata_;
    // Where the position should be now, to notice seeks made in the window.
    qlonglong lastPosition_ = 0;
    QElapsedTimer sinceLastPosition_;
};
