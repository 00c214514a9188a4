#include "trial.h"

#include <psapi.h>
#include <winternl.h>

#include <cwchar>
#include <stdexcept>

#include "exefile.h"

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

// A started process; ended at destruction if it still runs, so a failed trial leaves nothing.
class Process {
public:
    Process(const std::wstring& exe, const std::wstring& arguments, const std::wstring& folder) {
        std::wstring commandLine = L"\"" + exe + L"\"";
        if (!arguments.empty()) commandLine += L" " + arguments;
        STARTUPINFOW startup = {sizeof startup};
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            folder.empty() ? nullptr : folder.c_str(), &startup, &process))
            fail("cannot start " + narrow(exe) + ": error " + std::to_string(GetLastError()));
        CloseHandle(process.hThread);
        handle_ = process.hProcess;
        pid_ = process.dwProcessId;
    }
    ~Process() {
        if (running()) TerminateProcess(handle_, 1);
        WaitForSingleObject(handle_, 5000);
        CloseHandle(handle_);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    HANDLE handle() const { return handle_; }
    DWORD pid() const { return pid_; }
    bool running() const { return WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT; }

    double cpuMs() const { return cpuTimeMs(pid_); }

private:
    HANDLE handle_ = nullptr;
    DWORD pid_ = 0;
};

// A job holding a program under test: it tells when the program starts another process (the
// game; its process exists from then on, before its code runs) and when the program ends.
class Job {
public:
    enum class Event { None, Started, Ended };

    explicit Job(const Process& process) : pid_(process.pid()) {
        job_ = CreateJobObjectW(nullptr, nullptr);
        port_ = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
        JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {job_, port_};
        if (!job_ || !port_ ||
            !SetInformationJobObject(job_, JobObjectAssociateCompletionPortInformation, &association,
                                     sizeof association) ||
            !AssignProcessToJobObject(job_, process.handle()))
            fail("cannot follow the program in a job: error " + std::to_string(GetLastError()));
    }
    ~Job() {
        CloseHandle(port_);
        CloseHandle(job_);
    }
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    // Waits up to `timeoutMs` for the next report that matters.
    Event next(DWORD timeoutMs) const {
        DWORD message = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED detail = nullptr;
        if (!GetQueuedCompletionStatus(port_, &message, &key, &detail, timeoutMs)) return Event::None;
        const auto pid = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(detail));
        if (message == JOB_OBJECT_MSG_NEW_PROCESS && pid != pid_) return Event::Started;
        if ((message == JOB_OBJECT_MSG_EXIT_PROCESS || message == JOB_OBJECT_MSG_ABNORMAL_EXIT_PROCESS) && pid == pid_)
            return Event::Ended;
        return Event::None;  // the program's own joining, or the game's end
    }

    // Ends whatever still runs in the job: the game it started.
    void endAll() const { TerminateJobObject(job_, 0); }

private:
    DWORD pid_;
    HANDLE job_ = nullptr;
    HANDLE port_ = nullptr;
};

// Polls at the finest step the system sleeps, so the moment seen is late by about a millisecond.
template <class Done>
bool pollUntil(Done done, DWORD timeoutMs = kPatienceMs) {
    const double end = now() + timeoutMs;
    while (!done()) {
        if (now() > end) return done();
        Sleep(1);
    }
    return true;
}

bool hasContent(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) && (data.nFileSizeLow || data.nFileSizeHigh);
}

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

struct WindowSearch {
    DWORD pid;
    const std::wstring* title;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || !IsWindowVisible(window)) return TRUE;
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    if (*search->title != text) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

double now() {
    static const double perMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) / perMs;
}

