#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

// Synthetic ARXML shaped like real communication and component extracts: nested packages, long
// ELEMENTS lists of several kinds, UUIDs, descriptions, -REF/-TREF texts pointing at other
// elements (a few dangling, a few targets referenced by thousands). Same seed, same bytes.
struct GeneratedDocument
{
    uint64_t bytes = 0;
    uint64_t elements = 0;   // elements with a SHORT-NAME
    uint64_t references = 0; // -REF and -TREF texts
    uint64_t dangling = 0;   // references whose target does not exist
};

// Catalogue: communication and component packages, flat ELEMENTS lists, most references resolve.
// Ecuc: ECU configuration values, containers nested five levels deep, about 1.6 times as many
// references per megabyte, most of them naming definitions that live in another file.
enum class GeneratedShape
{
    Catalogue,
    Ecuc,
};

// Texts that the generated documents always and never contain, for searches with known outcome.
inline constexpr const char* kGeneratedHotPath = "/Common/BaseTypes/uint8";
inline constexpr const char* kGeneratedAbsentText = "qZx-never-written-xQz";

// Writes about `targetBytes` bytes (never less than one full cluster) to `out`.
GeneratedDocument WriteGeneratedArxml(std::ostream& out, uint64_t targetBytes, uint64_t seed,
                                      GeneratedShape shape = GeneratedShape::Catalogue);

// The same into a string, for tests and small documents.
std::string GenerateArxml(uint64_t targetBytes, uint64_t seed,
                          GeneratedShape shape = GeneratedShape::Catalogue);

// The same into a file; throws std::runtime_error when it cannot be written.
GeneratedDocument WriteGeneratedArxmlFile(const std::string& path, uint64_t targetBytes, uint64_t seed,
                                          GeneratedShape shape = GeneratedShape::Catalogue);

// One generated model split over `files` files in `folder` (which must exist): common.arxml holds
// /Common, the data types, compu methods and interfaces that every cluster refers to, and each of
// the other files holds a run of whole cluster packages (/Cluster0, /Cluster1, ...), at least an
// equal share of `targetBytes` each, so that most of their references stay in their file and every
// cluster also refers into common.arxml. Returns the facts summed over the files.
GeneratedDocument WriteGeneratedWorkspace(const std::string& folder, uint64_t targetBytes, int files,
                                          uint64_t seed);
