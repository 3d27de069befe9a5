// org.mpris.MediaPlayer2: the player's identity and window.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QStringList>

class MprisService;

class MprisRoot : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)

  public:
    explicit MprisRoot(MprisService& Service);

    bool canQuit() const { return true; }
    bool canRaise() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const { return QStringLiteral("Nilo Music Player"); }
    QString desktopEntry() const { return QStringLiteral("nilo"); }
    QStringList supportedUriSchemes() const;
    QStringList supportedMimeTypes() const;

  public slots:
    void Raise();
    void Quit();

  private:
    MprisService& service_;
};
