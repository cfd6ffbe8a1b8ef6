#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Operating-system services the program needs, one source file per platform.
namespace Platform {

// Shows the desktop's open-file dialog; calls onChosen once with the chosen path, or with an
// empty string when the dialog was cancelled or no dialog program exists. Where the dialog is a
// program of its own (Linux) the call returns at once and onChosen runs later on another thread,
// so the window keeps drawing; a request while such a dialog is open does nothing. Elsewhere the
// dialog is modal and onChosen runs before the call returns.
void ShowOpenFileDialog(std::function<void(const std::string&)> onChosen);

// Shows the desktop's folder chooser; calls onChosen like ShowOpenFileDialog.
void ShowOpenFolderDialog(std::function<void(const std::string&)> onChosen);

// Starts another copy of this program, detached. `arguments` becomes its whole command line
// (one argument, or none when empty).
void LaunchInstance(const std::string& arguments);

// Starts `arguments[0]` (searched on PATH when it has no slash) with exactly these arguments, no
// shell, in a session of its own; the child is reaped when it ends, so no zombie is left. False
// when it could not be started.
bool SpawnDetached(const std::vector<std::string>& arguments);

// Tells the user why the program has to end: on standard error and, where the desktop has one, in
// a message box, so that a program started without a terminal does not vanish without a word. On
// Linux the box is a program of its own (zenity or kdialog, when installed) left running, so the
// call never holds up the exit; on Windows the box is modal.
void ShowFailure(const std::string& message);

// Full path of the running executable; empty when it cannot be read.
std::string GetExecutablePath();

// File name part of the running executable's path.
std::string GetExecutableName();

// Running processes whose executable file name equals `name`, compared without regard to case.
int CountProcessesNamed(const std::string& name);

// The program's arguments, argv[0] included, as UTF-8 (Windows hands them over in its code page).
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// A closed standard stream (the launching terminal or pipe gone) must not end the program.
void IgnoreClosedStreams();

// From now on an interrupt or termination request (SIGINT/SIGTERM/SIGHUP, Ctrl+C, console close) only
// sets a flag that StopRequested reports, so that the program ends the way closing the window does.
void CatchStopRequests();
bool StopRequested();

// The value of an environment variable as UTF-8; nothing when it is unset or empty.
std::optional<std::string> ReadEnvironment(const char* name);

// The user's home folder from the system's own records (Linux: the password database; Windows:
// the shell's profile folder), for when no environment variable names it; nothing when unknown.
std::optional<std::string> UserHomeFromSystem();

// True when `file` exists and is kept from being written: a file of one's own without the owner's
// write permission or one nobody may write (both of which an administrator's rights would pass
// over), another's that this user may not write, or a read-only file on Windows.
bool IsReadOnlyFile(const std::filesystem::path& file);

// File names are UTF-8 inside the program; these convert to and from the system's own form.
std::filesystem::path PathFromUtf8(const std::string& path);
std::string Utf8FromPath(const std::filesystem::path& path);

// Replaces `file` with `contents` in one step: written beside it, flushed to disk and renamed over
// it, so that a crash or a full disk leaves the old file whole. An existing file's permissions,
// and its owner where the system lets this user keep it, pass to the new one. False with `error`
// set on failure; then no temporary file is left behind.
bool ReplaceFileContents(const std::filesystem::path& file, const std::string& contents, std::string& error);

// `size` bytes of zeroed memory straight from the system, aligned to `alignment` (a power of two;
// huge pages are asked for where the system has them); nullptr when none is left.
void* MapPages(size_t size, size_t alignment);
// Returns memory from MapPages; `size` is the size it was asked for.
void UnmapPages(void* base, size_t size);
// Has the system back `size` bytes at `base`, inside memory from MapPages, with pages now, as
// writing them would, so that whoever writes them next takes no page faults. What they hold is
// kept, even while another thread writes them. Best effort: does nothing where the system cannot.
void FaultInPages(void* base, size_t size);

// Physical memory of the machine in bytes; 0 when unknown.
uint64_t PhysicalMemoryBytes();

// Id of the running process.
int ProcessId();

// False only when no process with this id runs any more.
bool ProcessRunning(int pid);

// Holds an exclusive lock on `file` (created when missing) from construction to destruction,
// waiting while another process holds it. When the file cannot be opened (a read-only
// directory) nothing is held and the caller goes on.
class ExclusiveFileLock
{
public:
    explicit ExclusiveFileLock(const std::filesystem::path& file);
    ~ExclusiveFileLock();
    ExclusiveFileLock(const ExclusiveFileLock&) = delete;
    ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;

private:
    intptr_t handle;
};

// A regular file opened for reading. Opening never waits (a FIFO or device cannot hold it) and
// throws std::runtime_error with the system's reason, or "not a regular file".
class ReadOnlyFile
{
public:
    explicit ReadOnlyFile(const std::string& utf8Path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    uint64_t Size() const { return size; }
    // Reads up to `count` bytes; 0 at the end of the file; throws std::runtime_error on failure.
    size_t Read(char* buffer, size_t count);

private:
    intptr_t handle;
    uint64_t size;
};

// What a file or folder is, whatever name reached it: the volume and the file's number on it.
struct FileIdentity
{
    uint64_t volume = 0;
    uint64_t file = 0;
    auto operator<=>(const FileIdentity&) const = default;
};
// The identity of what `utf8Path` names (links followed); nothing when it cannot be read.
std::optional<FileIdentity> IdentifyFile(const std::string& utf8Path);

// Peak resident memory of this process so far, in bytes (0 when unknown), and a reset of that
// peak where the system allows one.
uint64_t PeakMemoryBytes();
void ResetPeakMemory();

// Runs `work` in a child copy of this process where the system can fork one, so that its memory
// figures are its own, else in this process; `count` NaNs when it fails.
std::vector<double> RunIsolated(const std::function<std::vector<double>()>& work, size_t count);

// A program run to its end, timed as a whole process: wall seconds from start to exit and the
// peak of its resident memory. Its output is thrown away.
struct ProgramRun
{
    double seconds = 0;
    uint64_t peakMemoryBytes = 0;
    int exitCode = -1;
};
std::optional<ProgramRun> RunProgramMeasured(const std::vector<std::string>& arguments);

// Lets the calling thread's work (freeing replaced documents, say) yield to the window's thread,
// so that waking it never takes the processor from a frame.
void LowerCurrentThreadPriority();

} // namespace Platform
