// What a screen reader in another process learns of the launcher and can do with it: the
// buttons' roles, names, states, places and windows, the window's whole content, presses
// through the default action, the events that tell of focus and value, and no DLL taken from
// the game folder.
#include "accessible_client.h"
#include "fixture.h"
#include "launcher_font.h"

#include <tlhelp32.h>

#include <algorithm>
#include <utility>

using namespace harness;

namespace {

const wchar_t* const kButtons[] = {L"Singleplayer", L"Multiplayer", L"Exit"};

// Role and name: what a screen reader says of an element; {-1, ""} for none.
std::pair<LONG, std::wstring> said(const AccessibleElement& element) { return {element.role(), element.name()}; }

class AccessibilityTest : public LauncherTest {
protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override { CoUninitialize(); }

    AccessibleElement object(const wchar_t* button) const {
        return AccessibleElement::ofWindow(launcher->button(button));
    }
    static Box windowBox(HWND window) {
        RECT box;
        GetWindowRect(window, &box);
        return boxOf(box);
    }
};

TEST_F(AccessibilityTest, EachButtonIsAPushButtonWithItsCaptionStatePlaceWindowAndPress) {
    start();
    launcher->makeForeground();
    for (const wchar_t* caption : kButtons) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(caption)));
        const AccessibleElement button = object(caption);
        EXPECT_EQ(said(button), std::make_pair(LONG{ROLE_SYSTEM_PUSHBUTTON}, std::wstring(caption)));
        EXPECT_EQ(button.value(), L"");
        const bool first = std::wstring(caption) == kButtons[0];
        EXPECT_EQ(button.state(), STATE_SYSTEM_FOCUSABLE | (first ? STATE_SYSTEM_FOCUSED : 0));
        EXPECT_EQ(button.defaultAction(), L"Press");
        const Box box = windowBox(launcher->button(caption));
        EXPECT_EQ(button.location(), box);
        EXPECT_EQ(button.hitTest({box[0] + box[2] / 2, box[1] + box[3] / 2}).name(), caption);
        EXPECT_FALSE(button.hitTest({box[0] + box[2] + 4, box[1]}));
        EXPECT_EQ(button.focus().name(), first ? caption : L"");
        EXPECT_EQ(said(button.parent()), std::make_pair(LONG{ROLE_SYSTEM_CLIENT}, std::wstring(kTitle)));
    }

    // The focus follows Tab, in the buttons' states and in the window's answer.
    const AccessibleElement form = AccessibleElement::ofWindow(launcher->window());
    pressKey(VK_TAB);
    ASSERT_TRUE(waitUntil([&] { return launcher->focusedWindow() == launcher->button(L"Multiplayer"); }, 3s));
    EXPECT_EQ(object(L"Multiplayer").state(), STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED);
    EXPECT_EQ(object(L"Singleplayer").state(), STATE_SYSTEM_FOCUSABLE);
    EXPECT_EQ(form.focus().name(), L"Multiplayer");

    // Each object names its own window, as the form hands it out, and that window answers with
    // the same button: how a screen reader matches objects to the windows its events name.
    EXPECT_EQ(form.window(), launcher->window());
    for (LONG id = 1; id <= 3; ++id) {
        const wchar_t* caption = kButtons[id - 1];
        SCOPED_TRACE(testing::PrintToString(std::wstring(caption)));
        const HWND window = form.child(id).window();
        EXPECT_EQ(window, launcher->button(caption));
        EXPECT_EQ(windowText(window), caption);
        EXPECT_EQ(said(AccessibleElement::ofWindow(window)),
                  std::make_pair(LONG{ROLE_SYSTEM_PUSHBUTTON}, std::wstring(caption)));
    }
    // A press that reading had set off would go through the launcher's queue ahead of this click.
    ASSERT_TRUE(launcher->running()) << "reading the objects ended the launcher";
    clickCentre(launcher->button(L"Exit"));
    EXPECT_EQ(launcher->waitForExit(), std::optional<DWORD>(0));
    EXPECT_EQ(launcher->startedPrograms(), kNothingStarted) << "reading the objects started a game";
}

