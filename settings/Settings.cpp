#include "settings/Settings.h"

#include "platform/Platform.h"
#include "settings/ExactNames.h"
#include "settings/SettingsMerge.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>

namespace fs = std::filesystem;

namespace {

// Added after the first version: older ones keep it as an entry they do not know.
constexpr const char* kBookmarkFilesKey = "bookmark_files";

// Empty when no home folder is known: a relative path would land in the current folder.
fs::path ConfigFilePath()
{
    const std::string directory = GetConfigDirectory();
    return directory.empty() ? fs::path() : Platform::PathFromUtf8(directory) / "conf.json";
}

void ReportNoHome()
{
    std::cerr << "No home folder is known (HOME is unset and the system has none for this user): settings "
                 "are neither read nor saved"
              << std::endl;
}

// Every entry must be a string; anything else means the file is not ours.
template <class Container> bool ReadStrings(const nlohmann::json& root, const char* key, Container& out)
{
    auto member = root.find(key);
    if (member == root.end() || !member->is_array()) {
        return false;
    }
    for (const auto& entry : *member) {
        if (!entry.is_string()) {
            return false;
        }
        out.insert(out.end(), entry.get<std::string>());
    }
    return true;
}

bool KnownKey(const std::string& key)
{
    return key == "bookmarks" || key == "recent_open_files" || key == "version" || key == "window" ||
           key == "windows" || key == kBookmarkFilesKey || key == kExactNamesKey;
}

// The files of the bookmarks, {element path: file}, in the file's order; entries of another shape
// are skipped: such a bookmark goes to its path in whatever is open.
void ReadBookmarkFiles(const nlohmann::json& root, std::list<std::string>& paths,
                       std::list<std::string>& files)
{
    auto entry = root.find(kBookmarkFilesKey);
    if (entry == root.end() || !entry->is_object())
        return;
    for (const auto& [path, file] : entry->items()) {
        if (file.is_string() && !file.get_ref<const std::string&>().empty()) {
            paths.push_back(path);
            files.push_back(file.get<std::string>());
        }
    }
}

// A "window" entry of another shape is ignored: the window then opens at its first-run place.
std::optional<WindowPlace> ReadWindowPlace(const nlohmann::json& root, const char* key = "window")
{
    auto entry = root.find(key);
    if (entry == root.end() || !entry->is_object())
        return std::nullopt;
    WindowPlace place;
    for (auto [key, field] : {std::pair{"x", &place.x}, std::pair{"y", &place.y},
                              std::pair{"width", &place.width}, std::pair{"height", &place.height}}) {
        auto value = entry->find(key);
        if (value == entry->end() || !value->is_number_integer())
            return std::nullopt;
        const long long number = value->get<long long>();
        if (number < -1000000 || number > 1000000)
            return std::nullopt;
        *field = int(number);
    }
    if (place.width <= 0 || place.height <= 0)
        return std::nullopt;
    auto maximized = entry->find("maximized");
    place.maximized = maximized != entry->end() && maximized->is_boolean() && maximized->get<bool>();
    return place;
}

enum class FileRead
{
    Read,
    Missing,      // no such file: a first run
    CannotOpen,   // exists, but cannot be opened (permissions, a directory)
    NotOurs,      // not JSON, or not of the expected shape
    OtherVersion, // "version" is not 1, or missing
};

// Reads conf.json into the two collections of `out`; the recent files keep their saved order and
// the first of duplicates counts.
FileRead ReadSettingsFile(const fs::path& file, Settings& out)
{
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        std::error_code error;
        return fs::exists(fs::symlink_status(file, error)) ? FileRead::CannotOpen : FileRead::Missing;
    }
    nlohmann::json root;
    try {
        root = nlohmann::json::parse(stream);
    } catch (const std::exception&) {
        return FileRead::NotOurs;
    }
    if (!root.is_object())
        return FileRead::NotOurs;
    auto version = root.find("version");
    if (version == root.end() || *version != 1) // numeric: 1.0 counts as 1
        return FileRead::OtherVersion;
    std::list<std::string> bookmarkList;
    std::list<std::string> recent;
    if (!ReadStrings(root, "bookmarks", bookmarkList) || !ReadStrings(root, "recent_open_files", recent))
        return FileRead::NotOurs;
    std::list<std::string> filePaths; // as listed: U+FFFD in place of bytes that are not UTF-8
    std::list<std::string> files;
    ReadBookmarkFiles(root, filePaths, files);
    if (auto exact = root.find(kExactNamesKey); exact != root.end())
        RestoreExactNames(*exact, recent, bookmarkList, files);
    std::set<std::string> bookmarks(bookmarkList.begin(), bookmarkList.end());
    std::map<std::string, std::string> fileByListedPath;
    for (auto path = filePaths.begin(), file = files.begin(); path != filePaths.end(); ++path, ++file)
        fileByListedPath.emplace(*path, *file);
    if (!fileByListedPath.empty()) {
        for (const std::string& bookmark : bookmarks) {
            if (auto file = fileByListedPath.find(LossyText(bookmark)); file != fileByListedPath.end())
                out.bookmarkFiles[bookmark] = file->second;
        }
    }
    std::set<std::string> seen;
    recent.remove_if([&seen](const std::string& path) { return !seen.insert(path).second; });
    out.bookmarks = std::move(bookmarks);
    out.recentOpenFiles = std::move(recent);
    out.window = ReadWindowPlace(root);
    if (auto places = root.find("windows"); places != root.end() && places->is_object()) {
        for (const auto& [kind, entry] : places->items()) {
            // One entry of another shape is left out alone.
            if (std::optional<WindowPlace> place = ReadWindowPlace(*places, kind.c_str()))
                out.windowPlaces[kind] = *place;
        }
    }
    for (const auto& [key, value] : root.items()) {
        // A "window" entry this version cannot read is kept as it is, like an unknown one.
        if (!KnownKey(key) || (key == "window" && !out.window))
            out.otherEntries[key] = value.dump();
    }
    return FileRead::Read;
}

