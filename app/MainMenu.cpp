// The main menu: entries, shortcuts and their handlers.
#include <QMenuBar>

#include "app/Tonik_mainform.h"

namespace {

QAction* Entry(QMenu* Menu, const QString& Caption, QKeySequence Shortcut = {}) {
    QAction* action = Menu->addAction(Caption);
    action->setShortcut(Shortcut);
    return action;
}

} // namespace

void TForm1::buildMenu() {
    QMenuBar* bar = menuBar();
    File1 = bar->addMenu(QStringLiteral("File"));
    Open1 = Entry(File1, QStringLiteral("Open"), QKeySequence(Qt::CTRL | Qt::Key_O));
    OpenCD1 = Entry(File1, QStringLiteral("Open CD"), QKeySequence(Qt::CTRL | Qt::Key_D));
    OpenURL1 = Entry(File1, QStringLiteral("Open URL"), QKeySequence(Qt::CTRL | Qt::Key_U));
    Listenradio1 = Entry(File1, QStringLiteral("Listen radio"), QKeySequence(Qt::CTRL | Qt::Key_R));
    File1->addSeparator();
    Saveplaylist1 = Entry(File1, QStringLiteral("Save playlist"), QKeySequence(Qt::CTRL | Qt::Key_S));
    File1->addSeparator();
    Exit1 = Entry(File1, QStringLiteral("Exit"));

    Playback1 = bar->addMenu(QStringLiteral("Playback"));
    Play1 = Entry(Playback1, QStringLiteral("Previous"), QKeySequence(Qt::CTRL | Qt::Key_V));
    Play2 = Entry(Playback1, QStringLiteral("Play"), QKeySequence(Qt::CTRL | Qt::Key_P));
    Pause1 = Entry(Playback1, QStringLiteral("Pause"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    Stop1 = Entry(Playback1, QStringLiteral("Stop"), QKeySequence(Qt::CTRL | Qt::Key_A));
    Next1 = Entry(Playback1, QStringLiteral("Next"), QKeySequence(Qt::CTRL | Qt::Key_N));
    Playback1->addSeparator();
    Decreasevolume1 = Entry(Playback1, QStringLiteral("Volume Down"), QKeySequence(Qt::CTRL | Qt::Key_F1));
    Increasevolume1 = Entry(Playback1, QStringLiteral("Volume Up"), QKeySequence(Qt::CTRL | Qt::Key_F2));

    View1 = bar->addMenu(QStringLiteral("View"));
    PlayList2 = Entry(View1, QStringLiteral("PlayList"));
    Equalizer1 = Entry(View1, QStringLiteral("Equalizer"));
    PlayList2->setCheckable(true);
    Equalizer1->setCheckable(true);

    Options1 = bar->addMenu(QStringLiteral("Options"));
    Language = Options1->addMenu(QStringLiteral("Language"));
    English1 = Entry(Language, QStringLiteral("English"));
    N3 = Entry(Language, QStringLiteral("Русский"));
    Options1->addSeparator();
    Filters1 = Entry(Options1, QStringLiteral("Sound filters..."));
    Tags1 = Entry(Options1, QStringLiteral("Edit tags..."));

    Help1 = bar->addMenu(QStringLiteral("Help"));
    MusicPlayerHelp1 = Entry(Help1, QStringLiteral("Music Player Help"));
    About1 = Entry(Help1, QStringLiteral("About..."));

    connect(Open1, &QAction::triggered, this, &TForm1::OpenClick);
    connect(OpenCD1, &QAction::triggered, this, &TForm1::OpenCD1Click);
    connect(OpenURL1, &QAction::triggered, this, &TForm1::OpenURL1Click);
    connect(Listenradio1, &QAction::triggered, this, &TForm1::Listenradio1Click);
    connect(Saveplaylist1, &QAction::triggered, this, &TForm1::Saveplaylist1Click);
    connect(Exit1, &QAction::triggered, this, &TForm1::Exit1Click);
    connect(Play1, &QAction::triggered, this, &TForm1::PrevClick);
    connect(Play2, &QAction::triggered, this, &TForm1::Play2Click);
    connect(Pause1, &QAction::triggered, this, &TForm1::PauseClick);
    connect(Stop1, &QAction::triggered, this, &TForm1::StopClick);
    connect(Next1, &QAction::triggered, this, &TForm1::NextClick);
    connect(Decreasevolume1, &QAction::triggered, this, &TForm1::Decreasevolume1Click);
    connect(Increasevolume1, &QAction::triggered, this, &TForm1::Increasevolume1Click);
    connect(PlayList2, &QAction::triggered, this, &TForm1::PlayList2Click);
    connect(Equalizer1, &QAction::triggered, this, &TForm1::Equalizer1Click);
    connect(English1, &QAction::triggered, this, &TForm1::English1Click);
    connect(N3, &QAction::triggered, this, &TForm1::N3Click);
    connect(Filters1, &QAction::triggered, this, &TForm1::Filters1Click);
    connect(Tags1, &QAction::triggered, this, &TForm1::Tags1Click);
    connect(MusicPlayerHelp1, &QAction::triggered, this, &TForm1::MusicPlayerHelp1Click);
    connect(About1, &QAction::triggered, this, &TForm1::About1Click);
}
