// Reads back, the way Explorer does, what an executable says about itself: its version resource
// and the sizes of its icon group 100, which it must also load as an icon. Prints
//   version 2.7.0.0
//   product Tessaro
//   description <FileDescription>
//   icon 100: 16 24 ... (or "icon 100: missing")
// Run by the Windows tests under wine: tessaro-resource-check EXE
#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

#pragma pack(push, 2)
struct GroupIconEntry
{
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

void PrintString(const std::vector<char>& info, const wchar_t* name, const char* label)
{
    wchar_t query[128];
    wsprintfW(query, L"\\StringFileInfo\\040904B0\\%s", name);
    wchar_t* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(info.data(), query, reinterpret_cast<void**>(&value), &length) && length > 0)
        std::printf("%s %ls\n", label, value);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tessaro-resource-check EXE\n");
        return 2;
    }
    DWORD handle = 0;
    std::vector<char> info(GetFileVersionInfoSizeW(argv[1], &handle));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!info.empty() && GetFileVersionInfoW(argv[1], 0, DWORD(info.size()), info.data()) &&
        VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
        std::printf("version %u.%u.%u.%u\n", unsigned(HIWORD(fixed->dwFileVersionMS)),
                    unsigned(LOWORD(fixed->dwFileVersionMS)), unsigned(HIWORD(fixed->dwFileVersionLS)),
                    unsigned(LOWORD(fixed->dwFileVersionLS)));
        PrintString(info, L"ProductName", "product");
        PrintString(info, L"FileDescription", "description");
    } else {
        std::printf("version missing\n");
    }

    HMODULE module =
        LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    HRSRC group = module ? FindResourceW(module, MAKEINTRESOURCEW(100), MAKEINTRESOURCEW(14)) : nullptr;
    const BYTE* data = group ? static_cast<const BYTE*>(LockResource(LoadResource(module, group))) : nullptr;
    HANDLE icon = module ? LoadImageW(module, MAKEINTRESOURCEW(100), IMAGE_ICON, 32, 32, 0) : nullptr;
    if (!data || !icon) {
        std::printf("icon 100: missing\n");
        return 0;
    }
    DestroyIcon(static_cast<HICON>(icon));
    // The group directory: reserved, type and count, then one entry per size (0 stands for 256).
    const WORD count = reinterpret_cast<const WORD*>(data)[2];
    const auto* entries = reinterpret_cast<const GroupIconEntry*>(data + 6);
    std::printf("icon 100:");
    for (WORD i = 0; i < count; ++i)
        std::printf(" %d", entries[i].width ? entries[i].width : 256);
    std::printf("\n");
    FreeLibrary(module);
    return 0;
}