// "conf.json.<pid>.tmp" files whose process no longer runs were left by saves that were cut short.
void RemoveStaleTemporaries(const fs::path& target)
{
    const std::string prefix = Platform::Utf8FromPath(target.filename()) + ".";
    const std::string suffix = ".tmp";
    std::error_code error;
    for (fs::directory_iterator it(target.parent_path().empty() ? "." : target.parent_path(), error), end;
         !error && it != end; it.increment(error)) {
        const std::string name = Platform::Utf8FromPath(it->path().filename());
        if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
        if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const int pid = int(std::stol(digits));
        std::error_code ignored; // a file that cannot be removed stays; the save goes on
        if (pid != Platform::ProcessId() && !Platform::ProcessRunning(pid))
            fs::remove(it->path(), ignored);
    }
}

} // namespace

std::string GetSettingsHome()
{
    // A variable that is set but empty counts as unset: an empty profile would put the settings
    // beside whatever directory the program happens to start in.
    std::optional<std::string> profile = Platform::ReadEnvironment("USERPROFILE");
    if (!profile)
        profile = Platform::ReadEnvironment("HOME");
    if (!profile)
        profile = Platform::UserHomeFromSystem();
    return profile.value_or("");
}

std::string GetConfigDirectory()
{
    const std::string home = GetSettingsHome();
    if (home.empty())
        return {};
    fs::path directory = Platform::PathFromUtf8(home) / ".Tessaro";
    std::error_code error;
    if (!fs::is_directory(directory, error)) {
        fs::create_directories(directory, error);
        if (error || !fs::is_directory(directory)) {
            // Keep the intended path rather than falling back to the working directory: loading
            // and saving then report their own errors, and no stray conf.json appears elsewhere.
            std::cerr << "Cannot create settings directory " << directory << ": "
                      << (error ? error.message() : "not a directory") << std::endl;
        }
    }
    return Platform::Utf8FromPath(directory);
}

namespace {
nlohmann::json PlaceToJson(const WindowPlace& place)
{
    return {{"x", place.x},
            {"y", place.y},
            {"width", place.width},
            {"height", place.height},
            {"maximized", place.maximized}};
}
} // namespace

