#include "trial.h"

#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cwchar>
#include <stdexcept>
#include <utility>

#include "exefile.h"
#include "watch.h"

namespace bench {
namespace {

constexpr DWORD kPatienceMs = 30000;  // far beyond any normal start; a hang is a failure

std::string narrow(const std::wstring& text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                          nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), bytes, nullptr,
                        nullptr);
    return out;
}

[[noreturn]] void fail(const std::string& what) { throw std::runtime_error(what); }

// Kernel and user time of a process, from the system's list of processes rather than from
// GetProcessTimes: Wine 8 answers GetProcessTimes for another process with the caller's own
// times, while its list holds each process's own (counted by Linux in 10 ms ticks).
double cpuTimeMs(DWORD pid) {
    std::vector<unsigned char> buffer(256 * 1024);
    ULONG needed = 0;
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(SystemProcessInformation, buffer.data(),
                                              static_cast<ULONG>(buffer.size()), &needed)) ==
           static_cast<NTSTATUS>(0xC0000004L))  // STATUS_INFO_LENGTH_MISMATCH: the list grew
        buffer.resize(std::max<std::size_t>(needed, buffer.size() * 2));
    if (status < 0) fail("cannot read the list of processes: status " + std::to_string(status));
    for (std::size_t at = 0;;) {
        const auto* process = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + at);
        if (static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(process->UniqueProcessId)) == pid)
            return static_cast<double>(process->KernelTime.QuadPart + process->UserTime.QuadPart) / 10000.0;
        if (!process->NextEntryOffset) break;
        at += process->NextEntryOffset;
    }
    fail("process " + std::to_string(pid) + " is not in the list of processes");
}

// All processors' time so far, and how much of it they were idle, in milliseconds.
struct ProcessorTimes {
    double idle;
    double total;
};

ProcessorTimes processorTimes() {
    FILETIME idle, kernel, user;  // kernel time includes the idle time
    if (!GetSystemTimes(&idle, &kernel, &user)) fail("cannot read the processors' times");
    const auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return {ms(idle), ms(kernel) + ms(user)};
}

double busyBetween(const ProcessorTimes& from, const ProcessorTimes& to) {
    const double total = to.total - from.total;
    return total > 0 ? 1 - (to.idle - from.idle) / total : 0;
}

// A started process; ended at destruction if it still runs, so a failed trial leaves nothing.
class Process {
public:
    Process(const std::wstring& exe, const std::wstring& arguments, const std::wstring& folder, DWORD flags = 0) {
        std::wstring commandLine = L"\"" + exe + L"\"";
        if (!arguments.empty()) commandLine += L" " + arguments;
        STARTUPINFOW startup = {sizeof startup};
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr,
                            folder.empty() ? nullptr : folder.c_str(), &startup, &process))
            fail("cannot start " + narrow(exe) + ": error " + std::to_string(GetLastError()));
        handle_ = process.hProcess;
        thread_ = process.hThread;
        pid_ = process.dwProcessId;
    }
    ~Process() {
        if (running()) TerminateProcess(handle_, 1);
        WaitForSingleObject(handle_, 5000);
        CloseHandle(thread_);
        CloseHandle(handle_);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    HANDLE handle() const { return handle_; }
    DWORD pid() const { return pid_; }
    bool running() const { return WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT; }
    void resume() const { ResumeThread(thread_); }

    double cpuMs() const { return cpuTimeMs(pid_); }

private:
    HANDLE handle_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD pid_ = 0;
};

// Out of every window's way, so no window starts under the pointer.
void parkCursor() { SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1); }

// A press and release through the system's input queue, at wherever the cursor is.
void click() {
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, inputs, sizeof(INPUT));
}

// Ends the stand-in game the record names and removes the record for the next trial.
void endGame(const std::wstring& record) {
    const std::vector<unsigned char> bytes = readFile(record);
    const std::string text(bytes.begin(), bytes.end());
    for (std::size_t at = text.find("pid="); at != std::string::npos; at = text.find("pid=", at + 4)) {
        const DWORD pid = std::strtoul(text.c_str() + at + 4, nullptr, 10);
        if (HANDLE game = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
            TerminateProcess(game, 0);
            WaitForSingleObject(game, 5000);
            CloseHandle(game);
        }
    }
    for (int attempt = 0; attempt < 50 && GetFileAttributesW(record.c_str()) != INVALID_FILE_ATTRIBUTES; ++attempt)
        if (!DeleteFileW(record.c_str())) Sleep(20);
}

// The two phases a player waits through before the window is theirs: the process starting
// until its window is created, and the window being shown and painted until the program waits
// for input. Both moments are reported to the driver while it blocks; the clock starts before
// the process is created, as a double-click would.
struct StartUp {
    HWND window = nullptr;
    double readyAt = 0;
};

StartUp awaitStartUp(const Subject& subject, const Process& process, double started, Trial& trial) {
    StartUp startUp;
    double createdAt = 0;
    {
        WindowWatch watch(process.pid(), subject.title);
        process.resume();
        startUp.window = watch.await(process.handle(), kPatienceMs, createdAt);
    }
    if (!startUp.window) fail(subject.label + " created no window titled as expected");
    int questions = 0;
    if (!awaitReady(startUp.window, kPatienceMs, startUp.readyAt, questions))
        fail(subject.label + "'s window never became ready: shown, painted and waiting for input");
    trial.createdMs = createdAt - started;
    trial.readyMs = startUp.readyAt - started;
    trial.windowMs = startUp.readyAt - createdAt;
    trial.questions = questions;
    return startUp;
}

