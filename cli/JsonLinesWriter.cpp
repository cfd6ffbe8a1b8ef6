#include "cli/JsonLinesWriter.h"

namespace {
constexpr size_t kFlushThreshold = 1 << 16;
}

void JsonLinesWriter::Write(const nlohmann::ordered_json& object)
{
    if (failed)
        return; // the reader is gone: nothing more can arrive
    buffer += object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    buffer += '\n';
    if (buffer.size() >= kFlushThreshold)
        Flush();
}

void JsonLinesWriter::Flush()
{
    if (!buffer.empty() && std::fwrite(buffer.data(), 1, buffer.size(), out) != buffer.size())
        failed = true;
    buffer.clear();
}

bool JsonLinesWriter::Finish()
{
    Flush();
    if (std::fflush(out) != 0 || std::ferror(out))
        failed = true;
    return !failed;
}
