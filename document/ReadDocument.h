#pragma once

#include <pugixml.hpp>

#include <memory>
#include <string>

// "Could not load the file PATH: REASON", the message of every failed load.
std::string LoadFailureMessage(const std::string& path, const std::string& reason);
// "Could not index the file PATH: REASON", when the document was read but its index could not be built.
std::string IndexFailureMessage(const std::string& path, const std::string& reason);

// Reads and parses a plain XML file or the first .arxml member of a ZIP archive (extension exactly
// "zip"). Throws std::runtime_error with the reason.
std::shared_ptr<pugi::xml_document> ReadDocument(const std::string& path);
