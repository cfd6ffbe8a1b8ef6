// Sends WM_CLOSE to every top-level window of the viewer's class, the way the close box does, and
// prints how many it found. Run by the Windows tests inside the same wine prefix as the viewer.
#include <windows.h>

#include <cstdio>

namespace {

BOOL CALLBACK CloseIfViewer(HWND window, LPARAM found)
{
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (lstrcmpW(className, L"Tessaro") == 0) {
        PostMessageW(window, WM_CLOSE, 0, 0);
        ++*reinterpret_cast<int*>(found);
    }
    return TRUE;
}

} // namespace

int main()
{
    int found = 0;
    EnumWindows(CloseIfViewer, reinterpret_cast<LPARAM>(&found));
    std::printf("%d\n", found);
    return found > 0 ? 0 : 1;
}
