#include "settings/Settings.h"

#include "platform/Platform.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>

namespace fs = std::filesystem;

namespace {

fs::path ConfigFilePath()
{
    return Platform::PathFromUtf8(GetConfigDirectory()) / "conf.json";
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

} // namespace

std::string GetConfigDirectory()
{
    // A variable that is set but empty counts as unset: an empty profile would put the settings
    // beside whatever directory the program happens to start in.
    std::optional<std::string> profile = Platform::ReadEnvironment("USERPROFILE");
    if (!profile) {
        profile = Platform::ReadEnvironment("HOME");
    }
    if (!profile) {
        return {};
    }
    fs::path directory = Platform::PathFromUtf8(*profile) / ".Tessaro";
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

std::string SettingsToJson(const Settings& settings)
{
    nlohmann::json root;
    root["bookmarks"] = settings.bookmarks;
    root["recent_open_files"] = settings.recentOpenFiles;
    root["version"] = 1;
    // Paths are bytes on Linux; one that is not UTF-8 is kept with U+FFFD in place of the bad
    // bytes instead of making the whole save fail.
    return root.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void LoadSettings(Settings& settings)
{
    fs::path file = ConfigFilePath();
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        std::cerr << "Error opening file: " << file << std::endl;
        return;
    }
    nlohmann::json root;
    try {
        root = nlohmann::json::parse(stream);
    } catch (const std::exception&) {
        std::cerr << "Error reading file: " << file << std::endl;
        return;
    }
    if (!root.is_object()) {
        std::cerr << "Error reading file: " << file << std::endl;
        return;
    }
    // A file of another version is left alone, silently: a newer program may have written it.
    auto version = root.find("version");
    if (version == root.end() || *version != 1) {
        return;
    }
    std::set<std::string> bookmarks;
    std::set<std::string> recent; // duplicates dropped; the list comes out in byte-wise order
    if (!ReadStrings(root, "bookmarks", bookmarks) || !ReadStrings(root, "recent_open_files", recent)) {
        std::cerr << "Error reading file: " << file << std::endl;
        return;
    }
    settings.bookmarks = std::move(bookmarks);
    settings.recentOpenFiles.assign(recent.begin(), recent.end());
}

void SaveSettings(const Settings& settings)
{
    const fs::path file = ConfigFilePath();
    // A conf.json that is a symbolic link (a managed dotfile) is replaced where it points.
    fs::path target = file;
    std::error_code error;
    if (fs::is_symlink(file, error)) {
        fs::path resolved = fs::weakly_canonical(file, error);
        if (!error) {
            target = resolved;
        }
    }
    std::string reason;
    if (!Platform::ReplaceFileContents(target, SettingsToJson(settings), reason)) {
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
