#include "platform/Platform.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <thread>

#include <cmath>
#include <cstdlib>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sched.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace Platform {

namespace {

constexpr const char* kDeletedSuffix = " (deleted)";

// Target of a /proc symbolic link, or "" when it cannot be read (errno tells why).
std::string ReadLink(const std::string& link)
{
    std::string buffer(256, '\0');
    for (;;) {
        ssize_t n = ::readlink(link.c_str(), buffer.data(), buffer.size());
        if (n < 0) {
            return {};
        }
        if (size_t(n) < buffer.size()) {
            buffer.resize(size_t(n));
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

// The kernel appends " (deleted)" to the executable of a process whose file was removed or
// replaced (a rebuild does that); the name is still that of the file it was started from.
std::string WithoutDeletedSuffix(std::string path)
{
    size_t suffixLength = std::strlen(kDeletedSuffix);
    if (path.size() > suffixLength && path.ends_with(kDeletedSuffix)) {
        std::error_code error;
        if (!std::filesystem::exists(path, error)) {
            path.resize(path.size() - suffixLength);
        }
    }
    return path;
}

std::string BaseName(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

struct ProcessName
{
    std::string name; // "" for kernel threads, zombies and vanished processes
    bool truncated;   // a command name, cut by the kernel to its first 15 bytes
};

ProcessName NameOfProcess(const std::string& pid)
{
    std::string procDirectory = "/proc/" + pid;
    std::string exe = ReadLink(procDirectory + "/exe");
    int reason = errno;
    if (!exe.empty()) {
        return {BaseName(WithoutDeletedSuffix(exe)), false};
    }
    // Another user's process hides its executable; its command name is the next best thing.
    if (reason != EACCES && reason != EPERM) {
        return {"", false};
    }
    std::ifstream comm(procDirectory + "/comm");
    std::string name;
    std::getline(comm, name);
    return {name, true};
}

bool NameMatches(const ProcessName& process, const std::string& wanted)
{
    if (process.name.empty()) {
        return false;
    }
    if (process.truncated && process.name.size() == 15 && wanted.size() > 15) {
        return Lower(process.name) == Lower(wanted.substr(0, 15));
    }
    return Lower(process.name) == Lower(wanted);
}

std::vector<char*> ArgumentPointers(const std::vector<std::string>& arguments)
{
    std::vector<char*> pointers;
    for (const auto& argument : arguments) {
        pointers.push_back(const_cast<char*>(argument.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Spawn attributes shared by every child: default signal handling and an empty signal mask, so
// that whatever this process ignores or blocks does not leak into the programs it starts.
class SpawnSetup
{
public:
    explicit SpawnSetup(bool newSession)
    {
        posix_spawnattr_init(&attributes);
        sigset_t signals;
        sigemptyset(&signals);
        posix_spawnattr_setsigmask(&attributes, &signals);
        sigfillset(&signals);
        posix_spawnattr_setsigdefault(&attributes, &signals);
        short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
        if (newSession) {
            flags |= POSIX_SPAWN_SETSID;
        }
        posix_spawnattr_setflags(&attributes, flags);
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // Closes every descriptor from 3 up in the child (the window system's, open files).
    void CloseOthers() { posix_spawn_file_actions_addclosefrom_np(&actions, 3); }

    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
};

pid_t WaitFor(pid_t pid, int& status)
{
    pid_t result;
    do {
        result = ::waitpid(pid, &status, 0);
    } while (result < 0 && errno == EINTR);
    return result;
}

struct Captured
{
    bool started = false;
    bool succeeded = false; // exited with status 0
    std::string output;
};

// Runs a program found on PATH, waits for it and returns what it wrote on standard output.
Captured RunAndCapture(const std::vector<std::string>& arguments)
{
    Captured captured;
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return captured;
    }
    SpawnSetup setup(false);
    posix_spawn_file_actions_adddup2(&setup.actions, pipeEnds[1], STDOUT_FILENO);
    setup.CloseOthers();
    std::vector<char*> argv = ArgumentPointers(arguments);
    pid_t pid = 0;
    int error = posix_spawnp(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), environ);
    ::close(pipeEnds[1]);
    if (error != 0) {
        ::close(pipeEnds[0]);
        return captured;
    }
    captured.started = true;
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(pipeEnds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        captured.output.append(buffer, size_t(n));
    }
    ::close(pipeEnds[0]);
    int status = 0;
    captured.succeeded = WaitFor(pid, status) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return captured;
}

volatile std::sig_atomic_t stopRequested = 0;

void OnStopSignal(int)
{
    stopRequested = 1;
}

bool WriteAll(int fd, const char* data, size_t size)
{
    size_t written = 0;
    while (written < size) {
        ssize_t n = ::write(fd, data + written, size - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        written += size_t(n);
    }
    return true;
}

} // namespace

bool SpawnDetached(const std::vector<std::string>& arguments)
{
    if (arguments.empty() || arguments[0].empty()) {
        return false;
    }
    SpawnSetup setup(true);
    setup.CloseOthers();
    std::vector<char*> argv = ArgumentPointers(arguments);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), environ) != 0) {
        return false;
    }
    // Reaping this one child by its id leaves no zombie and touches no other child of the
    // caller, unlike a SIGCHLD handler would. The thread lives as long as the child does.
    try {
        std::thread([pid] {
            int status = 0;
            WaitFor(pid, status);
        }).detach();
    } catch (const std::system_error&) {
        // Without a thread the child stays a zombie until this process ends; it still runs.
    }
    return true;
}

namespace {
// The first dialog program that starts decides; its answer, trailing newline removed, is the path.
void RunChooser(const std::vector<std::vector<std::string>>& dialogs,
                const std::function<void(const std::string&)>& onChosen)
{
    for (const auto& dialog : dialogs) {
        Captured captured = RunAndCapture(dialog);
        if (!captured.started) {
            continue;
        }
        std::string path = captured.succeeded ? captured.output : std::string();
        if (path.ends_with('\n')) {
            path.pop_back();
        }
        onChosen(path);
        return;
    }
    std::cerr << "No file dialog available: install zenity or kdialog" << std::endl;
    onChosen("");
}

std::atomic<bool> chooserOpen{false};

// The dialog program runs as long as the user looks at it: waited for on a thread of its own.
void RunChooserAside(std::vector<std::vector<std::string>> dialogs,
                     std::function<void(const std::string&)> onChosen)
{
    if (chooserOpen.exchange(true)) {
        return;
    }
    auto run = [dialogs = std::move(dialogs), onChosen = std::move(onChosen)] {
        RunChooser(dialogs, [&](const std::string& path) {
            chooserOpen = false;
            onChosen(path);
        });
    };
    try {
        std::thread(run).detach();
    } catch (const std::system_error&) {
        run(); // without a thread the window waits, as it must for a modal dialog
    }
}
} // namespace

void ShowOpenFileDialog(std::function<void(const std::string&)> onChosen)
{
    RunChooserAside(
        {{"zenity", "--file-selection", "--title=Open File",
          "--file-filter=ARXML files (*.arxml, *.zip) | *.arxml *.zip", "--file-filter=All files | *"},
         {"kdialog", "--getopenfilename", ".", "ARXML files (*.arxml *.zip)\nAll files (*)", "--title",
          "Open File"}},
        std::move(onChosen));
}

void ShowOpenFolderDialog(std::function<void(const std::string&)> onChosen)
{
    RunChooserAside({{"zenity", "--file-selection", "--directory", "--title=Open Folder"},
                     {"kdialog", "--getexistingdirectory", ".", "--title", "Open Folder"}},
                    std::move(onChosen));
}

void LaunchInstance(const std::string& arguments)
{
    std::string executable = GetExecutablePath();
    if (executable.empty()) {
        std::cerr << "Cannot start a new window: the program's own path is unknown" << std::endl;
        return;
    }
    std::vector<std::string> command = {executable};
    if (!arguments.empty()) {
        command.push_back(arguments);
    }
    if (!SpawnDetached(command)) {
        std::cerr << "Cannot start a new window: " << executable << std::endl;
    }
}

void ShowFailure(const std::string& message)
{
    std::cerr << "tessaro: " << message << std::endl;
    if (!ReadEnvironment("DISPLAY") && !ReadEnvironment("WAYLAND_DISPLAY"))
        return;
    // Whichever box program the desktop has; without one the line above is all there is.
    if (!SpawnDetached({"zenity", "--error", "--no-markup", "--title=Tessaro", "--text=" + message}))
        SpawnDetached({"kdialog", "--title", "Tessaro", "--error", message});
}

std::string GetExecutablePath()
{
    return WithoutDeletedSuffix(ReadLink("/proc/self/exe"));
}

std::string GetExecutableName()
{
    return BaseName(GetExecutablePath());
}

int CountProcessesNamed(const std::string& name)
{
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) {
        return 0;
    }
    int count = 0;
    while (dirent* entry = ::readdir(proc)) {
        std::string pid = entry->d_name;
        if (pid.empty() ||
            !std::all_of(pid.begin(), pid.end(), [](unsigned char c) { return std::isdigit(c); })) {
            continue;
        }
        count += NameMatches(NameOfProcess(pid), name) ? 1 : 0;
    }
    ::closedir(proc);
    return count;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

void CatchStopRequests()
{
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr); // the launching terminal closed
}

void IgnoreClosedStreams()
{
    std::signal(SIGPIPE, SIG_IGN);
}

bool StopRequested()
{
    return stopRequested != 0;
}

std::optional<std::string> ReadEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

std::filesystem::path PathFromUtf8(const std::string& path)
{
    return std::filesystem::path(path);
}

std::string Utf8FromPath(const std::filesystem::path& path)
{
    return path.string();
}

bool ReplaceFileContents(const std::filesystem::path& file, const std::string& contents, std::string& error)
{
    std::filesystem::path temporary = file;
    temporary += "." + std::to_string(::getpid()) + ".tmp";
    struct stat existing;
    const bool replacing = ::stat(file.c_str(), &existing) == 0;
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    bool written = true;
    if (replacing) {
        // A user who made the file private keeps it private; the owner only passes where the
        // system allows (to oneself, or by an administrator), else the new file is this user's.
        [[maybe_unused]] const bool ownerKept = ::fchown(fd, existing.st_uid, existing.st_gid) == 0 ||
                                                ::fchown(fd, uid_t(-1), existing.st_gid) == 0;
        written = ::fchmod(fd, existing.st_mode & 07777) == 0;
    }
    written = written && WriteAll(fd, contents.data(), contents.size()) && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (!written || ::rename(temporary.c_str(), file.c_str()) != 0) {
        error = std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::optional<std::string> UserHomeFromSystem()
{
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
    passwd entry;
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir || *found->pw_dir == '\0')
        return std::nullopt;
    return std::string(found->pw_dir);
}

bool IsReadOnlyFile(const std::filesystem::path& file)
{
    struct stat status;
    if (::stat(file.c_str(), &status) != 0)
        return false;
    if (status.st_uid == ::geteuid())
        return (status.st_mode & S_IWUSR) == 0;
    return (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(file.c_str(), W_OK) != 0;
}

std::optional<ProgramRun> RunProgramMeasured(const std::vector<std::string>& arguments)
{
    if (arguments.empty()) {
        return std::nullopt;
    }
    SpawnSetup setup(false);
    setup.CloseOthers();
    posix_spawn_file_actions_addopen(&setup.actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&setup.actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv = ArgumentPointers(arguments);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), environ) != 0) {
        return std::nullopt;
    }
    int status = 0;
    struct rusage usage = {};
    pid_t waited;
    do {
        waited = ::wait4(pid, &status, 0, &usage);
    } while (waited < 0 && errno == EINTR);
    if (waited != pid) {
        return std::nullopt;
    }
    ProgramRun run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakMemoryBytes = uint64_t(usage.ru_maxrss) * 1024; // kilobytes on Linux
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

void* MapPages(size_t size, size_t alignment)
{
    // Mapped with room to spare and trimmed to the aligned part.
    size_t request = size + alignment;
    void* raw = ::mmap(nullptr, request, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) {
        return nullptr;
    }
    uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    uintptr_t aligned = (start + alignment - 1) & ~(uintptr_t(alignment) - 1);
    if (aligned > start) {
        ::munmap(raw, aligned - start);
    }
    size_t tail = (start + request) - (aligned + size);
    if (tail > 0) {
        ::munmap(reinterpret_cast<void*>(aligned + size), tail);
    }
    ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void UnmapPages(void* base, size_t size)
{
    ::munmap(base, size);
}

void FaultInPages(void* base, size_t size)
{
    const size_t page = size_t(std::max(::sysconf(_SC_PAGESIZE), 4096L));
    const uintptr_t start = reinterpret_cast<uintptr_t>(base) & ~(page - 1);
    const uintptr_t end = reinterpret_cast<uintptr_t>(base) + size;
#if defined(MADV_POPULATE_WRITE)
    if (::madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_WRITE) == 0)
        return;
#endif
    // Older kernels: a write of nothing to each page does the same, atomic so that no byte that
    // another thread writes meanwhile is lost.
    for (uintptr_t at = std::max(start, reinterpret_cast<uintptr_t>(base)); at < end;
         at = (at + page) & ~(page - 1))
        std::atomic_ref<char>(*reinterpret_cast<char*>(at)).fetch_add(0, std::memory_order_relaxed);
}

uint64_t PhysicalMemoryBytes()
{
    long pages = ::sysconf(_SC_PHYS_PAGES);
    long pageSize = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? uint64_t(pages) * uint64_t(pageSize) : 0;
}

int ProcessId()
{
    return int(::getpid());
}

bool ProcessRunning(int pid)
{
    return pid <= 0 || ::kill(pid_t(pid), 0) == 0 || errno != ESRCH;
}

ExclusiveFileLock::ExclusiveFileLock(const std::filesystem::path& file)
    : handle(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666))
{
    while (handle >= 0 && ::flock(int(handle), LOCK_EX) != 0 && errno == EINTR) {
    }
}

ExclusiveFileLock::~ExclusiveFileLock()
{
    if (handle >= 0)
        ::close(int(handle)); // releases the lock
}

ReadOnlyFile::ReadOnlyFile(const std::string& utf8Path)
    : handle(::open(utf8Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)), size(0)
{
    if (handle < 0)
        throw std::runtime_error(std::strerror(errno));
    struct stat info;
    if (::fstat(int(handle), &info) != 0) {
        int reason = errno;
        ::close(int(handle));
        throw std::runtime_error(std::strerror(reason));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(int(handle));
        throw std::runtime_error("not a regular file");
    }
    size = uint64_t(info.st_size);
}

ReadOnlyFile::~ReadOnlyFile()
{
    ::close(int(handle));
}

size_t ReadOnlyFile::Read(char* buffer, size_t count)
{
    for (;;) {
        ssize_t got = ::read(int(handle), buffer, count);
        if (got >= 0)
            return size_t(got);
        if (errno != EINTR)
            throw std::runtime_error(std::strerror(errno));
    }
}

uint64_t PeakMemoryBytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stoull(line.substr(6)) * 1024;
        }
    }
    return 0;
}

void ResetPeakMemory()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

std::vector<double> RunIsolated(const std::function<std::vector<double>()>& work, size_t count)
{
    std::vector<double> values(count, NAN);
    int fds[2];
    if (::pipe(fds) != 0) {
        return values;
    }
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return values;
    }
    if (pid == 0) {
        ::close(fds[0]);
        try {
            std::vector<double> got = work();
            std::copy_n(got.begin(), std::min(got.size(), count), values.begin());
        } catch (...) {
        }
        bool sent = WriteAll(fds[1], reinterpret_cast<const char*>(values.data()), count * sizeof(double));
        ::_exit(sent ? 0 : 1); // no destructors: the parent owns every shared resource
    }
    ::close(fds[1]);
    size_t bytes = count * sizeof(double);
    size_t got = 0;
    while (got < bytes) {
        ssize_t n = ::read(fds[0], reinterpret_cast<char*>(values.data()) + got, bytes - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += size_t(n);
    }
    if (got != bytes) {
        std::fill(values.begin(), values.end(), NAN);
    }
    ::close(fds[0]);
    int status = 0;
    WaitFor(pid, status);
    return values;
}

void LowerCurrentThreadPriority()
{
    // A batch thread never preempts the thread that woke it; on Linux the nice value of
    // "process" 0 is the calling thread's own.
    sched_param none{};
    sched_setscheduler(0, SCHED_BATCH, &none);
    setpriority(PRIO_PROCESS, 0, 10);
}

std::optional<FileIdentity> IdentifyFile(const std::string& utf8Path)
{
    struct stat info;
    if (::stat(utf8Path.c_str(), &info) != 0)
        return std::nullopt;
    return FileIdentity{uint64_t(info.st_dev), uint64_t(info.st_ino)};
}

} // namespace Platform
