// Builds the main window's controls at their places and connects them to
// their handlers.
#include "app/Tonik_mainform.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "app/EqBandLabel.h"
#include "app/Pictures.h"
#include "app/PlayListBox.h"
#include "app/TrackBar.h"

namespace {

constexpr int kBandLefts[] = {120, 155, 190, 225, 260, 295, 330, 365};
constexpr int kBandWidth = 30;
// The band names are drawn under their bars, a little wider than the bars.
constexpr int kEqLabelLeft = 104;
constexpr int kEqLabelWidth = 295;

QFont ArialFont(int PixelSize, bool Bold = false) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(PixelSize);
    font.setBold(Bold);
    return font;
}

QToolButton* ImageButton(QWidget* Parent, const QString& Glyph, const QRect& Place) {
    auto* button = new QToolButton(Parent);
    button->setGeometry(Place);
    button->setIcon(::Glyph(Glyph));
    button->setIconSize(QSize(16, 16));
    button->setAutoRaise(false);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

QPushButton* TextButton(QWidget* Parent, const QString& Caption, const QRect& Place) {
    auto* button = new QPushButton(Caption, Parent);
    button->setGeometry(Place);
    return button;
}

QCheckBox* CheckBox(QWidget* Parent, const QString& Caption, const QPoint& Place, const QSize& Size = {}) {
    auto* box = new QCheckBox(Caption, Parent);
    box->move(Place);
    box->resize(Size.isValid() ? Size : box->sizeHint());
    return box;
}

QLabel* Label(QWidget* Parent, const QString& Text, const QPoint& Place) {
    auto* label = new QLabel(Text, Parent);
    label->move(Place);
    label->adjustSize();
    return label;
}

} // namespace

TForm1::TForm1() : client_(new QWidget(this)) {
    setWindowTitle(QStringLiteral("Nilo Music Player"));
    setWindowIcon(Glyph(QStringLiteral("nilo")));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setCentralWidget(client_);
    client_->setFixedSize(kClientWidth, 380);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    move(379, 168);

    Tonik = std::make_unique<TTonikMain>(*this);
    Tonik->SaveConfigHook = [this] { writeConfig(); };
    buildControls();
    buildEqualizerGroup();
    buildMenu();
    connectHandlers();
}

TForm1::~TForm1() = default;

void TForm1::buildControls() {
    TipText = new QLabel(client_);
    TipText->setGeometry(8, 0, 406, 14);
    QFont fixed(QStringLiteral("Liberation Mono"));
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setPixelSize(11);
    TipText->setFont(fixed);

    TimeLabel = new QLabel(QStringLiteral("00:00"), client_);
    TimeLabel->setGeometry(176, 16, 72, 24);
    TimeLabel->setFont(ArialFont(21, true));

    setPosition = new TrackBar(Qt::Horizontal, 0, 0, client_);
    setPosition->setGeometry(0, 48, 249, 25);
    // Wider than the English captions need, for longer translations.
    setLoop = CheckBox(client_, QStringLiteral("Loop"), {256, 32}, {78, 20});
    setShuffle = CheckBox(client_, QStringLiteral("Shuffle"), {336, 32}, {81, 20});
    VolumeLabel = Label(client_, QStringLiteral("Volume:"), {288, 64});

    Prev = ImageButton(client_, QStringLiteral("prev"), {8, 80, 33, 25});
    Play = ImageButton(client_, QStringLiteral("play"), {48, 80, 33, 25});
    Pause = ImageButton(client_, QStringLiteral("pause"), {88, 80, 33, 25});
    Stop = ImageButton(client_, QStringLiteral("stop"), {128, 80, 33, 25});
    Next = ImageButton(client_, QStringLiteral("next"), {168, 80, 33, 25});
    Open = ImageButton(client_, QStringLiteral("open"), {208, 80, 33, 25});
    MuteOnOFF = ImageButton(client_, QStringLiteral("sound"), {256, 84, 20, 20});
    MuteOnOFF->setIconSize(QSize(14, 14));
    setVolume = new TrackBar(Qt::Horizontal, 0, 100, client_);
    setVolume->setGeometry(280, 83, 137, 25);

    PlayList = new PlayListBox(client_);
    PlayList->setGeometry(8, 120, 401, 102);
    Add = TextButton(client_, QStringLiteral("Add file (-s)"), {16, 232, 89, 17});
    Addfolder = TextButton(client_, QStringLiteral("Add folder"), {115, 232, 89, 17});
    Rem = TextButton(client_, QStringLiteral("Rem"), {214, 232, 89, 17});
    Clear = TextButton(client_, QStringLiteral("Clear"), {312, 232, 89, 17});

    ChTimer = new QTimer(this);
    ChTimer->setInterval(kTickInterval);
}

