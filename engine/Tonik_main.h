// The player engine: the one TTonikMain object with the playlist paths, the
// settings stored in config.cfg, the folder-scan state and the radio lists,
// and the module state beside it (the current channel, the start-up flag,
// the message table, the playlist picture, the marquee counters).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <QImage>

#include "engine/ChangedFileWriter.h"
#include "engine/MainView.h"
#include "engine/PaintedRows.h"
#include "engine/PreparedNext.h"
#include "engine/TMess.h"
#include "engine/Tonik_utilfunc.h"

extern HSTREAM Channel;       // the current channel; 0 = none
extern bool StartupComplete;  // set at the very end of start-up
extern TMess Messages;
extern QImage PlayListBitmap; // the playlist rows are painted here first
extern int32_t MarqueeWidth;  // status-line marquee: characters shown
extern int32_t MarqueeStart;  // first character shown, from 1
extern int32_t MarqueeHoldFull;
extern int32_t MarqueeHoldEnd;

// Suffix of every application title.
inline constexpr const char* kTitleSuffix = " - Nilo Music Player";
// The playlist view shows this many rows.
inline constexpr int kVisibleRows = 6;

// A path or address that begins with exactly "http://" or "https://".
bool IsNetworkEntry(const std::string& Path);

// Playlist entries read from a file: paths and display texts, in order.
struct LoadedEntries {
    std::vector<std::string> Paths;
    std::vector<std::string> Texts;
};

// Reads "#EXTINF:" seconds "," title lines followed by their path; also plain
// lists of paths, with or without the "#EXTM3U" line, and other comments.
// Touches nothing of the engine, so it may run on any thread.
LoadedEntries ReadM3U(const std::string& File);
// The display text of a loaded entry: its title and length.
std::string LoadedEntryText(const std::string& Path, const std::string& Title, long long Seconds);

class TTonikMain {
  public:
    explicit TTonikMain(MainView& View);
    ~TTonikMain();
    TTonikMain(const TTonikMain&) = delete;
    TTonikMain& operator=(const TTonikMain&) = delete;

    std::string StationName;
    int32_t RadioStation = 0;
    std::vector<std::string> RadioNames;
    std::vector<std::string> RadioURLs;
    std::vector<std::string> RadioDescriptions;
    std::vector<std::string> RadioExtra;
    bool ScanCancelled = false;
    int32_t ScanFound = 0;
    int32_t ScanAdded = 0;
    std::string TrackInfo;
    int32_t CurrentIndex = -1;
    std::string AppDir; // ends with "/"
    int32_t Volume = 0;
    bool Loop = false;
    bool Shuffle = false;
    bool Mute = false;
    bool ShowPlayList = false;
    bool ShowEqualizer = false;
    bool SaveTags = false;
    bool Normalize = false;
    bool Reverb = false;
    int32_t AmpLevelSetting = 0;
    int32_t SignalLevel = 0;
    int32_t DelaySetting = 0;
    int32_t Pan = 0;
    uint32_t Elapsed = 0;
    float Length = 0;
    std::string CurrentFile;
    std::string Language;
    std::vector<std::string> Paths;
    std::vector<std::string> FolderFiles;

    // Writes config.cfg; installed by the application shell. SaveConfig
    // calls it only once start-up is complete.
    std::function<void()> SaveConfigHook;
    // The shuffle's pseudo-random generator, seeded from the clock.
    std::mt19937 Random;
    // Writes the playlist files; an unchanged autosave is not written again.
    ChangedFileWriter PlaylistWriter;

    // Playback.
    void PlayCurrent();
    void PlayStream();
    // An address typed or given by the desktop: the only entry, shown by
    // itself, played as a stream.
    void PlayAddress(const std::string& Address);
    void Tick();
    void Advance(int Count, const std::string& CurrentPath);
    void NextEntry();
    void PreviousEntry();
    // Play button and double click: the selected row, as a stream when its
    // path is an address.
    void PlaySelectedEntry();
    // Menu Play: the selected row through PlayCurrent.
    void PlaySelectedAsFile();
    void PauseCommand();
    void StopCommand();
    // The engine side of the seek bar's change handler.
    void PositionBarChanged();
    // Keeps the entries opened to follow the current local file in line with
    // the playlist, Loop, Shuffle and the effect controls. The timer step runs
    // it; a command that changes what follows runs it so that the change holds
    // even at the very end of a track.
    void UpdatePreparedNext();

