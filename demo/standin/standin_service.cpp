// Stand-in for the stack's server programs (built as httpd.exe and as
// mysqld-nt.exe) so the control panel's service handling can be exercised
// without the real servers. It only behaves like a service; it serves nothing.
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <cwchar>

namespace {

DWORD g_stopDelayMs = 0;
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
SERVICE_STATUS g_status = {SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, 0, NO_ERROR, 0, 0, 0};
HANDLE g_stopEvent = nullptr;
// A second STOP may arrive while stopping; only the first may touch the event,
// because the service main closes it once it has been signalled.
std::atomic<bool> g_stopRequested{false};

void Report(DWORD state, DWORD waitHint = 0) {
    g_status.dwCurrentState = state;
    g_status.dwWaitHint = waitHint;
    g_status.dwCheckPoint = (state == SERVICE_RUNNING || state == SERVICE_STOPPED) ? 0 : g_status.dwCheckPoint + 1;
    SetServiceStatus(g_statusHandle, &g_status);
}

// The handler runs on the dispatcher thread and must return promptly (the
// service manager times control requests out), so the slow part of stopping
// is done by the service main rather than here.
DWORD WINAPI Handler(DWORD control, DWORD, LPVOID, LPVOID) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        if (!g_stopRequested.exchange(true)) {
            Report(SERVICE_STOP_PENDING, 2000);
            SetEvent(g_stopEvent);
        }
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
    // The name is ignored for an own-process service.
    g_statusHandle = RegisterServiceCtrlHandlerExW(L"", Handler, nullptr);
    if (!g_statusHandle) return;  // nothing to report to
    g_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!g_stopEvent) {
        g_status.dwWin32ExitCode = GetLastError();
        Report(SERVICE_STOPPED);
        return;
    }
    g_status.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    Report(SERVICE_RUNNING);
    WaitForSingleObject(g_stopEvent, INFINITE);
    // Mimic a slow server; keep the checkpoint moving so callers polling the
    // status do not give up during a long delay.
    for (DWORD left = g_stopDelayMs; left > 0;) {
        const DWORD slice = left < 1000 ? left : 1000;
        Sleep(slice);
        left -= slice;
        Report(SERVICE_STOP_PENDING, 2000);
    }
    CloseHandle(g_stopEvent);
    Report(SERVICE_STOPPED);
}

bool ParseNumber(const wchar_t* text, DWORD& out) {
    wchar_t* end = nullptr;
    const unsigned long value = std::wcstoul(text, &end, 10);
    if (end == text || *end != L'\0' || *text == L'-') return false;
    out = static_cast<DWORD>(value);
    return true;
}

}  // namespace

int wmain(int, wchar_t**) {
    // Parse the raw command line so options placed in a service's binPath are
    // seen the same way as options given on a console.
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return 1;
    bool plain = false, ok = true;
    DWORD plainSeconds = 0;
    for (int i = 1; i < argc && ok; ++i) {
        // Anything else is ignored: the stand-in may be installed with the
        // real server's binPath arguments.
        if (std::wcscmp(argv[i], L"--stop-delay-ms") == 0)
            ok = i + 1 < argc && ParseNumber(argv[++i], g_stopDelayMs);
        else if (std::wcscmp(argv[i], L"--plain") == 0)
            ok = plain = i + 1 < argc && ParseNumber(argv[++i], plainSeconds);
    }
    LocalFree(argv);
    if (!ok) {
        std::fputs("usage: [--stop-delay-ms N] [--plain SECONDS]\n", stderr);
        return 2;
    }

    if (!plain) {
        wchar_t emptyName[] = L"";
        const SERVICE_TABLE_ENTRYW table[] = {{emptyName, ServiceMain}, {nullptr, nullptr}};
        if (StartServiceCtrlDispatcherW(table)) return 0;
        if (GetLastError() != ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) return 1;
        // Started from a console or a test: stand in for a while, but never
        // block forever.
        plainSeconds = 30;
    }
    const ULONGLONG ms = static_cast<ULONGLONG>(plainSeconds) * 1000;
    Sleep(ms < INFINITE ? static_cast<DWORD>(ms) : INFINITE - 1);
    return 0;
}
