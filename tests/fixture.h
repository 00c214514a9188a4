// A game folder with the launcher in it, started with its current folder somewhere else, as a
// player's shortcut often does.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "harness.h"

class LauncherTest : public ::testing::Test {
protected:
    LauncherTest() { harness::undoSettingsLeftChanged(); }

    // Installs the launcher and the given game programs, then starts the launcher.
    void start(std::initializer_list<const wchar_t*> games = {L"valdrennsp.exe", L"valdrennmp.exe"}) {
        launcherPath = harness::installLauncher(game.path());
        for (const wchar_t* name : games) harness::installGame(game.path(), name);
        launcher = std::make_unique<harness::Launcher>(harness::LaunchOptions{launcherPath, elsewhere.path(), {}});
    }

    POINT clientPoint(int x, int y) const { return launcher->clientToScreen({x, y}); }

    // Tab from Singleplayer, and wait for the focus to reach Multiplayer. The launcher handles its
    // input in order, so by then every click or key before the Tab has had its effect.
    bool tabToMultiplayer() const {
        const HWND multi = launcher->button(L"Multiplayer");
        harness::pressKey(VK_TAB);
        return multi && harness::waitUntil([&] { return launcher->running() && launcher->focusedWindow() == multi; },
                                           std::chrono::seconds(3));
    }

    harness::StartLog starts;
    harness::TempFolder game{L"game"};
    harness::TempFolder elsewhere{L"cwd"};
    std::wstring launcherPath;
    std::unique_ptr<harness::Launcher> launcher;
};
