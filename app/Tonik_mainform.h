// TForm1, the main window: transport buttons, seek bar, volume and pan,
// loop and shuffle, the playlist, the equalizer group and the main menu. It
// is the engine's view of the window, and it holds start-up, shut-down, the
// settings file and the language texts.
#pragma once

#include <array>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QMainWindow>

#include "engine/MainView.h"
#include "engine/Tonik_main.h"

class QAction;
class QCheckBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class QToolButton;
class EqBandLabel;
class PlayListBox;
class TrackBar;
class TAboutBox;
class TFiltersBox;
class TOpenURLBox;
class TProgressBox;
class TRadioSelectForm;
class TTagEditBox;

// Opens the sound device; false when there is none.
bool OpenAudioOutput();

class TForm1 : public QMainWindow, public MainView {
    Q_OBJECT

  public:
    static constexpr int kClientWidth = 419;
    static constexpr int kTickInterval = 100;
    static constexpr int kStoppedTickInterval = 1000;

    TForm1();
    ~TForm1() override;

    // The sound device being opened while the windows are built; start-up
    // opens it itself without one.
    void setAudioOpening(std::future<bool> Opening);
    // The dialogs, created after this window.
    void setDialogs(TProgressBox& Progress, TAboutBox& About, TTagEditBox& TagEdit, TFiltersBox& Filters,
                    TOpenURLBox& OpenURL, TRadioSelectForm& RadioSelect);

    // Start-up with the command line's arguments (the first one counts).
    // False when the audio output could not be opened: the program ends.
    bool FormCreate(const std::vector<std::string>& Arguments);
    void UpdateLayout();
    void KillOtherInstances();
    void LoadConfig();
    // The 26 lines of config.cfg as the controls and fields stand.
    std::string ConfigText() const;
    void LoadLanguage(const std::string& Name);
    // A file or playlist given on the command line (or by the desktop)
    // replaces the playlist and plays.
    void openArgument(std::string Argument);

    std::unique_ptr<TTonikMain> Tonik;

    QLabel* TipText;
    QLabel* TimeLabel;
    TrackBar* setPosition;
    QCheckBox* setLoop;
    QCheckBox* setShuffle;
    QLabel* VolumeLabel;
    QToolButton* Prev;
    QToolButton* Play;
    QToolButton* Pause;
    QToolButton* Stop;
    QToolButton* Next;
    QToolButton* Open;
    QToolButton* MuteOnOFF;
    TrackBar* setVolume;
    PlayListBox* PlayList;
    QPushButton* Add;
    QPushButton* Addfolder;
    QPushButton* Rem;
    QPushButton* Clear;
    QGroupBox* EqGroup;
    QLabel* PanLabel;
    TrackBar* setPan;
    QCheckBox* EQEnable;
    std::array<TrackBar*, 8> Bands;
    EqBandLabel* EQLabel;
    // Made when first used: they cost more to build than the whole window.
    QFileDialog* OpenDialog = nullptr;
    QFileDialog* SaveDialog = nullptr;
    QTimer* ChTimer;

    QMenu* File1;
    QAction* Open1;
    QAction* OpenCD1;
    QAction* OpenURL1;
    QAction* Listenradio1;
    QAction* Saveplaylist1;
    QAction* Exit1;
    QMenu* Playback1;
    QAction* Play1;
    QAction* Play2;
    QAction* Pause1;
    QAction* Stop1;
    QAction* Next1;
    QAction* Decreasevolume1;
    QAction* Increasevolume1;
    QMenu* View1;
    QAction* PlayList2;
    QAction* Equalizer1;
    QMenu* Options1;
    QMenu* Language;
    QAction* English1;
    QAction* N3;
    QAction* Filters1;
    QAction* Tags1;
    QMenu* Help1;
    QAction* MusicPlayerHelp1;
    QAction* About1;

    // Handlers.
    void OpenClick();
    void AddClick();
    void PlayClick();
    void Play2Click();
    void PauseClick();
    void StopClick();
    void PrevClick();
    void NextClick();
    void RemClick();
    void ClearClick();
    void AddfolderClick();
    void OpenCD1Click();
    void OpenURL1Click();
    void Listenradio1Click();
    void Saveplaylist1Click();
    void Exit1Click();
    void Filters1Click();
    void Tags1Click();
    void About1Click();
    void MusicPlayerHelp1Click();
    void English1Click();
    void N3Click();
    void setVolumeChange();
    void Decreasevolume1Click();
    void Increasevolume1Click();
    void setPanChange();
    void MuteOnOFFClick();
    void setLoopClick();
    void setShuffleClick();
    void EQEnableClick();
    void BandChange(int Band);
    void PlayList2Click();
    void Equalizer1Click();
    void setPositionChange();
    void PlayListDrawItem();
    void ChTimerTimer();

    // MainView.
    int rowCount() const override;
    std::string rowText(int Row) const override;
    void appendRow(const std::string& Text) override;
    void removeRow(int Row) override;
    // A row's text; its entry stays.
    void setRowText(int Row, const std::string& Text);
    void clearRows() override;
    int selectedRow() const override;
    void setSelectedRow(int Row) override;
    int topRow() const override;
    void setTopRow(int Row) override;
    int listWidth() const override;
    int listHeight() const override;
    int rowHeight() const override;
    double pictureScale() const override;
    void showPlayListPicture(const QImage& Picture) override;
    int positionMax() const override;
    void setPositionMax(int Max) override;
    int barPosition() const override;
    void setBarPosition(int Position) override;
    bool positionDragged() const override;
    void setTipText(const std::string& Text) override;
    void setTimeLabel(const std::string& Text) override;
    void setApplicationTitle(const std::string& Text) override;
    int volumePosition() const override;
    int panPosition() const override;
    bool equalizerEnabled() const override;
    int bandPosition(int Band) const override;
    void setMuteGlyph(bool Muted) override;
    const effects::FilterControls& filterControls() const override;
    void messageBox(const std::string& Text, const std::string& Caption, int Icon) override;
    void processEvents() override;
    bool closing() const override;
    bool openFilesDialog(std::vector<std::string>& FileNames) override;
    std::string chooseFolder(const std::string& Caption) override;
    void showProgressBox() override;

  protected:
    // FormClose: the close box, the window menu or Alt+F4.
    void closeEvent(QCloseEvent* Event) override;

  private:
    void buildControls();
    void buildEqualizerGroup();
    void buildMenu();
    void connectHandlers();
    std::vector<std::function<void(const QString&)>> languageTargets();
    void setHint(QWidget* Control, const QString& Hint);
    void nameControls();
    void showVolumeLabel();
    void toggleView(bool PlayListShown, bool EqualizerShown);
    void writeConfig();
    void loadAutosave();
    void addAutosaved(LoadedEntries Entries);
    // Back to ten steps a second: a channel starts or the texts changed.
    void wakeTimer();
    QFileDialog* openDialog();
    QFileDialog* saveDialog();

    QWidget* client_;
    ChangedFileWriter configWriter_;
    bool terminating_ = false;
    std::jthread autosaveLoad_;
    std::future<bool> audioOpening_;
    // The playlist was changed before the autosave's rows came in.
    bool playlistTouched_ = false;
    TProgressBox* progressBox_ = nullptr;
    TAboutBox* aboutBox_ = nullptr;
    TTagEditBox* tagEditBox_ = nullptr;
    TFiltersBox* filtersBox_ = nullptr;
    TOpenURLBox* openURLBox_ = nullptr;
    TRadioSelectForm* radioSelectForm_ = nullptr;
    QString openFilter_;
    QStringList saveFilters_;
};
