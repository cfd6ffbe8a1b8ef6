#include "platform/Platform.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <iostream>
#include <stdexcept>

// windows.h comes first: the other system headers build on it.
#include <windows.h>

#include <commdlg.h>
#include <psapi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

namespace Platform {

namespace {

std::atomic<bool> stopRequested{false};

BOOL WINAPI OnConsoleControl(DWORD)
{
    stopRequested = true;
    return TRUE;
}

std::wstring Wide(const std::string& text)
{
    return PathFromUtf8(text).wstring();
}

std::string Utf8(const std::wstring& text)
{
    return Utf8FromPath(std::filesystem::path(text));
}

std::wstring ModulePath()
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring Lower(std::wstring text)
{
    CharLowerBuffW(text.data(), DWORD(text.size()));
    return text;
}

// One argument quoted the way the C runtime's parser splits it again: backslashes are literal
// unless they come before a double quote.
std::wstring Quoted(const std::wstring& argument)
{
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

bool Start(const std::wstring& executable, std::wstring commandLine)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(executable.empty() ? nullptr : executable.c_str(), commandLine.data(), nullptr,
                        nullptr, FALSE, CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

} // namespace

std::optional<ProgramRun> RunProgramMeasured(const std::vector<std::string>& arguments)
{
    if (arguments.empty()) {
        return std::nullopt;
    }
    std::wstring commandLine;
    for (const std::string& argument : arguments) {
        commandLine += (commandLine.empty() ? L"" : L" ") + Quoted(Wide(argument));
    }
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    PROCESS_INFORMATION process = {};
    const auto start = std::chrono::steady_clock::now();
    const bool started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    if (nul != INVALID_HANDLE_VALUE) {
        CloseHandle(nul);
    }
    if (!started) {
        return std::nullopt;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    ProgramRun run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    PROCESS_MEMORY_COUNTERS counters = {};
    if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof counters)) {
        run.peakMemoryBytes = counters.PeakWorkingSetSize;
    }
    DWORD code = 0;
    run.exitCode = GetExitCodeProcess(process.hProcess, &code) ? int(code) : -1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

bool SpawnDetached(const std::vector<std::string>& arguments)
{
    if (arguments.empty() || arguments[0].empty()) {
        return false;
    }
    std::wstring commandLine;
    for (const std::string& argument : arguments) {
        commandLine += (commandLine.empty() ? L"" : L" ") + Quoted(Wide(argument));
    }
    return Start({}, commandLine);
}

void ShowOpenFileDialog(std::function<void(const std::string&)> onChosen)
{
    std::wstring chosen(32768, L'\0');
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFilter = L"ARXML files (*.arxml, *.zip)\0*.arxml;*.zip\0All files\0*.*\0";
    dialog.lpstrFile = chosen.data();
    dialog.nMaxFile = DWORD(chosen.size());
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&dialog)) {
        onChosen("");
        return;
    }
    chosen.resize(wcslen(chosen.c_str()));
    onChosen(Utf8(chosen));
}

void ShowOpenFolderDialog(std::function<void(const std::string&)> onChosen)
{
    BROWSEINFOW dialog = {};
    dialog.lpszTitle = L"Open Folder";
    dialog.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&dialog);
    if (!item) {
        onChosen("");
        return;
    }
    std::wstring chosen(32768, L'\0');
    bool named = SHGetPathFromIDListEx(item, chosen.data(), DWORD(chosen.size()), GPFIDL_DEFAULT);
    CoTaskMemFree(item);
    chosen.resize(named ? wcslen(chosen.c_str()) : 0);
    onChosen(Utf8(chosen));
}

void LaunchInstance(const std::string& arguments)
{
    std::wstring executable = ModulePath();
    if (executable.empty()) {
        std::cerr << "Cannot start a new window: the program's own path is unknown" << std::endl;
        return;
    }
    // The new copy takes its whole command line as one path and drops the enclosing quotes.
    std::wstring commandLine = Quoted(executable);
    if (!arguments.empty()) {
        commandLine += L" \"" + Wide(arguments) + L"\"";
    }
    if (!Start(executable, commandLine)) {
        std::cerr << "Cannot start a new window: " << Utf8(executable) << std::endl;
    }
}