TEST_F(AccessibilityTest, TheWindowListsTheButtonsTheCreditAndTheArtworkInReadingOrder) {
    start();
    const AccessibleElement form = AccessibleElement::ofWindow(launcher->window());
    EXPECT_EQ(said(form), std::make_pair(LONG{ROLE_SYSTEM_CLIENT}, std::wstring(kTitle)));
    const Box client = boxOf(launcher->clientOnScreen());
    EXPECT_EQ(form.location(), client);
    ASSERT_EQ(form.childCount(), 5);

    std::vector<std::pair<LONG, std::wstring>> listed;
    for (LONG id = 1; id <= 5; ++id) {
        listed.push_back(said(form.child(id)));
        EXPECT_EQ(form.child(id).isSimple(), id > 3) << "only the buttons are objects of their own";
        if (id <= 3) {
            EXPECT_EQ(form.child(id).location(), windowBox(launcher->button(kButtons[id - 1])));
        }
    }
    // The artwork carries no text, and the launcher makes none up for it.
    const decltype(listed) expected = {{ROLE_SYSTEM_PUSHBUTTON, L"Singleplayer"},
                                       {ROLE_SYSTEM_PUSHBUTTON, L"Multiplayer"},
                                       {ROLE_SYSTEM_PUSHBUTTON, L"Exit"},
                                       {ROLE_SYSTEM_STATICTEXT, L"Created by Anselm Droweker"},
                                       {ROLE_SYSTEM_GRAPHIC, L""}};
    EXPECT_EQ(listed, expected);
    EXPECT_FALSE(form.child(6));

    // The credit's box is its caption's extent in the launcher's font, moved in from where the
    // layout puts it (312, 304) as far as it would run past the client area; the artwork covers
    // the client area.
    const Box credit = form.child(4).location();
    const SIZE extent = LauncherFont(launcher->window()).extent(L"Created by Anselm Droweker");
    const POINT corner = clientPoint(std::min<LONG>(312, 447 - extent.cx), std::min<LONG>(304, 315 - extent.cy));
    EXPECT_EQ(credit, (Box{corner.x, corner.y, extent.cx, extent.cy}));
    EXPECT_EQ(form.child(5).location(), client);

    // Navigation walks the same children in the same order, both ways.
    EXPECT_EQ(said(form.navigate(NAVDIR_FIRSTCHILD)), expected.front());
    EXPECT_EQ(said(form.navigate(NAVDIR_LASTCHILD)).first, ROLE_SYSTEM_GRAPHIC);
    for (LONG id = 1; id <= 5; ++id) {
        SCOPED_TRACE(id);
        const auto next = said(form.childId(id).navigate(NAVDIR_NEXT));
        const auto previous = said(form.childId(id).navigate(NAVDIR_PREVIOUS));
        EXPECT_EQ(next.first, id < 5 ? expected[id].first : -1);
        EXPECT_EQ(previous, id > 1 ? expected[id - 2] : std::make_pair(LONG{-1}, std::wstring()));
    }
    EXPECT_EQ(form.child(1).navigate(NAVDIR_NEXT).name(), L"Multiplayer") << "from a button's own object";

    // What lies at a point of the screen, topmost first.
    const Box exit = windowBox(launcher->button(L"Exit"));
    EXPECT_EQ(form.hitTest({exit[0] + 3, exit[1] + 3}).name(), L"Exit");
    EXPECT_EQ(form.hitTest({credit[0] + 2, credit[1] + 2}).role(), ROLE_SYSTEM_STATICTEXT);
    EXPECT_EQ(form.hitTest(clientPoint(300, 150)).role(), ROLE_SYSTEM_GRAPHIC);
    EXPECT_FALSE(form.hitTest({client[0] - 20, client[1] - 30}));
}

