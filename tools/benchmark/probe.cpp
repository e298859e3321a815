// Measures a program of the build from outside, as the pilot's desktop sees
// it, and prints what it saw as "key=value" lines for the benchmark script.
//
//   bench_probe start <exe> <appdata> <hold-ms> [picture]
//   bench_probe watch <exe> <appdata> <seconds> <sample-ms> <unix-prefix>
//   bench_probe rtt <count> <port>
#include <winsock2.h>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::printf("error=%s (%lu)\n", what, ::GetLastError());
    std::fflush(stdout);
    std::exit(2);
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    static LARGE_INTEGER frequency{};
    if (!frequency.QuadPart) ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now;
}

// Wall clock in Unix milliseconds: the status server's log uses the same.
long long UnixMilliseconds()
{
    FILETIME now;
    ::GetSystemTimePreciseAsFileTime(&now);
    const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<long long>((ticks - 116444736000000000ULL) / 10000ULL);
}

// Wine gives AppData from the Unix side unless the environment says otherwise.
std::wstring EnvironmentWithAppData(const std::wstring& appData)
{
    std::wstring block;
    wchar_t* strings = ::GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry; entry += ::wcslen(entry) + 1) {
        if (::_wcsnicmp(entry, L"APPDATA=", 8) == 0) continue;
        block.append(entry).push_back(L'\0');
    }
    ::FreeEnvironmentStringsW(strings);
    block.append(L"APPDATA=").append(appData).push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

struct Started {
    PROCESS_INFORMATION process{};
    LARGE_INTEGER at{};
};

Started Start(const std::wstring& executable, const std::wstring& appData, const std::wstring& arguments = {})
{
    std::wstring environment = EnvironmentWithAppData(appData);
    std::wstring commandLine = L"\"" + executable + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    const std::wstring folder = executable.substr(0, executable.find_last_of(L'\\'));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    Started started;
    started.at = Now();
    if (!::CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                          environment.data(), folder.c_str(), &startup, &started.process))
        Fail("start");
    return started;
}

// The program's main window: visible, captioned, not a tool window.
HWND MainWindow(DWORD processId)
{
    struct Search {
        DWORD processId;
        HWND found;
    } search{processId, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner != s.processId || !::IsWindowVisible(window)) return TRUE;
            if (::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) return TRUE;
            if ((::GetWindowLongPtrW(window, GWL_STYLE) & WS_CAPTION) != WS_CAPTION) return TRUE;
            s.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool WaitsForPaint(HWND window)
{
    RECT region;
    if (::GetUpdateRect(window, &region, FALSE)) return true;
    bool waiting = false;
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM context) -> BOOL {
            RECT r;
            if (!::GetUpdateRect(child, &r, FALSE)) return TRUE;
            *reinterpret_cast<bool*>(context) = true;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&waiting));
    return waiting;
}

// The client area as it is on the screen, 0x00RRGGBB.
struct Capture {
    int width = 0, height = 0;
    std::vector<DWORD> pixels;
    DWORD At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF; }
};

Capture CaptureClient(HWND window)
{
    RECT client{};
    ::GetClientRect(window, &client);
    POINT origin{0, 0};
    ::ClientToScreen(window, &origin);
    Capture shot;
    shot.width = client.right;
    shot.height = client.bottom;
    if (shot.width <= 0 || shot.height <= 0) return shot;
    shot.pixels.resize(static_cast<size_t>(shot.width) * shot.height);
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, shot.width, -shot.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, shot.width, shot.height, screen, origin.x, origin.y, SRCCOPY);
    ::GdiFlush();
    std::memcpy(shot.pixels.data(), bits, shot.pixels.size() * 4);
    ::SelectObject(memory, previous);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return shot;
}