void ShowFailure(const std::string& message)
{
    std::cerr << "tessaro: " << message << std::endl; // seen only when started from a console
    MessageBoxW(nullptr, Wide(message).c_str(), L"Tessaro", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

std::string GetExecutablePath()
{
    return Utf8(ModulePath());
}

std::string GetExecutableName()
{
    std::string path = GetExecutablePath();
    size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

int CountProcessesNamed(const std::string& name)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return 0;
    }
    const std::wstring wanted = Lower(Wide(name));
    int count = 0;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        count += Lower(entry.szExeFile) == wanted ? 1 : 0;
    }
    CloseHandle(snapshot);
    return count;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(Utf8(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

void IgnoreClosedStreams()
{
    // Writing to a closed pipe fails with an error here; nothing ends the process.
}

void CatchStopRequests()
{
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool StopRequested()
{
    return stopRequested;
}

std::optional<std::string> ReadEnvironment(const char* name)
{
    const std::wstring wideName = Wide(name);
    DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size <= 1) {
        return std::nullopt;
    }
    std::wstring value(size, L'\0');
    size = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
    value.resize(size);
    if (value.empty()) {
        return std::nullopt;
    }
    return Utf8(value);
}

std::filesystem::path PathFromUtf8(const std::string& path)
{
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path)
{
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool ReplaceFileContents(const std::filesystem::path& file, const std::string& contents, std::string& error)
{
    std::filesystem::path temporary = file;
    temporary += L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    HANDLE handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = std::system_category().message(int(GetLastError()));
        return false;
    }
    size_t done = 0;
    bool written = true;
    while (written && done < contents.size()) {
        DWORD chunk = DWORD(std::min<size_t>(contents.size() - done, 1u << 30));
        DWORD wrote = 0;
        written = WriteFile(handle, contents.data() + done, chunk, &wrote, nullptr) && wrote > 0;
        done += wrote;
    }
    written = written && FlushFileBuffers(handle);
    written = CloseHandle(handle) && written;
    if (!written ||
        !MoveFileExW(temporary.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = std::system_category().message(int(GetLastError()));
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

std::optional<std::string> UserHomeFromSystem()
{
    PWSTR folder = nullptr;
    std::optional<std::string> home;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Profile, 0, nullptr, &folder)) && folder && *folder)
        home = Utf8(folder);
    CoTaskMemFree(folder);
    return home;
}

bool IsReadOnlyFile(const std::filesystem::path& file)
{
    DWORD attributes = GetFileAttributesW(file.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

void* MapPages(size_t size, size_t)
{
    // Allocation granularity (64 KiB) is the alignment Windows gives; large pages need a privilege
    // that users seldom hold.
    return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void UnmapPages(void* base, size_t)
{
    VirtualFree(base, 0, MEM_RELEASE);
}

void FaultInPages(void* base, size_t size)
{
    // A write of nothing to each page brings it in, as the first write of its user would; atomic,
    // so that no byte another thread writes meanwhile is lost.
    const uintptr_t end = reinterpret_cast<uintptr_t>(base) + size;
    for (uintptr_t at = reinterpret_cast<uintptr_t>(base); at < end; at = (at + 4096) & ~uintptr_t(4095))
        std::atomic_ref<char>(*reinterpret_cast<char*>(at)).fetch_add(0, std::memory_order_relaxed);
}

uint64_t PhysicalMemoryBytes()
{
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

int ProcessId()
{
    return int(GetCurrentProcessId());
}

bool ProcessRunning(int pid)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process) // no such process, unless it exists but is closed to us
        return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    bool running = !GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

ExclusiveFileLock::ExclusiveFileLock(const std::filesystem::path& file)
    : handle(intptr_t(CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)))
{
    if (HANDLE(handle) == INVALID_HANDLE_VALUE)
        return;
    OVERLAPPED whole = {};
    LockFileEx(HANDLE(handle), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole);
}

ExclusiveFileLock::~ExclusiveFileLock()
{
    if (HANDLE(handle) != INVALID_HANDLE_VALUE)
        CloseHandle(HANDLE(handle)); // releases the lock
}

namespace {
// The reasons a user meets most read the same as on other systems.
std::string OpenFailure(DWORD error)
{
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return std::strerror(ENOENT);
    if (error == ERROR_ACCESS_DENIED)
        return std::strerror(EACCES);
    return std::system_category().message(int(error));
}
} // namespace

ReadOnlyFile::ReadOnlyFile(const std::string& utf8Path) : handle(0), size(0)
{
    // A directory cannot be opened without backup semantics, so its attributes tell it first;
    // pipes and devices are told by their type once open.
    const std::wstring wide = Wide(utf8Path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw std::runtime_error("not a regular file");
    HANDLE file =
        CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error(OpenFailure(GetLastError()));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(file);
        throw std::runtime_error("not a regular file");
    }
    handle = intptr_t(file);
    size = (uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

ReadOnlyFile::~ReadOnlyFile()
{
    CloseHandle(HANDLE(handle));
}

size_t ReadOnlyFile::Read(char* buffer, size_t count)
{
    DWORD got = 0;
    if (!ReadFile(HANDLE(handle), buffer, DWORD(std::min<size_t>(count, 1u << 30)), &got, nullptr))
        throw std::runtime_error(std::system_category().message(int(GetLastError())));
    return got;
}

uint64_t PeakMemoryBytes()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.PeakWorkingSetSize
                                                                                 : 0;
}

void ResetPeakMemory()
{
    // Windows keeps the peak for the life of the process.
}

std::vector<double> RunIsolated(const std::function<std::vector<double>()>& work, size_t count)
{
    std::vector<double> values(count, NAN);
    try {
        std::vector<double> got = work();
        std::copy_n(got.begin(), std::min(got.size(), count), values.begin());
    } catch (...) {
    }
    return values;
}

void LowerCurrentThreadPriority()
{
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

std::optional<FileIdentity> IdentifyFile(const std::string& utf8Path)
{
    // Backup semantics open folders too; no access is asked for, so a file in use still answers.
    HANDLE file =
        CreateFileW(Wide(utf8Path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool known = GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    if (!known)
        return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
                        (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

} // namespace Platform
