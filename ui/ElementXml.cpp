#include "ui/ElementXml.h"

#include <cstring>

namespace {
struct Full
{};
struct Stopped
{};

// Keeps the first kLimit bytes; ends the printing by throwing once they are there, so that a huge
// element costs no more than its first part.
class LimitedWriter : public pugi::xml_writer
{
public:
    LimitedWriter(std::string& out, const std::atomic<bool>* stop) : out(out), stop(stop) {}

    void write(const void* data, size_t size) override
    {
        if (stop && stop->load(std::memory_order_relaxed))
            throw Stopped{};
        const char* bytes = static_cast<const char*>(data);
        const size_t room = ElementXml::kLimit - out.size();
        if (size <= room) {
            out.append(bytes, size);
            return;
        }
        size_t keep = room;
        while (keep > 0 && (static_cast<unsigned char>(bytes[keep]) & 0xC0) == 0x80)
            --keep; // whole characters only
        out.append(bytes, keep);
        throw Full{};
    }

private:
    std::string& out;
    const std::atomic<bool>* stop;
};

// Line breaks before the element in the parsed text, which lies where the parser read it.
size_t LineOf(pugi::xml_node node, const std::atomic<bool>* stop)
{
    const ptrdiff_t offset = node.offset_debug();
    if (offset < 0 || node.type() != pugi::node_element)
        return 0;
    const char* start = node.name() - offset;
    const char* end = node.name();
    size_t line = 1;
    for (const char* at = start; at < end;) {
        if (stop && stop->load(std::memory_order_relaxed))
            return 0;
        const char* chunkEnd = end - at > (1 << 20) ? at + (1 << 20) : end;
        while (const void* found = std::memchr(at, '\n', size_t(chunkEnd - at))) {
            ++line;
            at = static_cast<const char*>(found) + 1;
        }
        at = chunkEnd;
    }
    return line;
}
} // namespace

ElementXml MakeElementXml(pugi::xml_node node, std::shared_ptr<pugi::xml_document>,
                          const std::atomic<bool>* stop)
{
    ElementXml xml;
    LimitedWriter writer(xml.text, stop);
    try {
        node.print(writer, "  ", pugi::format_indent, pugi::encoding_utf8);
    } catch (const Full&) {
        xml.cut = true;
    } catch (const Stopped&) {
        return {};
    }
    xml.lineStarts.push_back(0);
    for (size_t at = xml.text.find('\n'); at != std::string::npos; at = xml.text.find('\n', at + 1)) {
        if (at + 1 < xml.text.size())
            xml.lineStarts.push_back(at + 1);
    }
    xml.line = LineOf(node, stop);
    return xml;
}
