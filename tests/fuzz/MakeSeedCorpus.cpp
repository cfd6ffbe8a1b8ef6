// Writes the starting corpus of the fuzz targets: the real ARXML files beside the project, each cut
// down to a few kilobytes of its own structure (still well-formed), the hand-written cases of
// tests/fuzz/corpus, and ZIP archives made of both.
//
//     tessaro-fuzz-seeds OUTPUT_DIR SHARED_ARXML_DIR CORPUS_DIR
#include <pugixml.hpp>
#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {
constexpr long kBudget = 3000; // bytes of markup kept from each real file

using Members = std::vector<std::pair<std::string, std::string>>;

// Copies `from` below `to` in document order until the budget is spent; every copied element is
// closed, so the result stays well-formed. SHORT-NAME comes first in ARXML, so named elements keep it.
void CopyWithin(pugi::xml_node from, pugi::xml_node to, long& budget)
{
    for (pugi::xml_node child : from.children()) {
        if (budget <= 0)
            return;
        pugi::xml_node copy = to.append_child(child.type());
        copy.set_name(child.name());
        copy.set_value(child.value());
        budget -= long(std::char_traits<char>::length(child.name())) * 2 +
                  long(std::char_traits<char>::length(child.value())) + 5;
        for (pugi::xml_attribute attribute : child.attributes()) {
            copy.append_attribute(attribute.name()) = attribute.value();
            budget -= long(std::char_traits<char>::length(attribute.name())) +
                      long(std::char_traits<char>::length(attribute.value())) + 4;
        }
        CopyWithin(child, copy, budget);
    }
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

bool WriteZip(const fs::path& path, const Members& members, zip_int32_t method)
{
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    for (const auto& [name, content] : members) {
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        zip_int64_t index = source ? zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            zip_source_free(source);
            zip_discard(archive);
            return false;
        }
        zip_set_file_compression(archive, zip_uint64_t(index), method, 0);
    }
    return zip_close(archive) == 0;
}

std::vector<fs::path> FilesIn(const fs::path& directory, const std::string& extension)
{
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(directory, error)) {
        if (entry.is_regular_file() && (extension.empty() || entry.path().extension() == extension))
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR SHARED_ARXML_DIR CORPUS_DIR\n", argv[0]);
        return 2;
    }
    const fs::path output = argv[1];
    const fs::path shared = argv[2];
    const fs::path corpus = argv[3];
    fs::create_directories(output / "document");
    fs::create_directories(output / "archive");

    // Documents: the hand-written cases as they stand, and the real files cut down.
    Members documents;
    for (const fs::path& file : FilesIn(corpus / "document", ""))
        documents.emplace_back(file.filename().string(), ReadFile(file));
    std::vector<fs::path> realFiles = FilesIn(shared, ".arxml");
    if (realFiles.empty())
        std::printf("no real ARXML files in %s: seeding from the hand-written cases only\n", shared.c_str());
    for (const fs::path& file : realFiles) {
        pugi::xml_document full;
        if (full.load_file(file.c_str()).status != pugi::status_ok)
            continue;
        pugi::xml_document cut;
        long budget = kBudget;
        CopyWithin(full, cut, budget);
        std::ostringstream text;
        cut.save(text, "  ");
        std::string name = "real-" + file.filename().string();
        WriteFile(output / "document" / name, text.str());
        documents.emplace_back(name, text.str());
    }

    // Archives: one per document, plus the shapes that decide which member is read.
    int written = 0;
    for (const auto& [name, content] : documents) {
        zip_int32_t method = written % 2 ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
        written +=
            WriteZip(output / "archive" / (name + ".zip"), {{"system/" + name + ".arxml", content}}, method);
    }
    const std::string small = "<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>P</SHORT-NAME></AR-PACKAGE>"
                              "</AR-PACKAGES></AUTOSAR>";
    const std::vector<std::pair<std::string, Members>> shapes = {
        {"text-then-two", {{"readme.txt", "notes"}, {"x/system.arxml", small}, {"y/other.arxml", "<B/>"}}},
        {"no-arxml", {{"readme.txt", "notes"}, {"model.xml", small}}},
        {"upper-case-name", {{"MODEL.ARXML", small}, {"model.arxml.bak", small}}},
        {"broken-then-sound", {{"a.arxml", "<A><B></A>"}, {"b.arxml", small}}},
        {"empty-member", {{"empty.arxml", ""}, {"next.arxml", small}}},
    };
    for (const auto& [name, members] : shapes) {
        written += WriteZip(output / "archive" / (name + "-stored.zip"), members, ZIP_CM_STORE);
        written += WriteZip(output / "archive" / (name + ".zip"), members, ZIP_CM_DEFLATE);
    }
    std::printf("fuzz seeds: %zu documents, %d archives in %s\n", documents.size(), written, output.c_str());
    return 0;
}