// What both windows show once painted, in the launcher's layout (96 dpi
// coordinates): white margins either side, the button's frame, the check boxes'
// dark text and frames, and, for the launcher, its picture in the middle.
bool ShowsPainted(const Capture& shot, bool picture)
{
    if (shot.pixels.empty()) return false;
    const double scale = shot.width / 357.0;
    auto at = [&](int x, int y) { return shot.At(static_cast<int>(x * scale), static_cast<int>(y * scale)); };
    auto count = [&](int left, int top, int width, int height, auto&& test) {
        int n = 0;
        for (int y = top; y < top + height; ++y)
            for (int x = left; x < left + width; ++x) n += test(at(x, y)) ? 1 : 0;
        return n;
    };
    auto white = [](DWORD c) { return c == 0xFFFFFF; };
    auto dark = [](DWORD c) { return ((c >> 16 & 0xFF) + (c >> 8 & 0xFF) + (c & 0xFF)) < 3 * 128; };
    for (int y = 40; y <= 330; y += 10)
        if (!white(at(8, y)) || !white(at(345, y))) return false;
    // A frame at least: half its outline.
    if (count(226, 343, 105, 40, [&](DWORD c) { return !white(c); }) < 105 + 40) return false;
    if (count(27, 343, 97, 17, dark) < 10 || count(27, 366, 158, 17, dark) < 10) return false;
    if (picture && count(140, 140, 80, 80, [&](DWORD c) { return !white(c); }) < 80 * 80 / 2) return false;
    return true;
}

struct Painted {
    HWND window = nullptr;
    double visibleMs = 0;
    double paintedMs = 0;
    int screenChecks = 0;
};

// Visible, then idle with nothing left to paint, then painted on the screen.
Painted WaitUntilPainted(const Started& started, bool picture)
{
    Painted result;
    const DWORD id = started.process.dwProcessId;
    for (int waited = 0; !(result.window = MainWindow(id)); ++waited) {
        if (::WaitForSingleObject(started.process.hProcess, 1) == WAIT_OBJECT_0) Fail("ended before its window showed");
        if (waited > 60000) Fail("no window");
    }
    result.visibleMs = Milliseconds(started.at, Now());
    for (int tries = 0;; ++tries) {
        DWORD_PTR answer = 0;
        // Answered only once the thread is back in its message loop.
        if (!::SendMessageTimeoutW(result.window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer)) Fail("not answering");
        if (!WaitsForPaint(result.window)) {
            ++result.screenChecks;
            if (ShowsPainted(CaptureClient(result.window), picture)) break;
        }
        if (tries > 20000) Fail("never painted");
        ::Sleep(1);
    }
    result.paintedMs = Milliseconds(started.at, Now());
    return result;
}

PROCESS_MEMORY_COUNTERS Memory(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(process, &counters, sizeof counters)) Fail("memory");
    return counters;
}

void End(const Started& started)
{
    ::TerminateProcess(started.process.hProcess, 0);
    ::WaitForSingleObject(started.process.hProcess, 10000);
    ::CloseHandle(started.process.hThread);
    ::CloseHandle(started.process.hProcess);
}

int RunStart(const std::wstring& executable, const std::wstring& appData, DWORD holdMs, bool picture)
{
    // The probe's own first capture loads what it needs before the clock runs.
    CaptureClient(::GetDesktopWindow());
    const Started started = Start(executable, appData);
    const Painted painted = WaitUntilPainted(started, picture);
    const PROCESS_MEMORY_COUNTERS atPaint = Memory(started.process.hProcess);
    // Before the first poll tick (3 s): the start-up's own peak.
    ::Sleep(1000);
    const PROCESS_MEMORY_COUNTERS settled = Memory(started.process.hProcess);
    std::printf("visible_ms=%.3f\npainted_ms=%.3f\nscreen_checks=%d\n", painted.visibleMs, painted.paintedMs,
                painted.screenChecks);
    std::printf("ws_painted=%zu\npeak_ws=%zu\nws_settled=%zu\n", atPaint.WorkingSetSize, settled.PeakWorkingSetSize,
                settled.WorkingSetSize);
    if (holdMs > 1000) {
        ::Sleep(holdMs - 1000);
        const PROCESS_MEMORY_COUNTERS held = Memory(started.process.hProcess);
        std::printf("ws_held=%zu\npeak_ws_held=%zu\nheld_ms=%lu\n", held.WorkingSetSize, held.PeakWorkingSetSize,
                    static_cast<unsigned long>(holdMs));
    }
    if (::WaitForSingleObject(started.process.hProcess, 0) == WAIT_OBJECT_0) Fail("ended during the run");
    End(started);
    std::fflush(stdout);
    return 0;
}

