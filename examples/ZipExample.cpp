// Build-time tool: packs one file into a new ZIP archive under its file name.
// Usage: tessaro-zip-example INPUT OUTPUT.zip
#include <zip.h>

#include <cstdio>
#include <filesystem>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s INPUT OUTPUT.zip\n", argv[0]);
        return 2;
    }
    const std::string input = argv[1], output = argv[2];
    int error = 0;
    zip_t* archive = zip_open(output.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) {
        std::fprintf(stderr, "cannot create %s (libzip error %d)\n", output.c_str(), error);
        return 1;
    }
    zip_source_t* source = zip_source_file(archive, input.c_str(), 0, -1);
    const std::string member = std::filesystem::path(input).filename().string();
    if (!source || zip_file_add(archive, member.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
        std::fprintf(stderr, "cannot add %s: %s\n", input.c_str(), zip_strerror(archive));
        if (source)
            zip_source_free(source);
        zip_discard(archive);
        return 1;
    }
    if (zip_close(archive) < 0) {
        std::fprintf(stderr, "cannot write %s: %s\n", output.c_str(), zip_strerror(archive));
        zip_discard(archive);
        return 1;
    }
    return 0;
}
