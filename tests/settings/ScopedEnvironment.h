#pragma once

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

// Changes environment variables for one test; the destructor puts back what was there before.
class ScopedEnvironment
{
public:
    ~ScopedEnvironment()
    {
        for (const auto& [name, value] : saved) {
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
        }
    }
    // Sets `name`, or unsets it for std::nullopt.
    void Set(const std::string& name, const std::optional<std::string>& value)
    {
        const char* old = std::getenv(name.c_str());
        saved.try_emplace(name, old ? std::optional<std::string>(old) : std::nullopt);
        value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }

private:
    std::map<std::string, std::optional<std::string>> saved;
};