// The Linux side of a Wine process, read through drive Z:. Wine 8 gives
// GetProcessTimes of another process as zero, and GetThreadTimes only to
// the scheduler tick (10 ms); the kernel's per-thread run time is exact.
std::string ReadUnixFile(const std::wstring& path)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read) text.append(buffer, read);
    ::CloseHandle(file);
    return text;
}

std::vector<std::wstring> NumericEntries(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (found.cFileName[0] >= L'0' && found.cFileName[0] <= L'9') names.emplace_back(found.cFileName);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return names;
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text) out.push_back(static_cast<char>(c));
    return out;
}

// The newest Unix process that runs this executable in this prefix.
std::wstring UnixProcess(const std::wstring& executable, const std::string& unixPrefix)
{
    const std::string wanted = Narrow(executable);
    const std::string prefixEntry = "WINEPREFIX=" + unixPrefix;
    std::wstring best;
    unsigned long long bestStart = 0;
    for (const std::wstring& pid : NumericEntries(L"Z:\\proc")) {
        const std::wstring folder = L"Z:\\proc\\" + pid;
        const std::string commandLine = ReadUnixFile(folder + L"\\cmdline");
        if (::_stricmp(commandLine.c_str(), wanted.c_str()) != 0) continue;
        const std::string environment = ReadUnixFile(folder + L"\\environ");
        bool inPrefix = false;
        for (size_t at = 0; at < environment.size();) {
            const size_t end = std::min(environment.find('\0', at), environment.size());
            if (environment.compare(at, end - at, prefixEntry) == 0) inPrefix = true;
            at = end + 1;
        }
        if (!inPrefix) continue;
        // Field 22 of stat, after the name in parentheses: the start time.
        const std::string stat = ReadUnixFile(folder + L"\\stat");
        const size_t close = stat.rfind(')');
        if (close == std::string::npos || stat.compare(close + 2, 1, "Z") == 0) continue;
        const char* field = stat.c_str() + close + 2;
        for (int i = 3; i < 22 && field; ++i) field = std::strchr(field, ' ') ? std::strchr(field, ' ') + 1 : nullptr;
        const unsigned long long start = field ? std::strtoull(field, nullptr, 10) : 0;
        if (best.empty() || start >= bestStart) {
            best = folder;
            bestStart = start;
        }
    }
    return best;
}

// The Wine server of the prefix: it does part of what a Windows kernel would
// for the launcher, and its time is not in the launcher's.
std::wstring WineServerProcess(const std::string& unixPrefix)
{
    const std::string prefixEntry = "WINEPREFIX=" + unixPrefix;
    for (const std::wstring& pid : NumericEntries(L"Z:\\proc")) {
        const std::wstring folder = L"Z:\\proc\\" + pid;
        const std::string commandLine = ReadUnixFile(folder + L"\\cmdline");
        const std::string program = commandLine.substr(0, commandLine.find('\0'));
        if (program.find("wineserver") == std::string::npos) continue;
        const std::string environment = ReadUnixFile(folder + L"\\environ");
        for (size_t at = 0; at < environment.size();) {
            const size_t end = std::min(environment.find('\0', at), environment.size());
            if (environment.compare(at, end - at, prefixEntry) == 0) return folder;
            at = end + 1;
        }
    }
    return {};
}

// Run time of every thread of a process, in nanoseconds. The files stay
// open and are read again from their start: opening one is a request to the
// Wine server, whose own run time is measured too. The thread list is
// looked at again once a second.
class RunTime {
public:
    explicit RunTime(std::wstring folder) : folder_(std::move(folder)) { Refresh(); }
    ~RunTime()
    {
        for (auto& [tid, file] : files_) ::CloseHandle(file);
    }
    RunTime(const RunTime&) = delete;
    RunTime& operator=(const RunTime&) = delete;

