#include "watch.h"

#include <stdexcept>

namespace bench {
namespace {

// Completion keys: which source a report on the launch's port comes from.
constexpr ULONG_PTR kJobKey = 1;
constexpr ULONG_PTR kFolderKey = 2;

// A program that keeps answering without ever showing its window must not keep the driver
// asking for the whole of its patience.
constexpr int kMostQuestions = 1000;

[[noreturn]] void fail(const char* what) {
    throw std::runtime_error(std::string(what) + ": error " + std::to_string(GetLastError()));
}

// The window a WindowWatch waits for. A hook's callback carries no context of its own, and the
// driver awaits one window at a time.
struct Awaited {
    DWORD pid;
    const std::wstring* title;
    HWND window;
    double at;
};
Awaited g_awaited = {};

bool isAwaited(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != g_awaited.pid || GetAncestor(window, GA_ROOT) != window) return false;
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);  // read from the system, not asked of the busy program
    return *g_awaited.title == text;
}

// Wine 8 reports the creation of windows but not their showing, so creation is what is waited
// for here; the showing is part of being ready (awaitReady).
void CALLBACK onWindowCreated(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
    const double at = now();
    if (g_awaited.window || object != OBJID_WINDOW || child != CHILDID_SELF || !isAwaited(window)) return;
    g_awaited.window = window;
    g_awaited.at = at;
}

// Runs whatever the system has queued for the driver, the hook's reports among them.
void runQueued() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

DWORD remaining(double deadline) {
    const double left = deadline - now();
    return left > 0 ? static_cast<DWORD>(left) + 1 : 0;
}

BOOL CALLBACK countUnpainted(HWND child, LPARAM count) {
    if (GetUpdateRect(child, nullptr, FALSE)) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// The system keeps each window's part still to be painted; another process may read it.
bool nothingToPaint(HWND window) {
    int unpainted = GetUpdateRect(window, nullptr, FALSE) ? 1 : 0;
    EnumChildWindows(window, countUnpainted, reinterpret_cast<LPARAM>(&unpainted));
    return unpainted == 0;
}

bool hasContent(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) && (data.nFileSizeLow || data.nFileSizeHigh);
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

WindowWatch::WindowWatch(DWORD pid, const std::wstring& title) {
    g_awaited = {pid, &title, nullptr, 0};
    // Out of context: the program loads nothing of the driver's; its reports come to the
    // driver's message queue. Only this process's windows are reported.
    hook_ = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, onWindowCreated, pid, 0,
                            WINEVENT_OUTOFCONTEXT);
    if (!hook_) fail("cannot watch for the program's window");
}

WindowWatch::~WindowWatch() {
    UnhookWinEvent(hook_);
    g_awaited = {};
}

HWND WindowWatch::await(HANDLE process, DWORD patienceMs, double& createdAt) {
    const double deadline = now() + patienceMs;
    while (!g_awaited.window) {
        const DWORD woken = MsgWaitForMultipleObjects(1, &process, FALSE, remaining(deadline), QS_ALLINPUT);
        runQueued();  // a report may have come in before the program ended
        if (woken != WAIT_OBJECT_0 + 1) break;
    }
    createdAt = g_awaited.at;
    return g_awaited.window;
}

bool awaitReady(HWND window, DWORD patienceMs, double& readyAt, int& questions) {
    const double deadline = now() + patienceMs;
    questions = 0;
    while (questions < kMostQuestions) {
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, remaining(deadline), &answer)) return false;
        const double answeredAt = now();
        ++questions;
        if (IsWindowVisible(window) && nothingToPaint(window)) {
            readyAt = answeredAt;
            return true;
        }
    }
    return false;
}

LaunchWatch::LaunchWatch(HANDLE program, DWORD pid, const std::wstring& folder, const std::wstring& record)
    : pid_(pid), record_(record) {
    port_ = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    job_ = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {reinterpret_cast<void*>(kJobKey), port_};
    if (!port_ || !job_ ||
        !SetInformationJobObject(job_, JobObjectAssociateCompletionPortInformation, &association, sizeof association) ||
        !AssignProcessToJobObject(job_, program))
        fail("cannot follow the program in a job");
    folder_ = CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (folder_ == INVALID_HANDLE_VALUE || !CreateIoCompletionPort(folder_, port_, kFolderKey, 0) || !watchFolder())
        fail("cannot watch the game folder");
}

LaunchWatch::~LaunchWatch() {
    // The system writes into changes_ until the watch is cancelled; wait for the cancellation's
    // report before the buffer goes.
    if (folder_ != INVALID_HANDLE_VALUE && CancelIoEx(folder_, &pending_)) {
        for (;;) {
            DWORD bytes = 0;
            ULONG_PTR key = 0;
            LPOVERLAPPED overlapped = nullptr;
            const BOOL reported = GetQueuedCompletionStatus(port_, &bytes, &key, &overlapped, 1000);
            if ((!reported && !overlapped) || key == kFolderKey) break;  // given up, or the cancellation
        }
    }
    if (folder_ != INVALID_HANDLE_VALUE) CloseHandle(folder_);
    if (job_) CloseHandle(job_);
    if (port_) CloseHandle(port_);
}

bool LaunchWatch::watchFolder() {
    pending_ = {};
    const DWORD changes = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;
    return ReadDirectoryChangesW(folder_, changes_, sizeof changes_, FALSE, changes, nullptr, &pending_, nullptr);
}

void LaunchWatch::onJobReport(DWORD message, DWORD pid, LaunchMoments& moments, double at) const {
    if (message == JOB_OBJECT_MSG_NEW_PROCESS && pid != pid_ && !moments.gameStarted) moments.gameStarted = at;
    if ((message == JOB_OBJECT_MSG_EXIT_PROCESS || message == JOB_OBJECT_MSG_ABNORMAL_EXIT_PROCESS) && pid == pid_ &&
        !moments.ended)
        moments.ended = at;
    // Anything else is the program's own joining or the game's end.
}

bool LaunchWatch::await(DWORD patienceMs, LaunchMoments& moments) {
    const double deadline = now() + patienceMs;
    while (!(moments.gameStarted && moments.ended && moments.record)) {
        DWORD bytes = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED overlapped = nullptr;
        const BOOL reported = GetQueuedCompletionStatus(port_, &bytes, &key, &overlapped, remaining(deadline));
        const double at = now();
        if (!reported && !overlapped) return false;  // out of patience
        if (key == kJobKey) {
            // A job's report carries the process id where a transfer would carry its OVERLAPPED.
            onJobReport(bytes, static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(overlapped)), moments, at);
        } else if (key == kFolderKey) {
            // Any change in the folder (or too many to list) is a reason to look at the record.
            if (!moments.record && hasContent(record_)) moments.record = at;
            if (!watchFolder()) fail("cannot go on watching the game folder");
        }
    }
    return true;
}

void LaunchWatch::endAll() const { TerminateJobObject(job_, 0); }

}  // namespace bench
