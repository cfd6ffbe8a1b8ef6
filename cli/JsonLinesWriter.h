#pragma once

#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>

// Writes one JSON object per line. Keys keep the order they were added in; bytes that are not
// valid UTF-8 become U+FFFD instead of aborting the output.
class JsonLinesWriter
{
public:
    explicit JsonLinesWriter(std::FILE* out) : out(out) {}
    JsonLinesWriter(const JsonLinesWriter&) = delete;
    JsonLinesWriter& operator=(const JsonLinesWriter&) = delete;

    void Write(const nlohmann::ordered_json& object);

    // Flushes everything; false when any write failed.
    bool Finish();

private:
    void Flush();

    std::FILE* out;
    std::string buffer;
    bool failed = false;
};
