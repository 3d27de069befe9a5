// The real player windows on Qt's offscreen platform in a temporary
// NILO_HOME with the language files, the real audio library on SDL's dummy
// driver, and helpers to answer dialogs and read the files the player keeps.
#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/PlayerWindows.h"

class PlayerTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the windows, runs start-up with these arguments and shows the
    // main window; false when start-up refused (no audio output).
    bool Start(const std::vector<std::string>& Arguments = {});
    TForm1& Form() { return windows->Form1; }
    TTonikMain& Engine() { return *windows->Form1.Tonik; }

    std::string MakeWav(const std::string& Name, double Seconds);
    std::string Read(const std::string& Name) const;
    void Write(const std::string& Name, const std::string& Content) const;
    bool Exists(const std::string& Name) const;
    // Text of a line (from 1) of a language file as the player shows it.
    std::string LanguageLine(const std::string& File, int Line) const;
    // Runs Answer on the next modal window once it is shown, then returns.
    void AnswerNextModal(const std::function<void(QWidget*)>& Answer);
    // Clicks through the menu bar: a menu, its submenus, then the entry.
    void ClickMenu(std::initializer_list<QAction*> Path);
    // Geometry of the main window's client area and of its parts.
    int ClientHeight();
    // Lets timers and posted events run for the given time.
    static void Wait(int Milliseconds);

    std::string home;
    std::unique_ptr<PlayerWindows> windows;
};
