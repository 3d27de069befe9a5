#include "app/MprisService.h"

#include <cmath>

#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QUrl>

#include "app/MprisPlayer.h"
#include "app/MprisRoot.h"
#include "app/Tonik_mainform.h"
#include "app/TrackBar.h"
#include "engine/CdTracks.h"
#include "engine/TagTitle.h"

namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
constexpr int kPlayingPoll = 250;
constexpr int kStoppedPoll = 1000;
// A position further than this from where playing would have taken it was
// moved by a seek.
constexpr qlonglong kSeekJump = 1500000;

qlonglong Microseconds(float Seconds) {
    return std::isfinite(Seconds) && Seconds > 0 ? static_cast<qlonglong>(static_cast<double>(Seconds) * 1e6) : 0;
}

} // namespace

MprisService::MprisService(TForm1& Form) : QObject(&Form), form_(Form) {
    new MprisRoot(*this);
    new MprisPlayer(*this);
    connect(&poll_, &QTimer::timeout, this, &MprisService::poll);
}

bool MprisService::registerOnBus() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.registerObject(kObjectPath, this) ||
        !bus.registerService(QStringLiteral("org.mpris.MediaPlayer2.nilo")))
        return false;
    last_ = snapshot();
    poll_.start(kStoppedPoll);
    return true;
}

QString MprisService::playbackStatus() const {
    switch (audio::activity(Channel)) {
    case audio::kPlaying: return QStringLiteral("Playing");
    case audio::kPaused: return QStringLiteral("Paused");
    default: return QStringLiteral("Stopped");
    }
}

bool MprisService::hasTrack() const {
    return Channel != 0 && form_.Tonik->CurrentIndex >= 0;
}

bool MprisService::canSeek() const {
    return hasTrack() && !IsNetworkEntry(form_.Tonik->CurrentFile);
}

namespace {

uint32_t StreamTitleChanges() {
    audio::StreamStatus stream;
    return audio::streamStatus(Channel, stream) ? stream.titleChanges : 0;
}

// A stream's station as the album, what it plays as the title and, when
// the title reads "Artist - Title", the artist.
void StreamMetadata(const TTonikMain& Engine, QVariantMap& Metadata) {
    audio::StreamStatus stream;
    audio::streamStatus(Channel, stream);
    const std::string station = !Engine.StationName.empty() ? Engine.StationName
                                : !stream.station.empty()    ? stream.station
                                                             : Engine.CurrentFile;
    Metadata[QStringLiteral("xesam:url")] = QString::fromStdString(Engine.CurrentFile);
    Metadata[QStringLiteral("xesam:album")] = QString::fromStdString(station);
    std::string title = stream.title.empty() ? station : stream.title;
    if (const size_t dash = stream.title.find(" - "); dash != std::string::npos && dash > 0) {
        Metadata[QStringLiteral("xesam:artist")] = QStringList{QString::fromStdString(stream.title.substr(0, dash))};
        title = stream.title.substr(dash + 3);
    }
    Metadata[QStringLiteral("xesam:title")] = QString::fromStdString(title);
}

} // namespace

