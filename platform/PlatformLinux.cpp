#include "platform/Platform.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/resource.h>
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

void ShowOpenFileDialog(const std::function<void(const std::string&)>& onChosen)
{
    const std::vector<std::vector<std::string>> dialogs = {
        {"zenity", "--file-selection", "--title=Open File",
         "--file-filter=ARXML files (*.arxml, *.zip) | *.arxml *.zip", "--file-filter=All files | *"},
        {"kdialog", "--getopenfilename", ".", "ARXML files (*.arxml *.zip)\nAll files (*)", "--title",
         "Open File"},
    };
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

void OpenWebAddress(const std::string& address)
{
    SpawnDetached({"xdg-open", address});
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

void LowerCurrentThreadPriority()
{
    // A batch thread never preempts the thread that woke it; on Linux the nice value of
    // "process" 0 is the calling thread's own.
    sched_param none{};
    sched_setscheduler(0, SCHED_BATCH, &none);
    setpriority(PRIO_PROCESS, 0, 10);
}

} // namespace Platform
