// Sends WM_CLOSE to every top-level window of the viewer's class, the way the close box does, and
// prints how many it found. With --list it closes nothing and prints the viewer's visible top-level
// windows instead, one a line: "main TITLE" for a main window, "owned TITLE" for a secondary window
// owned by a main one, "alone TITLE" for one that is not; a star after the first word marks the
// window that has the keyboard. Run by the Windows tests inside the same
// wine prefix as the viewer.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

bool HasClass(HWND window, const wchar_t* name)
{
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    return lstrcmpW(className, name) == 0;
}

BOOL CALLBACK CloseIfViewer(HWND window, LPARAM found)
{
    if (HasClass(window, L"Tessaro")) {
        PostMessageW(window, WM_CLOSE, 0, 0);
        ++*reinterpret_cast<int*>(found);
    }
    return TRUE;
}

BOOL CALLBACK ListIfViewer(HWND window, LPARAM found)
{
    const bool main = HasClass(window, L"Tessaro");
    if (!IsWindowVisible(window) || (!main && !HasClass(window, L"TessaroWindow")))
        return TRUE;
    wchar_t title[512] = {};
    GetWindowTextW(window, title, 512);
    char utf8[2048] = {};
    WideCharToMultiByte(CP_UTF8, 0, title, -1, utf8, sizeof utf8, nullptr, nullptr);
    const HWND owner = GetWindow(window, GW_OWNER);
    std::printf("%s%s %s\n",
                main                                   ? "main"
                : owner && HasClass(owner, L"Tessaro") ? "owned"
                                                       : "alone",
                window == GetForegroundWindow() ? "*" : "", utf8);
    ++*reinterpret_cast<int*>(found);
    return TRUE;
}

} // namespace

int main(int argc, char** argv)
{
    const bool list = argc > 1 && std::strcmp(argv[1], "--list") == 0;
    int found = 0;
    EnumWindows(list ? ListIfViewer : CloseIfViewer, reinterpret_cast<LPARAM>(&found));
    if (!list)
        std::printf("%d\n", found);
    return found > 0 ? 0 : 1;
}
