#include "support/ZipWriter.h"

#include <gtest/gtest.h>
#include <zip.h>

void WriteZip(const std::string& archivePath, const std::vector<std::pair<std::string, std::string>>& members)
{
    int error = 0;
    zip_t* archive = zip_open(archivePath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr) << "zip_open failed: " << error;
    for (const auto& [name, content] : members) {
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        ASSERT_NE(source, nullptr);
        zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
        ASSERT_GE(index, 0) << zip_strerror(archive);
        zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_DEFLATE, 0);
    }
    if (members.empty()) {
        // libzip writes nothing for an empty archive; an empty archive is just its end record.
        zip_discard(archive);
        std::string endRecord = {'P', 'K', 5, 6};
        endRecord.append(18, '\0');
        FILE* file = std::fopen(archivePath.c_str(), "wb");
        std::fwrite(endRecord.data(), 1, endRecord.size(), file);
        std::fclose(file);
        return;
    }
    ASSERT_EQ(zip_close(archive), 0);
}