std::string SettingsToJson(const Settings& settings)
{
    nlohmann::json root = nlohmann::json::object();
    for (const auto& [key, text] : settings.otherEntries) {
        try {
            root[key] = nlohmann::json::parse(text);
        } catch (const std::exception&) {
            // Only texts read from the file land here, and they parsed then.
        }
    }
    root["bookmarks"] = settings.bookmarks;
    root["recent_open_files"] = settings.recentOpenFiles;
    root["version"] = 1;
    // Keyed as the bookmarks are listed, so that a reader finds each bookmark's file by its entry.
    nlohmann::json files = nlohmann::json::object();
    for (const auto& [path, file] : settings.bookmarkFiles) {
        if (settings.bookmarks.count(path) && !file.empty())
            files[LossyText(path)] = file;
    }
    std::list<std::string> fileList; // in the order written, for their exact bytes
    for (const auto& file : files)
        fileList.push_back(file.get<std::string>());
    if (!files.empty())
        root[kBookmarkFilesKey] = std::move(files);
    if (nlohmann::json exact = ExactNames(settings.recentOpenFiles, settings.bookmarks, fileList);
        !exact.is_null())
        root[kExactNamesKey] = std::move(exact);
    if (settings.window)
        root["window"] = PlaceToJson(*settings.window);
    for (const auto& [kind, place] : settings.windowPlaces)
        root["windows"][kind] = PlaceToJson(place);
    // Paths are bytes on Linux; one that is not UTF-8 is listed with U+FFFD in place of the bad
    // bytes, and its bytes are kept under kExactNamesKey.
    return root.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void LoadSettings(Settings& settings)
{
    fs::path file = ConfigFilePath();
    if (file.empty()) {
        ReportNoHome();
        return;
    }
    Settings read;
    switch (ReadSettingsFile(file, read)) {
        case FileRead::Missing: // a first start: nothing to tell
            return;
        case FileRead::CannotOpen:
            std::cerr << "Error opening file: " << file << std::endl;
            return;
        case FileRead::NotOurs:
            std::cerr << "Error reading file: " << file << std::endl;
            return;
        case FileRead::OtherVersion: // silently: a newer program may have written it
            return;
        case FileRead::Read:
            break;
    }
    settings.bookmarks = read.bookmarks;
    settings.recentOpenFiles = read.recentOpenFiles;
    settings.window = read.window;
    settings.windowPlaces = read.windowPlaces;
    settings.bookmarkFiles = read.bookmarkFiles;
    settings.loadedBookmarkFiles = std::move(read.bookmarkFiles);
    settings.loadedBookmarks = std::move(read.bookmarks);
    settings.loadedRecentFiles = std::move(read.recentOpenFiles);
}

void SaveSettings(const Settings& settings)
{
    const fs::path file = ConfigFilePath();
    if (file.empty())
        return; // said when loading
    // A conf.json that is a symbolic link (a managed dotfile) is replaced where it points.
    fs::path target = file;
    std::error_code error;
    if (fs::is_symlink(file, error)) {
        fs::path resolved = fs::weakly_canonical(file, error);
        if (!error) {
            target = resolved;
        }
    }
    // Held while conf.json is re-read and replaced. The lock file stays: removing it would let two
    // processes lock two different files.
    fs::path lockFile = file;
    lockFile += ".lock";
    Platform::ExclusiveFileLock lock(lockFile);
    RemoveStaleTemporaries(target);

    if (Platform::IsReadOnlyFile(target)) {
        // The user's own choice to freeze it: left alone, and said once rather than on every save.
        static std::atomic<bool> told{false};
        if (!told.exchange(true))
            std::cerr << "Settings not saved: " << file << " is read-only; it is left as it is" << std::endl;
        return;
    }
    Settings onDisk;
    FileRead read = ReadSettingsFile(file, onDisk);
    if (read != FileRead::Read && read != FileRead::Missing) {
        std::cerr << "Settings not saved: " << file
                  << " could not be read or is of another version; it is kept as it is" << std::endl;
        return;
    }
    const std::string text = SettingsToJson(MergeSettings(settings, onDisk));

    std::string reason;
    if (!Platform::ReplaceFileContents(target, text, reason)) {
        std::cerr << "Error opening file for writing: " << file << ": " << reason << std::endl;
    }
}

void AddRecentFile(std::list<std::string>& recentOpenFiles, const std::string& path)
{
    for (auto it = recentOpenFiles.begin(); it != recentOpenFiles.end(); ++it) {
        if (*it == path) {
            recentOpenFiles.erase(it);
            break;
        }
    }
    recentOpenFiles.push_front(path);
    while (recentOpenFiles.size() > 10) {
        recentOpenFiles.pop_back();
    }
}
