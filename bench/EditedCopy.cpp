#include "bench/EditedCopy.h"

#include <fstream>
#include <stdexcept>

namespace {
// The text between the first '>' and the next '<' of a line such as "<TAG>text</TAG>".
bool FindText(const std::string& line, size_t& begin, size_t& end)
{
    begin = line.find('>');
    end = begin == std::string::npos ? begin : line.find('<', begin);
    return end != std::string::npos && line.compare(end, 2, "</") == 0;
}
} // namespace

uint64_t WriteEditedCopy(const std::string& from, const std::string& to, uint64_t every)
{
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    if (!in || !out)
        throw std::runtime_error("cannot write an edited copy of " + from);
    std::string previous, line;
    bool havePrevious = false;
    uint64_t named = 0, edited = 0;
    int pendingValue = 0; // the value to change is on the next leaf line
    while (std::getline(in, line)) {
        size_t begin = 0, end = 0;
        if (pendingValue && FindText(line, begin, end)) {
            line.insert(end, "_v2");
            pendingValue = 0;
        }
        if (line.find("<SHORT-NAME>") != std::string::npos && named++ % every == every / 2 &&
            FindText(line, begin, end)) {
            ++edited;
            switch (edited % 3) {
                case 0: // renamed
                    line.insert(end, "_v2");
                    break;
                case 1: // a value changed
                    pendingValue = 1;
                    break;
                case 2: // a sibling added before the element, whose opening tag is on the line before
                    previous = "<I-SIGNAL><SHORT-NAME>Added" + std::to_string(edited) +
                               "</SHORT-NAME></I-SIGNAL>\n" + previous;
                    break;
            }
        }
        if (havePrevious)
            out << previous << '\n';
        previous = std::move(line);
        havePrevious = true;
    }
    if (havePrevious)
        out << previous << '\n';
    if (!out.flush())
        throw std::runtime_error("cannot write an edited copy of " + from);
    return edited;
}
