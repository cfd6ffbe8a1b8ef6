#pragma once

#include "document/ArchiveReader.h"
#include "document/DocumentMemory.h"

#include <pugixml.hpp>

#include <memory>
#include <string>
#include <string_view>

// Reads a whole file into a block of the document memory functions. Throws std::runtime_error
// with the reason: the operating system's error text, or "not a regular file".
ArchiveMember ReadDocumentFile(const std::string& path);

// From now on, documents parsed by ParseInPlace also keep where their lines start, for
// LineStarts::Of, as long as they live; only for UTF-8 text, which is parsed where it lies, so
// that node offsets are offsets in the text. Off by default: it costs two bytes per line.
void KeepLineStartsOfParsedDocuments(bool keep);

// Parses `text` in place: the document takes the block over, so the text is held only once.
// The block holds a NUL after its `size` bytes, as both readers leave it. The document's memory
// comes from `arena`, which it holds for its lifetime (the text, too, when it was read while the
// arena was in use). Throws std::runtime_error with the parser's description and, for UTF-8
// text, the line and column.
std::shared_ptr<pugi::xml_document>
ParseInPlace(ArchiveMember text, std::shared_ptr<DocumentArena> arena = std::make_shared<DocumentArena>());

// The arena of a document made by ParseInPlace, for the tables built over it; null for another.
DocumentArena* ArenaOf(const std::shared_ptr<pugi::xml_document>& document);

// The UTF-8 text that a document made by ParseInPlace was parsed in, as the parser left it
// (names and values end in NULs written over the text), holding every name and value of its
// nodes; empty for another document or another encoding, converted into a block of pugixml's own.
std::string_view ParsedTextOf(const std::shared_ptr<pugi::xml_document>& document);
