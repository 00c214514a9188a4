#include "harness.h"

#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iostream>
#include <stdexcept>

#include "window_probe/window_probe.h"

namespace harness {
namespace {

std::string narrow(const std::wstring& text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                          nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), bytes, nullptr,
                        nullptr);
    return out;
}

std::wstring widen(const std::string& text) {
    const int chars = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(chars), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), chars);
    return out;
}

[[noreturn]] void fail(const std::wstring& what) { throw std::runtime_error(narrow(what)); }

void removeTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(joinPath(path, L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = joinPath(path, name);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

void send(std::vector<INPUT> inputs) {
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    Sleep(50);
}

INPUT mouse(DWORD flags) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    return input;
}

INPUT key(WORD vk, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

struct FindWindow {
    DWORD pid;
    const wchar_t* className;  // nullptr: any
    std::vector<HWND> found;
};

BOOL CALLBACK collectTitled(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<FindWindow*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && IsWindowVisible(window) && windowText(window) == kTitle &&
        (!search->className || className(window) == search->className))
        search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> titledWindows(DWORD pid, const wchar_t* classFilter) {
    FindWindow search{pid, classFilter, {}};
    EnumWindows(collectTitled, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool underWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// The selection colour that a program started now paints with: the desktop scheme's, which a test
// may have changed after this process read its own copy of the colours.
COLORREF schemeHighlight() {
    wchar_t text[64] = {};
    DWORD size = sizeof text;
    int red = 0, green = 0, blue = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Colors", L"Hilight", RRF_RT_REG_SZ, nullptr, text, &size) ==
            ERROR_SUCCESS &&
        swscanf(text, L"%d %d %d", &red, &green, &blue) == 3)
        return RGB(red, green, blue);
    return GetSysColor(COLOR_HIGHLIGHT);
}

struct XScreenshot {
    long width = 0;
    long height = 0;
    std::vector<DWORD> pixels;  // 0x00RRGGBB, top row first
};

// A binary PPM, as ImageMagick writes xwd's screenshot: "P6", the width, the height and 255, then
// three bytes a pixel, top row first.
XScreenshot readPpm(const std::vector<unsigned char>& file) {
    XScreenshot shot;
    const std::string header(file.begin(), file.begin() + std::min<std::size_t>(file.size(), 32));
    long width = 0, height = 0;
    int most = 0, start = 0;
    if (std::sscanf(header.c_str(), "P6 %ld %ld %d%n", &width, &height, &most, &start) != 3 || most != 255 ||
        width <= 0 || height <= 0 || file.size() < start + 1 + std::size_t{3} * width * height)
        return shot;
    shot.width = width;
    shot.height = height;
    for (const unsigned char* at = &file[start + 1]; shot.pixels.size() < std::size_t{1} * width * height; at += 3)
        shot.pixels.push_back(DWORD{at[0]} << 16 | DWORD{at[1]} << 8 | at[2]);
    return shot;
}

// Under Wine, the X server's own screenshot of the whole screen (x_screenshot.exe takes it):
// nothing where there is no Wine, an empty one where it could not be had.
std::optional<XScreenshot> xScreenshot() {
    if (!underWine()) return std::nullopt;
    const TempFolder folder(L"xwd");
    const std::wstring file = folder / L"screen.ppm";
    std::wstring command = L"\"" + joinPath(testFolder(), L"x_screenshot.exe") + L"\" \"" + file + L"\"";
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return XScreenshot{};
    CloseHandle(process.hThread);
    DWORD code = 1;
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.hProcess, &code))
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    return code == 0 ? readPpm(readFile(file)) : XScreenshot{};
}

}  // namespace

std::wstring windowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

std::wstring className(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring testFolder() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path.substr(0, path.find_last_of(L"\\/"));
}

std::wstring joinPath(const std::wstring& folder, const std::wstring& name) {
    if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) return folder + name;
    return folder + L"\\" + name;
}

bool fileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<unsigned char> readFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::vector<unsigned char> bytes(GetFileSize(file, nullptr));
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    CloseHandle(file);
    return bytes;
}

