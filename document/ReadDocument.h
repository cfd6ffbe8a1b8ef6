#pragma once

#include <pugixml.hpp>

class DocumentArena;

#include <memory>
#include <string>

// "Could not load the file PATH: REASON", the message of every failed load.
std::string LoadFailureMessage(const std::string& path, const std::string& reason);
// "Could not index the file PATH: REASON", when the document was read but its index could not be built.
std::string IndexFailureMessage(const std::string& path, const std::string& reason);

// Reads and parses a plain XML file or the first .arxml member of a ZIP archive (extension exactly
// "zip"). Throws std::runtime_error with the reason.
std::shared_ptr<pugi::xml_document> ReadDocument(const std::string& path);

// The same, but a plain file smaller than DocumentArena::kSmallDocumentBytes is read into
// `shared`, the arena of the small documents read before it, instead of an arena of its own.
std::shared_ptr<pugi::xml_document> ReadDocument(const std::string& path,
                                                 const std::shared_ptr<DocumentArena>& shared);
