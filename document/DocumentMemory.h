#pragma once

#include <cstddef>

// Memory for parsed documents. A large document is hundreds of megabytes of nodes touched once
// while parsing; backing them with transparent huge pages cuts the page faults of a cold parse
// roughly in half.
void* AllocateDocumentMemory(size_t size);
void FreeDocumentMemory(void* block);

// Makes pugixml use the functions above. Must run before the process allocates any document
// (the loading state does it during static initialisation), since a block is freed by the
// functions installed at that time.
void InstallDocumentMemory();