// A press is answered before the launcher ends: a reader is told that it worked. Whatever the
// launcher started is a process by the time the launcher has ended (the stand-in lives on), so
// what ran is counted then, without waiting for the stand-in's own record.
TEST_F(AccessibilityTest, PressingSingleplayerStartsTheGameOnceAndEnds) {
    start();
    EXPECT_EQ(object(L"Singleplayer").doDefaultAction(), S_OK);
    const std::vector<StartRecord> records = starts.waitFor(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records.front().cmdline, L"valdrennsp.exe");
    EXPECT_EQ(launcher->waitForExit(), std::optional<DWORD>(0));
    EXPECT_EQ(processesNamed(L"valdrennsp.exe").size(), 1u) << "started more than once";
}

TEST_F(AccessibilityTest, PressingExitEndsWithNothingStarted) {
    start();
    EXPECT_EQ(object(L"Exit").doDefaultAction(), S_OK);
    EXPECT_EQ(launcher->waitForExit(), std::optional<DWORD>(0));
    EXPECT_TRUE(processesNamed(L"valdrennsp.exe").empty() && processesNamed(L"valdrennmp.exe").empty());
}

TEST_F(AccessibilityTest, AFailedStartIsReportedWithTheButtonPressedAndNoSecondPressCounts) {
    start({L"valdrennsp.exe"});
    const AccessibleElement multi = object(L"Multiplayer");
    const AccessibleElement single = object(L"Singleplayer");

    // The call comes back at once: the report waits for the player, not for the caller. A press
    // goes through the launcher's message queue, and so does the next call, behind it: that call
    // already finds the press done.
    EXPECT_EQ(multi.doDefaultAction(), S_OK);
    EXPECT_EQ(multi.state() & STATE_SYSTEM_PRESSED, STATE_SYSTEM_PRESSED);
    const HWND report = launcher->waitForReport();
    ASSERT_NE(report, nullptr);
    EXPECT_NE(reportText(report).find(L"valdrennmp.exe"), std::wstring::npos);
    EXPECT_EQ(multi.state(), STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_PRESSED);

    // So once the call after it is answered, a press that counted would have started the game.
    EXPECT_TRUE(FAILED(single.doDefaultAction())) << "a press while the report is up";
    EXPECT_EQ(single.state() & STATE_SYSTEM_PRESSED, 0);
    EXPECT_TRUE(processesNamed(L"valdrennsp.exe").empty());
    EXPECT_EQ(launcher->reports().size(), 1u);

    clickCentre(FindWindowExW(report, nullptr, L"Button", nullptr));
    EXPECT_EQ(launcher->waitForExit(), std::optional<DWORD>(53));
}

struct WinEvent {
    DWORD event;
    HWND window;
    LONG object;
    LONG child;
    bool operator==(const WinEvent&) const = default;
};

// What the hook below has seen: global, because a hook procedure takes no context.
std::vector<WinEvent> seenEvents;

void CALLBACK recordWinEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
    seenEvents.push_back({event, window, object, child});
}

// An out-of-context hook's events arrive through this thread's message queue.
bool pumpUntilSeen(const WinEvent& expected) {
    return waitUntil(
        [&] {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
            return std::find(seenEvents.begin(), seenEvents.end(), expected) != seenEvents.end();
        },
        5s);
}