TempFolder::TempFolder(const std::wstring& name) {
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    path_ = joinPath(temp, L"valdrenn-" + name + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                               std::to_wstring(counter++));
    removeTree(path_);
    if (!CreateDirectoryW(path_.c_str(), nullptr)) fail(L"cannot create " + path_);
}

TempFolder::~TempFolder() {
    // A program that just ended may hold its file for a moment.
    for (int attempt = 0; attempt < 20 && fileExists(path_); ++attempt) {
        removeTree(path_);
        if (fileExists(path_)) Sleep(100);
    }
}

std::wstring installLauncher(const std::wstring& folder) {
    const std::wstring target = joinPath(folder, L"Launcher.exe");
    if (!CopyFileW(joinPath(testFolder(), L"Launcher.exe").c_str(), target.c_str(), FALSE))
        fail(L"cannot copy the launcher to " + target);
    return target;
}

std::wstring installGame(const std::wstring& folder, const std::wstring& name) {
    const std::wstring target = joinPath(folder, name);
    if (!CopyFileW(joinPath(testFolder(), L"standin.exe").c_str(), target.c_str(), FALSE))
        fail(L"cannot copy the stand-in game to " + target);
    return target;
}

StartLog::StartLog() : folder_(L"log"), file_(folder_ / L"starts.txt") {
    SetEnvironmentVariableW(L"VALDRENN_STANDIN_RECORD", file_.c_str());
    SetEnvironmentVariableW(L"VALDRENN_STANDIN_LIFETIME", L"60000");
}

StartLog::~StartLog() {
    for (const StartRecord& start : read()) {
        if (HANDLE game = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, start.pid)) {
            TerminateProcess(game, 0);
            WaitForSingleObject(game, 5000);
            CloseHandle(game);
        }
    }
    SetEnvironmentVariableW(L"VALDRENN_STANDIN_RECORD", nullptr);
    SetEnvironmentVariableW(L"VALDRENN_STANDIN_LIFETIME", nullptr);
}

std::vector<StartRecord> StartLog::read() const {
    const std::vector<unsigned char> bytes = readFile(file_);
    const std::wstring text = widen(std::string(bytes.begin(), bytes.end()));
    std::vector<StartRecord> records;
    std::size_t lineStart = 0;
    for (std::size_t end; (end = text.find(L'\n', lineStart)) != std::wstring::npos; lineStart = end + 1) {
        const std::wstring line = text.substr(lineStart, end - lineStart);
        StartRecord record;
        std::size_t fieldStart = 0;
        while (fieldStart <= line.size()) {
            std::size_t fieldEnd = line.find(L'\t', fieldStart);
            // The command line comes last and may itself hold tabs.
            if (line.compare(fieldStart, 8, L"cmdline=") == 0) fieldEnd = std::wstring::npos;
            const std::wstring field = line.substr(fieldStart, fieldEnd - fieldStart);
            const std::size_t eq = field.find(L'=');
            const std::wstring name = field.substr(0, eq);
            const std::wstring value = eq == std::wstring::npos ? L"" : field.substr(eq + 1);
            if (name == L"pid") record.pid = std::wcstoul(value.c_str(), nullptr, 10);
            if (name == L"flags") record.flags = std::wcstoul(value.c_str(), nullptr, 10);
            if (name == L"show") record.show = std::wcstol(value.c_str(), nullptr, 10);
            if (name == L"cwd") record.cwd = value;
            if (name == L"exe") record.exe = value;
            if (name == L"cmdline") record.cmdline = value;
            if (fieldEnd == std::wstring::npos) break;
            fieldStart = fieldEnd + 1;
        }
        records.push_back(record);
    }
    return records;
}

std::vector<StartRecord> StartLog::waitFor(std::size_t count, Duration timeout) const {
    std::vector<StartRecord> records;
    waitUntil([&] { return (records = read()).size() >= count; }, timeout);
    return records;
}

