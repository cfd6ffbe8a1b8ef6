#pragma once

#include <pugixml.hpp>

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// An element's XML text as an element window shows it: at most kLimit bytes, with the start of
// each line and the element's line in the file it was read from.
struct ElementXml
{
    static constexpr size_t kLimit = 2u << 20; // 2 MB

    std::string text;
    bool cut = false;               // the element's text goes on beyond kLimit
    std::vector<size_t> lineStarts; // offsets in `text`
    size_t line = 0;                // 1-based; 0 when the parser kept no position for it
};

// Prints `node` (indented by two blanks) and finds its line. Reads the document only; may take a
// while on a large element, so it runs off the interface thread and ends early once `stop` is set.
// `document` keeps the nodes alive while it runs.
ElementXml MakeElementXml(pugi::xml_node node, std::shared_ptr<pugi::xml_document> document,
                          const std::atomic<bool>* stop = nullptr);