TEST_F(AccessibilityTest, FocusMovesAndValueChangesAreAnnouncedOnce) {
    start({L"valdrennsp.exe"});
    seenEvents.clear();
    const HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_STATECHANGE, nullptr, recordWinEvent,
                                               launcher->pid(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    const HWND multi = launcher->button(L"Multiplayer");
    const WinEvent focused = {EVENT_OBJECT_FOCUS, multi, OBJID_CLIENT, CHILDID_SELF};
    const WinEvent changed = {EVENT_OBJECT_STATECHANGE, multi, OBJID_CLIENT, CHILDID_SELF};
    launcher->makeForeground();
    pressKey(VK_TAB);
    EXPECT_TRUE(pumpUntilSeen(focused));
    pressKey(VK_SPACE);  // no game to start: the value stays changed under the report
    EXPECT_TRUE(pumpUntilSeen(changed));
    UnhookWinEvent(hook);
    // Events come in order, so by the change every event of the move has arrived.
    EXPECT_EQ(std::count(seenEvents.begin(), seenEvents.end(), focused), 1) << "the move was announced twice";
    EXPECT_EQ(std::count(seenEvents.begin(), seenEvents.end(), changed), 1);
}

// The folders of the DLLs with this name that a process has loaded.
std::vector<std::wstring> loadedFrom(DWORD pid, const wchar_t* dll) {
    std::vector<std::wstring> folders;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    MODULEENTRY32W entry = {sizeof entry};
    for (BOOL more = Module32FirstW(snapshot, &entry); more; more = Module32NextW(snapshot, &entry))
        if (CompareStringOrdinal(entry.szModule, -1, dll, -1, TRUE) == CSTR_EQUAL)
            folders.push_back(folderOf(entry.szExePath));
    CloseHandle(snapshot);
    return folders;
}

// Dropped beside the launcher: oleacc.dll, which the accessibility code loads, and uxtheme.dll, which
// the window system loads by bare name while the first window is made, after the launcher's entry.
TEST_F(AccessibilityTest, DllsDroppedBesideTheLauncherAreNeverLoaded) {
    const wchar_t* const planted[] = {L"oleacc.dll", L"uxtheme.dll"};
    for (const wchar_t* dll : planted)
        ASSERT_TRUE(CopyFileW(joinPath(testFolder(), L"planted.dll").c_str(), (game / dll).c_str(), FALSE));
    // Wine takes its own builtin DLL whatever lies in the folder unless told to prefer one found
    // on disk. It reads that at each start from the registry (not from an environment that one
    // Windows program hands to another), so the launcher and the game are told there.
    const wchar_t kLauncherOverrides[] = L"Software\\Wine\\AppDefaults\\Launcher.exe\\DllOverrides";
    const RegistryValue preferOleacc(kLauncherOverrides, L"oleacc", std::wstring(L"native,builtin"));
    const RegistryValue preferUxtheme(kLauncherOverrides, L"uxtheme", std::wstring(L"native,builtin"));
    const RegistryValue gamePrefersUxtheme(L"Software\\Wine\\AppDefaults\\valdrennsp.exe\\DllOverrides",
                                           L"uxtheme", std::wstring(L"native,builtin"));
    start();
    EXPECT_EQ(object(L"Exit").role(), ROLE_SYSTEM_PUSHBUTTON) << "the system's oleacc.dll did not answer";
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    for (const wchar_t* dll : planted) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(dll)));
        EXPECT_FALSE(fileExists(game / dll + L".loaded")) << "the launcher loaded the one beside it";
        const std::vector<std::wstring> folders = loadedFrom(launcher->pid(), dll);
        EXPECT_EQ(folders.size(), 1u) << "the launcher has not loaded one";
        for (const std::wstring& folder : folders)
            EXPECT_TRUE(samePath(folder, system)) << testing::PrintToString(folder);
    }

    // The control: the game, which sets no limit, takes the uxtheme.dll in its folder as it always
    // did, so the one beside the launcher was there to be found. That is Wine's way of loading it,
    // by bare name; Windows may load it otherwise, so the control means something only here.
    if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) return;
    clickCentre(launcher->button(L"Singleplayer"));
    ASSERT_EQ(starts.waitFor(1).size(), 1u);
    const std::wstring marker = game / L"uxtheme.dll.loaded";
    EXPECT_TRUE(waitUntil([&] { return fileExists(marker); }, 10s)) << "the game did not take it";
    const std::vector<unsigned char> bytes = readFile(marker);
    const std::wstring takers(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    EXPECT_TRUE(!takers.empty() && takers.find(L'\n') == takers.size() - 1 &&
                samePath(takers.substr(0, takers.size() - 1), game / L"valdrennsp.exe"))
        << "not the game alone: " << testing::PrintToString(takers);
}

}  // namespace