Launcher::Launcher(const LaunchOptions& options) {
    std::wstring commandLine = L"\"" + options.launcher + L"\"";
    if (!options.arguments.empty()) commandLine += L" " + options.arguments;
    // Under Wine the desktop's own process starts with the first program that needs the desktop:
    // let that be this one, not the launcher, whose job would take it in. It starts at the dots
    // per inch a test has set by then, and Wine 10 takes its DPI for the screen's while it runs:
    // a program of another DPI is drawn scaled to it. So one test process tries one DPI.
    GetDesktopWindow();
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION process = {};
    const auto create = [&] {
        return CreateProcessW(options.launcher.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                              nullptr, options.currentFolder.empty() ? nullptr : options.currentFolder.c_str(),
                              &startup, &process);
    };
    // Wine's own start of a process now and then fails before the program runs a single
    // instruction (error 1359: the new process was gone before Wine had set it up), about once
    // in a few thousand starts, and a run of the suite makes hundreds. Once more; a second
    // failure counts.
    bool started = create();
    if (!started && GetLastError() == ERROR_INTERNAL_ERROR && underWine()) {
        std::cerr << "Wine failed to start the launcher (error 1359); starting it once more\n";
        started = create();
    }
    if (!started) fail(L"cannot start " + options.launcher + L": error " + std::to_wstring(GetLastError()));
    process_ = process.hProcess;
    pid_ = process.dwProcessId;
    // An object never made is never destroyed: a launcher this gives up on is ended here.
    const auto giveUp = [&](const std::wstring& why) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
        CloseHandle(process_);
        if (job_) CloseHandle(job_);
        fail(why);
    };
    // In a job from its first instruction, so that every process it starts lands in the job too.
    // The job ends them all when its last handle goes, this test's included: a test that dies
    // leaves no launcher or game on the screen in front of the next one.
    job_ = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    const bool held = job_ &&
                      SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits) &&
                      AssignProcessToJobObject(job_, process_);
    const DWORD jobError = GetLastError();
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    if (!held) giveUp(L"cannot hold the launcher in a job: error " + std::to_wstring(jobError));

    // The first start in a new Wine prefix can take a while.
    waitUntil(
        [&] {
            const std::vector<HWND> windows = titledWindows(pid_, nullptr);
            for (HWND window : windows)
                if (className(window) != L"#32770") window_ = window;
            return window_ != nullptr || !running();
        },
        60s);
    if (!window_) {
        const std::optional<DWORD> code = waitForExit(0ms);
        giveUp(L"the launcher showed no window" + (code ? L" and ended with " + std::to_wstring(*code) : L""));
    }
    if (WaitForInputIdle(process_, 20000) != 0) giveUp(L"the launcher did not come to wait for input");
    // Painted means every button's face is on the screen. The window is painted before its
    // buttons, so by then its artwork and credit are there too.
    const COLORREF face = schemeHighlight();
    const bool painted = waitUntil(
        [&] {
            const Capture screen(window_);
            return !screen.children().empty() &&
                   std::all_of(screen.children().begin(), screen.children().end(), [&](const auto& child) {
                       return screen.at(child.second.left + 4, child.second.top + 4) == face;
                   });
        },
        20s);
    if (!painted) giveUp(L"the launcher's buttons did not appear on the screen");
}

Launcher::~Launcher() {
    if (running()) TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
    CloseHandle(process_);
    CloseHandle(job_);
}

HWND Launcher::button(const wchar_t* caption) const { return FindWindowExW(window_, nullptr, nullptr, caption); }