void TForm1::buildEqualizerGroup() {
    EqGroup = new QGroupBox(client_);
    EqGroup->setGeometry(8, 256, 401, 113);
    PanLabel = Label(EqGroup, QStringLiteral("Pan"), {18, 24});
    setPan = new TrackBar(Qt::Horizontal, 0, 2, EqGroup);
    setPan->setGeometry(12, 40, 49, 33);
    setPan->setPageStep(1);
    EQEnable = CheckBox(EqGroup, QStringLiteral("Equalizer"), {14, 76});

    std::array<int, 8> centres{};
    for (size_t band = 0; band < Bands.size(); ++band) {
        // Position 0 (the loudest) is at the top, as on a mixing desk.
        auto* bar = new TrackBar(Qt::Vertical, 0, 10, EqGroup);
        bar->setInvertedAppearance(true);
        bar->setInvertedControls(true);
        bar->setPageStep(1);
        bar->setGeometry(kBandLefts[band], 12, kBandWidth, 86);
        Bands[band] = bar;
        centres[band] = kBandLefts[band] + kBandWidth / 2 - kEqLabelLeft;
    }
    EQLabel = new EqBandLabel(EqGroup);
    EQLabel->setGeometry(kEqLabelLeft, 96, kEqLabelWidth, 14);
    EQLabel->setFont(ArialFont(10));
    EQLabel->setBandCentres(centres);
    EQLabel->setText(QStringLiteral("125 Hz 250 Hz 500 Hz  1 kHz   2 kHz  4 kHz  8 kHz  16 kHz"));
}

QFileDialog* TForm1::openDialog() {
    if (!OpenDialog) {
        OpenDialog = new QFileDialog(this);
        OpenDialog->setFileMode(QFileDialog::ExistingFiles);
        OpenDialog->setOption(QFileDialog::DontUseNativeDialog);
        OpenDialog->setSizeGripEnabled(true);
        OpenDialog->setNameFilter(openFilter_);
    }
    return OpenDialog;
}

QFileDialog* TForm1::saveDialog() {
    if (!SaveDialog) {
        SaveDialog = new QFileDialog(this);
        SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
        SaveDialog->setFileMode(QFileDialog::AnyFile);
        SaveDialog->setOption(QFileDialog::DontUseNativeDialog);
        SaveDialog->setNameFilters(saveFilters_);
    }
    return SaveDialog;
}

void TForm1::connectHandlers() {
    connect(Prev, &QToolButton::clicked, this, &TForm1::PrevClick);
    connect(Play, &QToolButton::clicked, this, &TForm1::PlayClick);
    connect(Pause, &QToolButton::clicked, this, &TForm1::PauseClick);
    connect(Stop, &QToolButton::clicked, this, &TForm1::StopClick);
    connect(Next, &QToolButton::clicked, this, &TForm1::NextClick);
    connect(Open, &QToolButton::clicked, this, &TForm1::OpenClick);
    connect(MuteOnOFF, &QToolButton::clicked, this, &TForm1::MuteOnOFFClick);
    connect(Add, &QPushButton::clicked, this, &TForm1::AddClick);
    connect(Addfolder, &QPushButton::clicked, this, &TForm1::AddfolderClick);
    connect(Rem, &QPushButton::clicked, this, &TForm1::RemClick);
    connect(Clear, &QPushButton::clicked, this, &TForm1::ClearClick);
    // Setting a box from code counts as a click when its state changes.
    connect(setLoop, &QCheckBox::toggled, this, &TForm1::setLoopClick);
    connect(setShuffle, &QCheckBox::toggled, this, &TForm1::setShuffleClick);
    connect(EQEnable, &QCheckBox::toggled, this, &TForm1::EQEnableClick);
    connect(setVolume, &QSlider::valueChanged, this, &TForm1::setVolumeChange);
    connect(setPan, &QSlider::valueChanged, this, &TForm1::setPanChange);
    connect(setPosition, &QSlider::valueChanged, this, &TForm1::setPositionChange);
    for (int band = 0; band < 8; ++band)
        connect(Bands[static_cast<size_t>(band)], &QSlider::valueChanged, this, [this, band] { BandChange(band); });
    connect(PlayList, &PlayListBox::drawItem, this, &TForm1::PlayListDrawItem);
    connect(PlayList, &PlayListBox::doubleClicked, this, &TForm1::PlayClick);
    connect(ChTimer, &QTimer::timeout, this, &TForm1::ChTimerTimer);
}

void TForm1::setHint(QWidget* Control, const QString& Hint) {
    Control->setToolTip(Hint);
    Control->setAccessibleName(Hint);
}