// After the timed interval: the screen must show what the window should. Looks until it does
// (at the finest step the system sleeps; the program is idle by now, so the looks take nothing
// from anything timed), and keeps how long after the ready moment that was.
void checkScreen(const Subject& subject, const StartUp& startUp, Trial& trial) {
    const SIZE client = clientSize(startUp.window);
    if (client.cx != subject.client.cx || client.cy != subject.client.cy)
        fail(subject.label + "'s client area is " + std::to_string(client.cx) + "x" + std::to_string(client.cy) +
             ", not " + std::to_string(subject.client.cx) + "x" + std::to_string(subject.client.cy) +
             ": the benchmark needs a screen of 96 dots per inch");
    const double end = now() + kPatienceMs;
    for (;;) {
        // A look at more places takes longer: the moment taken is when the successful one began.
        const double lookedAt = now();
        ++trial.screenLooks;
        if (screenShows(startUp.window, subject.painted)) {
            trial.screenLagMs = lookedAt - startUp.readyAt;
            return;
        }
        if (lookedAt > end) fail(subject.label + "'s window never showed what it should");
        Sleep(1);
    }
}

void measureIdle(const Process& process, const TrialOptions& options, Trial& trial) {
    if (options.idleMs == 0) return;
    Sleep(options.settleMs);
    const double idleFrom = process.cpuMs();
    Sleep(options.idleMs);
    trial.idleCpuMs = process.cpuMs() - idleFrom;
    PROCESS_MEMORY_COUNTERS memory = {sizeof memory};
    if (K32GetProcessMemoryInfo(process.handle(), &memory, sizeof memory)) {
        trial.peakWorkingSetKiB = static_cast<double>(memory.PeakWorkingSetSize) / 1024.0;
        trial.peakPagefileKiB = static_cast<double>(memory.PeakPagefileUsage) / 1024.0;
    }
}

void launch(const Subject& subject, const GameFolder& game, const Process& process, HWND window,
            const TrialOptions& options, Trial& trial) {
    // From here on the system reports every process the program starts, its end, and the game's record.
    LaunchWatch watch(process.handle(), process.pid(), game.path(), game.record());
    POINT at = subject.click;
    ClientToScreen(window, &at);
    SetCursorPos(at.x, at.y);
    // The move is delivered and handled before the clock starts: the wait is at least one window.
    double waited = 0;
    if (!awaitQuiet(options.quiet, waited)) ++trial.unquiet;
    const double clicked = now();
    click();
    LaunchMoments moments;
    const bool seen = watch.await(kPatienceMs, moments);
    watch.endAll();
    if (!moments.gameStarted || !moments.record) fail(subject.label + " did not start the game after the click");
    if (!seen) fail(subject.label + " did not end after starting the game");
    trial.gameStartedMs = moments.gameStarted - clicked;
    trial.gameRecordMs = moments.record - clicked;
    trial.endedMs = moments.ended - clicked;
    trial.launchMs = std::max(moments.gameStarted, moments.ended) - clicked;
}

}  // namespace

GameFolder::GameFolder(const std::vector<std::pair<std::wstring, std::wstring>>& copies) {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    path_ = std::wstring(temp) + L"valdrenn-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(path_.c_str(), nullptr);
    for (const auto& [from, to] : copies) {
        if (!CopyFileW(from.c_str(), (*this / to).c_str(), FALSE))
            fail("cannot copy " + narrow(from) + " into the game folder");
        names_.push_back(to);
    }
    record_ = *this / L"starts.txt";
    DeleteFileW(record_.c_str());
    // Inherited by the programs under test and by the game they start.
    SetEnvironmentVariableW(L"VALDRENN_STANDIN_RECORD", record_.c_str());
    SetEnvironmentVariableW(L"VALDRENN_STANDIN_LIFETIME", L"10000");
}

GameFolder::~GameFolder() {
    endGame(record_);
    for (const std::wstring& name : names_) DeleteFileW((*this / name).c_str());
    RemoveDirectoryW(path_.c_str());
}

std::wstring GameFolder::operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

bool awaitQuiet(const Quiet& quiet, double& waitedMs) {
    const double from = now();
    ProcessorTimes last = processorTimes();
    for (;;) {
        Sleep(quiet.windowMs);
        const ProcessorTimes next = processorTimes();
        const bool quietNow = busyBetween(last, next) <= quiet.mostBusy;
        last = next;
        waitedMs = now() - from;
        if (quietNow) return true;
        if (waitedMs >= quiet.patienceMs) return false;
    }
}

Trial runTrial(const Subject& subject, const GameFolder& game, const TrialOptions& options) {
    Trial trial;
    endGame(game.record());
    parkCursor();
    if (!awaitQuiet(options.quiet, trial.quietWaitMs)) ++trial.unquiet;
    const ProcessorTimes before = processorTimes();
    const double started = now();
    // Suspended until the driver watches for its window.
    const Process process(subject.exe, L"", game.path(), CREATE_SUSPENDED);
    const StartUp startUp = awaitStartUp(subject, process, started, trial);
    trial.machineBusy = busyBetween(before, processorTimes());
    checkScreen(subject, startUp, trial);
    // Read after the look at the screen, which comes first to be near the ready moment: the
    // program uses no CPU time while it waits for input.
    trial.startupCpuMs = process.cpuMs();
    measureIdle(process, options, trial);
    launch(subject, game, process, startUp.window, options, trial);
    endGame(game.record());
    return trial;
}

double startToExit(const std::wstring& exe, const std::wstring& arguments) {
    const double started = now();
    Process process(exe, arguments, L"");
    WaitForSingleObject(process.handle(), kPatienceMs);
    return now() - started;
}

}  // namespace bench