std::vector<HWND> Launcher::children() const {
    std::vector<HWND> list;
    for (HWND child = GetWindow(window_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        list.push_back(child);
    return list;
}

RECT Launcher::clientOnScreen() const {
    RECT client;
    GetClientRect(window_, &client);
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return client;
}

POINT Launcher::clientToScreen(POINT client) const {
    ClientToScreen(window_, &client);
    return client;
}

bool Launcher::running() const { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

std::vector<std::wstring> Launcher::startedPrograms() const {
    struct {
        JOBOBJECT_BASIC_PROCESS_ID_LIST header;
        ULONG_PTR more[63];
    } list = {};
    list.header.NumberOfAssignedProcesses = 64;
    if (!QueryInformationJobObject(job_, JobObjectBasicProcessIdList, &list, sizeof list, nullptr))
        fail(L"cannot list the launcher's job: error " + std::to_wstring(GetLastError()));
    std::vector<std::wstring> started;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {sizeof entry};
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        for (DWORD i = 0; i < list.header.NumberOfProcessIdsInList; ++i)
            if (list.header.ProcessIdList[i] == entry.th32ProcessID && entry.th32ProcessID != pid_)
                started.push_back(entry.szExeFile);
    CloseHandle(snapshot);
    return started;
}

std::optional<DWORD> Launcher::waitForExit(Duration timeout) const {
    if (WaitForSingleObject(process_, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

std::vector<HWND> Launcher::reports() const { return titledWindows(pid_, L"#32770"); }

HWND Launcher::waitForReport(Duration timeout) const {
    HWND report = nullptr;
    waitUntil(
        [&] {
            const std::vector<HWND> found = reports();
            report = found.empty() ? nullptr : found.front();
            return report != nullptr || !running();
        },
        timeout);
    return report;
}

HWND Launcher::focusedWindow() const {
    GUITHREADINFO info = {sizeof info};
    GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &info);
    return info.hwndFocus;
}

void Launcher::makeForeground() const {
    // A window shown just before, a game's say, can take the foreground back once the system has
    // handled its activation: ask again until the launcher's window has kept it for a while.
    int kept = 0;
    const bool front = waitUntil(
        [&] {
            if (GetForegroundWindow() == window_) return ++kept > 3;
            kept = 0;
            SetForegroundWindow(window_);
            return false;
        },
        10s);
    if (!front) fail(L"the launcher's window did not come to the foreground");
}

ULONGLONG Launcher::cpuTime() const {
    const auto ticks = [](FILETIME t) { return (ULONGLONG{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
    ULONGLONG total = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {sizeof entry};
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != pid_) continue;
        HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID);
        if (!thread) continue;
        FILETIME created, exited, kernel, user;
        if (GetThreadTimes(thread, &created, &exited, &kernel, &user)) total += ticks(kernel) + ticks(user);
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return total;
}

bool samePath(const std::wstring& a, const std::wstring& b) {
    const auto full = [](const std::wstring& path) {
        std::wstring result(32768, L'\0');
        result.resize(GetFullPathNameW(path.c_str(), static_cast<DWORD>(result.size()), result.data(), nullptr));
        while (result.size() > 3 && result.back() == L'\\') result.pop_back();
        return result;
    };
    return CompareStringOrdinal(full(a).c_str(), -1, full(b).c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::wstring folderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/")); }

bool processRunning(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return false;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

std::wstring reportText(HWND report) {
    std::wstring text;
    for (HWND child = GetWindow(report, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        text += windowText(child) + L"\n";
    return text;
}

std::vector<DWORD> processesNamed(const std::wstring& exeName) {
    std::vector<DWORD> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {sizeof entry};
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (CompareStringOrdinal(entry.szExeFile, -1, exeName.c_str(), -1, TRUE) == CSTR_EQUAL)
            found.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return found;
}

void clickAt(POINT screen) {
    SetCursorPos(screen.x, screen.y);
    Sleep(50);
    send({mouse(MOUSEEVENTF_LEFTDOWN)});
    send({mouse(MOUSEEVENTF_LEFTUP)});
}

void dragThrough(POINT from, std::initializer_list<POINT> path) {
    SetCursorPos(from.x, from.y);
    Sleep(50);
    send({mouse(MOUSEEVENTF_LEFTDOWN)});
    for (POINT at : path) {
        SetCursorPos(at.x, at.y);
        send({mouse(MOUSEEVENTF_MOVE)});
    }
    send({mouse(MOUSEEVENTF_LEFTUP)});
}

void doubleClickAt(POINT screen) {
    SetCursorPos(screen.x, screen.y);
    Sleep(50);
    send({mouse(MOUSEEVENTF_LEFTDOWN), mouse(MOUSEEVENTF_LEFTUP), mouse(MOUSEEVENTF_LEFTDOWN),
          mouse(MOUSEEVENTF_LEFTUP)});
}

void clickCentre(HWND window) {
    RECT box;
    GetWindowRect(window, &box);
    clickAt({(box.left + box.right) / 2, (box.top + box.bottom) / 2});
}

void pressKey(WORD vk, bool shift) {
    std::vector<INPUT> inputs;
    if (shift) inputs.push_back(key(VK_SHIFT, false));
    inputs.push_back(key(vk, false));
    inputs.push_back(key(vk, true));
    if (shift) inputs.push_back(key(VK_SHIFT, true));
    send(inputs);
}

void doubleTapKey(WORD vk) { send({key(vk, false), key(vk, true), key(vk, false), key(vk, true)}); }

void pressAltF4() { send({key(VK_MENU, false), key(VK_F4, false), key(VK_F4, true), key(VK_MENU, true)}); }

void moveMouseTo(POINT screen) {
    SetCursorPos(screen.x, screen.y);
    send({mouse(MOUSEEVENTF_MOVE)});
}

WindowInFront::WindowInFront()
    : window_(CreateWindowExW(0, L"STATIC", L"another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 1000, 800, 200, 100,
                              nullptr, nullptr, nullptr, nullptr)) {
    SetForegroundWindow(window_);
}

WindowInFront::~WindowInFront() { DestroyWindow(window_); }

Held::Held(INPUT press, INPUT letGo) : letGo_(letGo) { send({press}); }

void Held::release() {
    if (std::exchange(held_, false)) send({letGo_});
}

Held Held::mouseButtonAt(POINT screen) {
    moveMouseTo(screen);
    return Held(mouse(MOUSEEVENTF_LEFTDOWN), mouse(MOUSEEVENTF_LEFTUP));
}

Held Held::key(WORD vk) { return Held(harness::key(vk, false), harness::key(vk, true)); }

Capture::Capture(HWND window) {
    const window_probe::Probe probe(joinPath(testFolder(), L"window_probe.dll"), window);
    const window_probe::Report* report = probe.ask(window_probe::kScreen);
    if (!report) return;
    const window_probe::Screen& screen = report->screen;
    width_ = screen.width;
    height_ = screen.height;
    origin_ = screen.origin;
    pixels_.assign(screen.pixels, screen.pixels + static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
    for (LONG i = 0; i < screen.childCount; ++i) children_.push_back({screen.children[i], screen.childBoxes[i]});
}

COLORREF Capture::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    const DWORD pixel = pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + x];
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

RECT Capture::childBox(HWND child) const {
    for (const auto& [window, box] : children_)
        if (window == child) return box;
    return {0, 0, 0, 0};
}

std::optional<long> Capture::unlikeTheXScreen() const {
    const std::optional<XScreenshot> x = xScreenshot();
    if (!x) return std::nullopt;
    if (x->width == 0) return -1;
    long unlike = 0;
    for (int y = 0; y < height_; ++y)
        for (int x0 = 0; x0 < width_; ++x0) {
            const long sx = origin_.x + x0, sy = origin_.y + y;
            const bool inside = sx >= 0 && sy >= 0 && sx < x->width && sy < x->height;
            if (!inside || x->pixels[static_cast<std::size_t>(sy) * x->width + sx] !=
                               pixels_[static_cast<std::size_t>(y) * width_ + x0])
                ++unlike;
        }
    return unlike;
}

int Capture::count(const RECT& area, COLORREF color) const {
    int found = 0;
    for (int y = std::max<LONG>(area.top, 0); y < std::min<LONG>(area.bottom, height_); ++y)
        for (int x = std::max<LONG>(area.left, 0); x < std::min<LONG>(area.right, width_); ++x)
            if (at(x, y) == color) ++found;
    return found;
}

Artwork::Artwork() : file_(readFile(joinPath(testFolder(), L"artwork.bmp"))) {
    if (file_.size() < 54) fail(L"artwork.bmp is missing beside the tests");
    std::memcpy(&width_, &file_[18], 4);
    std::memcpy(&height_, &file_[22], 4);
}

COLORREF Artwork::at(int x, int y) const {
    const std::size_t stride = (static_cast<std::size_t>(width_) * 3 + 3) / 4 * 4;
    const std::size_t offset = 54 + static_cast<std::size_t>(height_ - 1 - y) * stride + static_cast<std::size_t>(x) * 3;
    return RGB(file_[offset + 2], file_[offset + 1], file_[offset]);
}

RegistryValue::RegistryValue(const wchar_t* key, const wchar_t* name, const std::wstring& text) {
    save(key, name);
    RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

RegistryValue::RegistryValue(const wchar_t* key, const wchar_t* name, DWORD number) {
    save(key, name);
    RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

namespace {

// Where changed settings are noted until they are undone: one value per setting, named by its key
// and name, holding whether it existed, its type and its old data.
constexpr wchar_t kChangedSettings[] = L"Software\\Valdrenn Launcher Tests\\Changed settings";

std::wstring noteName(const wchar_t* key, const wchar_t* name) { return std::wstring(key) + L"|" + name; }

}  // namespace

void RegistryValue::save(const wchar_t* key, const wchar_t* name) {
    name_ = name;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_, nullptr))
        fail(L"cannot open HKCU\\" + std::wstring(key));
    DWORD size = 0;
    existed_ = RegQueryValueExW(key_, name, nullptr, &type_, nullptr, &size) == ERROR_SUCCESS;
    if (existed_) {
        old_.resize(size);
        RegQueryValueExW(key_, name, nullptr, &type_, old_.data(), &size);
    }

    // The first change of a setting notes the value it had before any test touched it.
    HKEY notes = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kChangedSettings, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &notes,
                        nullptr))
        fail(L"cannot note changed settings");
    const std::wstring note = noteName(key, name);
    if (RegQueryValueExW(notes, note.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_FILE_NOT_FOUND) {
        std::vector<BYTE> data(2 * sizeof(DWORD));
        const DWORD header[2] = {existed_ ? 1u : 0u, type_};
        std::memcpy(data.data(), header, sizeof header);
        data.insert(data.end(), old_.begin(), old_.end());
        RegSetValueExW(notes, note.c_str(), 0, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
        note_ = note;
    }
    RegCloseKey(notes);
}

RegistryValue::~RegistryValue() {
    if (existed_)
        RegSetValueExW(key_, name_.c_str(), 0, type_, old_.data(), static_cast<DWORD>(old_.size()));
    else
        RegDeleteValueW(key_, name_.c_str());
    RegCloseKey(key_);
    if (!note_.empty()) RegDeleteKeyValueW(HKEY_CURRENT_USER, kChangedSettings, note_.c_str());
}

void undoSettingsLeftChanged() {
    HKEY notes = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kChangedSettings, 0, KEY_READ | KEY_WRITE, &notes)) return;
    std::vector<std::wstring> undone;
    for (DWORD index = 0;; ++index) {
        wchar_t note[1024];
        DWORD noteLength = 1024, size = 0;
        if (RegEnumValueW(notes, index, note, &noteLength, nullptr, nullptr, nullptr, &size)) break;
        std::vector<BYTE> data(size);
        noteLength = 1024;
        RegEnumValueW(notes, index, note, &noteLength, nullptr, nullptr, data.data(), &size);
        const std::wstring noted = note;
        const std::size_t bar = noted.find(L'|');
        if (bar == std::wstring::npos || data.size() < 2 * sizeof(DWORD)) continue;
        DWORD header[2];
        std::memcpy(header, data.data(), sizeof header);
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, noted.substr(0, bar).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr))
            continue;
        const std::wstring name = noted.substr(bar + 1);
        if (header[0])
            RegSetValueExW(key, name.c_str(), 0, header[1], data.data() + sizeof header,
                           static_cast<DWORD>(data.size() - sizeof header));
        else
            RegDeleteValueW(key, name.c_str());
        RegCloseKey(key);
        undone.push_back(noted);
    }
    for (const std::wstring& noted : undone) RegDeleteValueW(notes, noted.c_str());
    RegCloseKey(notes);
}

}  // namespace harness