    std::pair<unsigned long long, int> Read()
    {
        if (++reads_ % 10 == 0) Refresh();
        unsigned long long total = 0;
        int threads = 0;
        for (auto& [tid, file] : files_) {
            char buffer[128];
            DWORD read = 0;
            OVERLAPPED start{};
            if (!::ReadFile(file, buffer, sizeof buffer - 1, &read, &start) || !read) continue;
            buffer[read] = '\0';
            total += std::strtoull(buffer, nullptr, 10);
            ++threads;
        }
        return {total, threads};
    }

private:
    void Refresh()
    {
        const std::vector<std::wstring> tids = NumericEntries(folder_ + L"\\task");
        for (auto it = files_.begin(); it != files_.end();) {
            if (std::find(tids.begin(), tids.end(), it->first) == tids.end()) {
                ::CloseHandle(it->second);
                it = files_.erase(it);
            } else {
                ++it;
            }
        }
        for (const std::wstring& tid : tids) {
            if (files_.count(tid)) continue;
            HANDLE file = ::CreateFileW((folder_ + L"\\task\\" + tid + L"\\schedstat").c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
            if (file != INVALID_HANDLE_VALUE) files_[tid] = file;
        }
    }

    std::wstring folder_;
    std::map<std::wstring, HANDLE> files_;
    unsigned reads_ = 0;
};

// utime + stime of the whole process, in scheduler ticks, exited threads
// included: a coarse cross-check of the sum above.
unsigned long long ProcessTicks(const std::wstring& folder)
{
    const std::string stat = ReadUnixFile(folder + L"\\stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) return 0;
    const char* field = stat.c_str() + close + 2;
    for (int i = 3; i < 14 && field; ++i) field = std::strchr(field, ' ') ? std::strchr(field, ' ') + 1 : nullptr;
    if (!field) return 0;
    char* end = nullptr;
    const unsigned long long user = std::strtoull(field, &end, 10);
    return user + std::strtoull(end, nullptr, 10);
}

// The local UDP ports of the process's sockets: its fds' inodes looked up in
// the kernel's table. Tells its requests from those of any other program
// that polls the same server.
std::string UdpPorts(const std::wstring& folder)
{
    std::vector<std::string> inodes;
    for (const std::wstring& fd : NumericEntries(folder + L"\\fdinfo")) {
        const std::string info = ReadUnixFile(folder + L"\\fdinfo\\" + fd);
        const size_t at = info.find("\nino:");
        if (at != std::string::npos) inodes.push_back(std::to_string(std::strtoull(info.c_str() + at + 5, nullptr, 10)));
    }
    std::string ports;
    const std::string table = ReadUnixFile(folder + L"\\net\\udp");
    for (size_t at = table.find('\n'); at != std::string::npos && at + 1 < table.size(); at = table.find('\n', at + 1)) {
        const std::string row = table.substr(at + 1, table.find('\n', at + 1) - at - 1);
        char local[64] = "";
        unsigned long long inode = 0;
        if (std::sscanf(row.c_str(), "%*s %63s %*s %*s %*s %*s %*s %*s %*s %llu", local, &inode) != 2) continue;
        for (const std::string& mine : inodes) {
            if (mine != std::to_string(inode)) continue;
            const char* colon = std::strchr(local, ':');
            if (!colon) continue;
            if (!ports.empty()) ports += ',';
            ports += std::to_string(std::strtoul(colon + 1, nullptr, 16));
        }
    }
    return ports;
}

// The floor is given the status server's port, and shows no picture.
int RunWatch(const std::wstring& executable, const std::wstring& appData, DWORD seconds, DWORD sampleMs,
             const std::string& unixPrefix, const std::wstring& floorPort = {})
{
    CaptureClient(::GetDesktopWindow());
    const Started started = Start(executable, appData, floorPort);
    const Painted painted = WaitUntilPainted(started, floorPort.empty());
    const long long paintedAt = UnixMilliseconds();
    const std::wstring hostProcess = UnixProcess(executable, unixPrefix);
    if (hostProcess.empty()) Fail("no Unix process");
    const std::wstring server = WineServerProcess(unixPrefix);
    if (server.empty()) Fail("no Wine server");
    const unsigned long long ticksBefore = ProcessTicks(hostProcess);

    struct Sample {
        long long at;
        unsigned long long runNs;
        int threads;
        unsigned long long serverNs;
    };
    std::vector<Sample> samples;
    samples.reserve(static_cast<size_t>(seconds) * 1000 / sampleMs + 2);
    RunTime launcherTime(hostProcess);
    RunTime serverTime(server);
    const LARGE_INTEGER begin = Now();
    for (DWORD n = 0;; ++n) {
        const auto [runNs, threads] = launcherTime.Read();
        const unsigned long long serverNs = serverTime.Read().first;
        samples.push_back({UnixMilliseconds(), runNs, threads, serverNs});
        if (Milliseconds(begin, Now()) >= seconds * 1000.0) break;
        const double next = (n + 1.0) * sampleMs - Milliseconds(begin, Now());
        if (next > 0) ::Sleep(static_cast<DWORD>(next));
    }
    const unsigned long long ticksAfter = ProcessTicks(hostProcess);
    const std::string ports = UdpPorts(hostProcess);
    const PROCESS_MEMORY_COUNTERS memory = Memory(started.process.hProcess);
    if (::WaitForSingleObject(started.process.hProcess, 0) == WAIT_OBJECT_0) Fail("ended during the run");
    End(started);

    std::printf("painted_ms=%.3f\npainted_unix_ms=%lld\nunix_process=%s\n", painted.paintedMs, paintedAt,
                Narrow(hostProcess).c_str());
    std::printf("udp_ports=%s\n", ports.c_str());
    std::printf("stat_ticks=%llu\nws_end=%zu\npeak_ws_end=%zu\n", ticksAfter - ticksBefore, memory.WorkingSetSize,
                memory.PeakWorkingSetSize);
    for (const Sample& s : samples) std::printf("sample %lld %llu %d %llu\n", s.at, s.runNs, s.threads, s.serverNs);
    std::fflush(stdout);
    return 0;
}

// The launcher's exchange, done by the probe itself: one "TPv2.0" datagram
// to the status server on loopback, timed until its reply.
int RunRoundTrips(int count, unsigned short port)
{
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data)) Fail("winsock");
    SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) Fail("socket");
    sockaddr_in any{};
    any.sin_family = AF_INET;
    if (::bind(s, reinterpret_cast<const sockaddr*>(&any), sizeof any)) Fail("bind");
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = ::htons(port);
    server.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    static const char request[] = "TPv2.0";
    int lost = 0;
    std::vector<double> times;
    // The first few warm the path; they are not counted.
    for (int i = -10; i < count; ++i) {
        const LARGE_INTEGER sent = Now();
        ::sendto(s, request, 6, 0, reinterpret_cast<const sockaddr*>(&server), sizeof server);
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        timeval wait{0, 500000};
        char reply[512];
        int received = -1;
        if (::select(0, &readable, nullptr, nullptr, &wait) == 1) received = ::recv(s, reply, sizeof reply, 0);
        const LARGE_INTEGER back = Now();
        if (i < 0) continue;
        if (received <= 0) {
            ++lost;
            continue;
        }
        times.push_back(Milliseconds(sent, back) * 1000.0);
    }
    ::closesocket(s);
    std::printf("rtt_lost=%d\n", lost);
    for (double t : times) std::printf("rtt_us %.1f\n", t);
    std::fflush(stdout);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    ::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"start" && (argc == 5 || argc == 6))
        return RunStart(argv[2], argv[3], static_cast<DWORD>(::_wtoi(argv[4])),
                        argc == 6 && std::wstring(argv[5]) == L"picture");
    if (mode == L"watch" && (argc == 7 || argc == 8))
        return RunWatch(argv[2], argv[3], static_cast<DWORD>(::_wtoi(argv[4])), static_cast<DWORD>(::_wtoi(argv[5])),
                        Narrow(argv[6]), argc == 8 ? argv[7] : L"");
    if (mode == L"rtt" && argc == 4) return RunRoundTrips(::_wtoi(argv[2]), static_cast<unsigned short>(::_wtoi(argv[3])));
    std::fputs("usage: bench_probe start <exe> <appdata> <hold-ms> [picture]\n"
               "       bench_probe watch <exe> <appdata> <seconds> <sample-ms> <unix-prefix> [<floor's port>]\n"
               "       bench_probe rtt <count> <port>\n",
               stderr);
    return 2;
}