QVariantMap MprisService::metadata() {
    TTonikMain& engine = *form_.Tonik;
    if (!hasTrack()) {
        metadataFile_.clear();
        metadataIndex_ = -1;
        return {{QStringLiteral("mpris:trackid"),
                 QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack")))}};
    }
    const uint32_t titles = StreamTitleChanges();
    if (engine.CurrentFile == metadataFile_ && engine.CurrentIndex == metadataIndex_ && titles == metadataTitles_)
        return metadata_;
    metadataFile_ = engine.CurrentFile;
    metadataIndex_ = engine.CurrentIndex;
    metadataTitles_ = titles;
    metadata_.clear();
    metadata_[QStringLiteral("mpris:trackid")] =
        QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/nilo/Track/%1").arg(engine.CurrentIndex)));
    if (IsNetworkEntry(engine.CurrentFile)) {
        StreamMetadata(engine, metadata_);
        return metadata_;
    }
    TTagNames tags = ReadTitleTags(engine.CurrentFile, true, Channel);
    // A CD track the disc does not name is known by its row.
    audio::CdTrackText disc;
    if (CdTrackNumber(engine.CurrentFile) > 0 && !audio::cdTrackText(engine.CurrentFile, disc))
        tags.Title = form_.rowText(engine.CurrentIndex);
    metadata_[QStringLiteral("mpris:length")] = Microseconds(ChannelSeconds(Channel));
    metadata_[QStringLiteral("xesam:url")] = QUrl::fromLocalFile(QString::fromStdString(engine.CurrentFile)).toString();
    metadata_[QStringLiteral("xesam:title")] = QString::fromStdString(tags.Title);
    if (!tags.Artist.empty()) metadata_[QStringLiteral("xesam:artist")] = QStringList{QString::fromStdString(tags.Artist)};
    if (!tags.Album.empty()) metadata_[QStringLiteral("xesam:album")] = QString::fromStdString(tags.Album);
    return metadata_;
}

qlonglong MprisService::position() const {
    return hasTrack() ? Microseconds(PositionSeconds(Channel)) : 0;
}

void MprisService::seekTo(qlonglong Target) {
    if (!canSeek()) return;
    const qlonglong length = Microseconds(ChannelSeconds(Channel));
    if (length <= 0) return;
    if (Target >= length) {
        form_.NextClick();
        refresh();
        return;
    }
    const double ratio = static_cast<double>(std::max<qlonglong>(Target, 0)) / static_cast<double>(length);
    audio::seekBytes(Channel, static_cast<uint64_t>(ratio * static_cast<double>(audio::lengthBytes(Channel))));
    lastPosition_ = position();
    sinceLastPosition_.restart();
    emit seeked(lastPosition_);
}

MprisService::Snapshot MprisService::snapshot() const {
    Snapshot now;
    now.status = playbackStatus();
    now.file = hasTrack() ? form_.Tonik->CurrentFile : std::string();
    now.index = hasTrack() ? form_.Tonik->CurrentIndex : -1;
    now.volume = form_.setVolume->value() / 100.0;
    now.loop = form_.setLoop->isChecked();
    now.shuffle = form_.setShuffle->isChecked();
    now.canGoNext = form_.rowCount() > 0;
    now.canSeek = canSeek();
    now.streamTitles = hasTrack() ? StreamTitleChanges() : 0;
    return now;
}

void MprisService::refresh() {
    poll();
}

void MprisService::poll() {
    const Snapshot now = snapshot();
    QVariantMap changed;
    if (now.status != last_.status) changed[QStringLiteral("PlaybackStatus")] = now.status;
    const bool newTrack = now.file != last_.file || now.index != last_.index || now.streamTitles != last_.streamTitles;
    if (newTrack) changed[QStringLiteral("Metadata")] = metadata();
    if (now.volume != last_.volume) changed[QStringLiteral("Volume")] = now.volume;
    if (now.loop != last_.loop) changed[QStringLiteral("LoopStatus")] = now.loop ? QStringLiteral("Playlist") : QStringLiteral("None");
    if (now.shuffle != last_.shuffle) changed[QStringLiteral("Shuffle")] = now.shuffle;
    if (now.canGoNext != last_.canGoNext) {
        for (const char* name : {"CanGoNext", "CanGoPrevious", "CanPlay", "CanPause"})
            changed[QLatin1String(name)] = now.canGoNext;
    }
    if (now.canSeek != last_.canSeek) changed[QStringLiteral("CanSeek")] = now.canSeek;

    // A seek made in the window: the position left the course playing gives it.
    const qlonglong at = position();
    if (!newTrack && now.status != QLatin1String("Stopped")) {
        const qlonglong expected =
            lastPosition_ + (last_.status == QLatin1String("Playing") ? sinceLastPosition_.elapsed() * 1000 : 0);
        if (std::llabs(at - expected) > kSeekJump) emit seeked(at);
    }
    lastPosition_ = at;
    sinceLastPosition_.restart();

    last_ = now;
    if (!changed.isEmpty()) notifyChanged(kPlayerInterface, changed);
    poll_.setInterval(now.status == QLatin1String("Stopped") ? kStoppedPoll : kPlayingPoll);
}

void MprisService::notifyChanged(const QString& Interface, const QVariantMap& Changed) {
    QDBusMessage signal =
        QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << Interface << Changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}