    // Audio CD: the drive's root ("0" after messages 6 / 7 when there is
    // none), and the Open CD command.
    std::string FindCDDrive();
    void OpenCD();

    // Playlist building and painting.
    void AddEntry(const std::string& Path);
    int AddFromDialog(int Mode);
    void RemoveSelected();
    void ClearPlaylist();
    void RemoveMissing();
    // Marks the entries whose files cannot be opened for reading (addresses
    // included); touches nothing of the engine, so it may run on any thread.
    static std::vector<bool> FindMissing(const std::vector<std::string>& Paths);
    // Drops the marked entries, keeping the display texts of the others.
    void RemoveEntries(const std::vector<bool>& Missing);
    std::string BrowseFolder();
    // False when the scan was cancelled: the Add folder command is abandoned.
    bool ScanFolder(const std::string& Folder);
    void AddScannedFiles();
    void AddFolderCommand();
    void PaintPlayList();

    // Playlist files; an empty name is the autosave AppDir + "current.m3u"
    // (LoadPLS and SavePLS do nothing with it).
    void LoadM3U(const std::string& FileName);
    // Appends entries read by ReadM3U.
    void AppendLoaded(LoadedEntries Entries);
    void LoadPLS(const std::string& FileName);
    void SaveM3U(const std::string& FileName);
    void SavePLS(const std::string& FileName);

    // Track information and the status displays.
    void BuildTrackInfo();
    void UpdateStatus();
    std::string ElapsedText();

    // The sound controls applied to the current channel.
    void ApplyVolume();
    void ApplyPan();
    void ApplyMute();
    void ApplyEqualizer();
    // Equalizer, reverb and normalize from the controls, on the current channel.
    void ApplyEffectChain();

    void SaveConfig();
    // Window close: stops and frees the channel, autosaves, saves settings.
    void Shutdown();

  private:
    using VisitedFolders = std::set<std::pair<uint64_t, uint64_t>>;

    MainView& view_;
    PaintedRows lastPainted_;
    // The stopped state's text as last shown by the timer step.
    std::optional<std::string> stoppedShown_;
    // The current channel is a local file whose end moves to the next entry.
    bool awaitingEnd_ = false;
    // Entries opened to follow the current one, in playing order.
    std::vector<PreparedEntry> prepared_;
    PreparedBasis preparedBasis_;
    // The effect controls the prepared channels were last set up with.
    EffectSettings preparedEffects_;
    // While a prepared channel is set up, the sound controls reach it alone.
    HSTREAM soleTarget_ = 0;
    // The stream whose pre-buffering PlayStream waits for.
    HSTREAM streamOpening_ = 0;
    // The stream's title changes that TrackInfo shows.
    uint32_t streamTitleChanges_ = 0;
    // The part of TrackInfo the application title shows.
    size_t trackTitleLength_ = std::string::npos;

    bool ScanFolderTree(const std::string& Folder, VisitedFolders& Visited);
    void StartEntryByPrefix();
    bool WaitForPreBuffer(HSTREAM Stream);
    void ShowBuffering();
    // "Reconnecting 1/3" while the current stream reconnects.
    std::optional<std::string> StreamNotice() const;
    void StopAndFreeChannel();
    void ReleaseChannels();
    void SelectRowIfNone();
    std::string TickCurrentPath(int Count);
    bool FollowEndOfTrack(int Count);
    static HSTREAM OpenLocalEntry(const std::string& Path);
    void SendStoredPan();
    void ApplyStartChain();
    void ApplyFilters();
    std::vector<HSTREAM> SoundTargets() const;
    void SendAttributes(int NewVolume, int NewPan);

    // Gapless track changes.
    int FollowingIndex(int From, int Count) const;
    int ShuffleDraw(int Count);
    std::string PathAt(int Index) const;
    bool PreparedStillFollows(int Count) const;
    void ExtendPrepared(int Count);
    void DropPrepared();
    std::optional<PreparedEntry> TakePreparedFollower(int Count);
    bool HandedOver() const;
    EffectSettings ReadEffectSettings() const;
    bool TakeEffectChange();
    void SetUpPrepared(HSTREAM Prepared, bool WholeChain);
    std::string AutosaveFile() const;
    void AppendEntry(std::string Path, const std::string& DisplayText);
    std::string LocalDisplayText(const std::string& Path);
    void AddLoadedEntry(std::string Path, const std::string& Title, long long Seconds);
};
