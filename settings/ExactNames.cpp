#include "settings/ExactNames.h"

#include <algorithm>
#include <map>
#include <optional>
#include <vector>

namespace {
using Json = nlohmann::json;

bool IsUtf8(const std::string& text)
{
    try {
        (void)Json(text).dump();
        return true;
    } catch (const Json::type_error&) {
        return false;
    }
}

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : bytes) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

std::optional<std::string> FromHex(const std::string& hex)
{
    auto value = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    if (hex.size() % 2 != 0)
        return std::nullopt;
    std::string bytes;
    for (size_t i = 0; i < hex.size(); i += 2) {
        int high = value(hex[i]), low = value(hex[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += char(high << 4 | low);
    }
    return bytes;
}

} // namespace

std::string LossyText(const std::string& text)
{
    return Json::parse(Json(text).dump(-1, ' ', false, Json::error_handler_t::replace)).get<std::string>();
}

Json ExactNames(const std::list<std::string>& recent, const std::set<std::string>& bookmarks,
                const std::list<std::string>& bookmarkFiles)
{
    Json exact = Json::object();
    auto keep = [&](const std::string& entry) {
        if (!IsUtf8(entry))
            exact[LossyText(entry)].push_back(Hex(entry));
    };
    std::for_each(recent.begin(), recent.end(), keep);
    std::for_each(bookmarks.begin(), bookmarks.end(), keep);
    std::for_each(bookmarkFiles.begin(), bookmarkFiles.end(), keep);
    return exact.empty() ? Json() : exact;
}

void RestoreExactNames(const Json& exact, std::list<std::string>& recent, std::list<std::string>& bookmarks,
                       std::list<std::string>& bookmarkFiles)
{
    if (!exact.is_object())
        return;
    std::map<std::string, std::vector<std::string>> kept; // by lossy text, in order
    for (const auto& [lossy, hexes] : exact.items()) {
        if (!hexes.is_array())
            continue;
        for (const Json& hex : hexes) {
            std::optional<std::string> bytes =
                hex.is_string() ? FromHex(hex.get<std::string>()) : std::nullopt;
            if (bytes && !IsUtf8(*bytes) && LossyText(*bytes) == lossy)
                kept[lossy].push_back(*bytes);
        }
    }
    std::map<std::string, size_t> used;
    auto restore = [&](std::string& entry) {
        auto found = kept.find(entry);
        if (found == kept.end())
            return;
        size_t& next = used[entry];
        if (next < found->second.size())
            entry = found->second[next++];
    };
    std::for_each(recent.begin(), recent.end(), restore);
    std::for_each(bookmarks.begin(), bookmarks.end(), restore);
    std::for_each(bookmarkFiles.begin(), bookmarkFiles.end(), restore);
}