HWND findWindow(DWORD pid, const std::wstring& title) {
    WindowSearch search{pid, &title, nullptr};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

GameFolder::GameFolder(const std::wstring& programs) {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    path_ = std::wstring(temp) + L"valdrenn-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(path_.c_str(), nullptr);
    const std::pair<const wchar_t*, const wchar_t*> copies[] = {
        {L"Launcher.exe", L"Launcher.exe"}, {L"bare.exe", L"bare.exe"}, {L"standin.exe", L"valdrennsp.exe"}};
    for (const auto& [from, to] : copies)
        if (!CopyFileW((programs + L"\\" + from).c_str(), (*this / to).c_str(), FALSE))
            fail("cannot copy " + narrow(programs + L"\\" + from) + " into the game folder");
    record_ = *this / L"starts.txt";
    DeleteFileW(record_.c_str());
    // Inherited by the programs under test and by the game they start.
    SetEnvironmentVariableW(L"VALDRENN_STANDIN_RECORD", record_.c_str());
    SetEnvironmentVariableW(L"VALDRENN_STANDIN_LIFETIME", L"10000");
}

GameFolder::~GameFolder() {
    endGame(record_);
    for (const wchar_t* name : {L"Launcher.exe", L"bare.exe", L"valdrennsp.exe"}) DeleteFileW((*this / name).c_str());
    RemoveDirectoryW(path_.c_str());
}

std::wstring GameFolder::operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

Trial runTrial(const Subject& subject, const GameFolder& game, const TrialOptions& options) {
    Trial trial;
    endGame(game.record());
    parkCursor();

    const double started = now();
    Process process(subject.exe, L"", game.path());
    HWND window = nullptr;
    pollUntil([&] { return (window = findWindow(process.pid(), subject.title)) != nullptr || !process.running(); });
    if (!window) fail(subject.label + " showed no window");
    trial.shownMs = now() - started;
    const SIZE client = clientSize(window);
    if (client.cx != subject.client.cx || client.cy != subject.client.cy)
        fail(subject.label + "'s client area is " + std::to_string(client.cx) + "x" + std::to_string(client.cy) +
             ", not " + std::to_string(subject.client.cx) + "x" + std::to_string(subject.client.cy) +
             ": the benchmark needs a screen of 96 dots per inch");
    // The moment is when the successful look began: a look at more places takes longer, and that
    // must not count against the program with more to show.
    double lookedAt = 0;
    const auto painted = [&] {
        lookedAt = now();
        return screenShows(window, subject.painted);
    };
    if (!pollUntil([&] { return painted() || !process.running(); }) || !process.running())
        fail(subject.label + "'s window never showed what it should");
    trial.paintedMs = lookedAt - started;
    trial.startupCpuMs = process.cpuMs();

    WaitForInputIdle(process.handle(), 5000);
    Sleep(options.settleMs);
    const double idleFrom = process.cpuMs();
    Sleep(options.idleMs);
    trial.idleCpuMs = process.cpuMs() - idleFrom;
    PROCESS_MEMORY_COUNTERS memory = {sizeof memory};
    if (K32GetProcessMemoryInfo(process.handle(), &memory, sizeof memory)) {
        trial.peakWorkingSetKiB = static_cast<double>(memory.PeakWorkingSetSize) / 1024.0;
        trial.peakPagefileKiB = static_cast<double>(memory.PeakPagefileUsage) / 1024.0;
    }

    // From here on the system reports every process the program starts, and its own end.
    const Job job(process);

    POINT at = subject.click;
    ClientToScreen(window, &at);
    SetCursorPos(at.x, at.y);
    Sleep(100);  // the move is delivered and handled before the clock starts
    const double clicked = now();
    click();
    double startedAt = 0, recordAt = 0, endedAt = 0;
    const double end = clicked + kPatienceMs;
    while (!(startedAt && recordAt && endedAt) && now() < end) {
        switch (job.next(1)) {
            case Job::Event::Started:
                if (!startedAt) startedAt = now();
                break;
            case Job::Event::Ended:
                if (!endedAt) endedAt = now();
                break;
            case Job::Event::None:
                break;
        }
        if (!recordAt && hasContent(game.record())) recordAt = now();
    }
    if (!startedAt || !recordAt) fail(subject.label + " did not start the game after the click");
    if (!endedAt) fail(subject.label + " did not end after starting the game");
    trial.gameStartedMs = startedAt - clicked;
    trial.gameRecordMs = recordAt - clicked;
    trial.endedMs = endedAt - clicked;
    trial.launchMs = std::max(startedAt, endedAt) - clicked;
    job.endAll();
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
