// The window and renderer on Windows: a Win32 window with Direct3D 11 (Direct3D 12 draws nothing
// under wine's software drivers, where the Windows build is tested).
#include "app/Backend.h"

#include "app/Shell.h"
#include "app/Win32Windows.h"
#include "platform/Platform.h"

#include <backends/imgui_impl_dx11.h>
#include <backends/imgui_impl_win32.h>

// windows.h comes first: the other system headers build on it.
#include <windows.h>

#include <d3d11.h>
#include <shellapi.h>

#include <filesystem>
#include <utility>
#include <vector>

namespace Backend {

namespace {

const wchar_t* const kClassName = L"Tessaro";

HWND window = nullptr;
ID3D11Device* device = nullptr;
ID3D11DeviceContext* context = nullptr;
IDXGISwapChain* swapChain = nullptr;
ID3D11RenderTargetView* renderTarget = nullptr;
float scale = 1.0f;
int refreshRate = 60;
bool closeRequested = false;
DropHandler dropHandler;

template <class T> void Release(T*& object)
{
    if (object)
        object->Release();
    object = nullptr;
}

bool CreateRenderTarget()
{
    ID3D11Texture2D* backBuffer = nullptr;
    if (FAILED(swapChain->GetBuffer(0, IID_PPV_ARGS(&backBuffer))))
        return false;
    HRESULT created = device->CreateRenderTargetView(backBuffer, nullptr, &renderTarget);
    backBuffer->Release();
    return SUCCEEDED(created);
}

// A device on the graphics card, else on the software rasteriser.
bool CreateDevice()
{
    DXGI_SWAP_CHAIN_DESC description = {};
    description.BufferCount = 2;
    description.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    description.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    description.OutputWindow = window;
    description.SampleDesc.Count = 1;
    description.Windowed = TRUE;
    description.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
    const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_0, D3D_FEATURE_LEVEL_10_0};
    for (D3D_DRIVER_TYPE driver : {D3D_DRIVER_TYPE_HARDWARE, D3D_DRIVER_TYPE_WARP}) {
        D3D_FEATURE_LEVEL level;
        if (SUCCEEDED(D3D11CreateDeviceAndSwapChain(nullptr, driver, nullptr, 0, levels, 2, D3D11_SDK_VERSION,
                                                    &description, &swapChain, &device, &level, &context)))
            return CreateRenderTarget();
    }
    return false;
}

void ReleaseDevice()
{
    Release(renderTarget);
    if (swapChain)
        swapChain->SetFullscreenState(FALSE, nullptr);
    Release(swapChain);
    Release(context);
    Release(device);
}

void OnDroppedFiles(HDROP drop)
{
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::string> paths;
    for (UINT i = 0; i < count; ++i) {
        std::wstring name(DragQueryFileW(drop, i, nullptr, 0), L'\0');
        DragQueryFileW(drop, i, name.data(), UINT(name.size() + 1));
        paths.push_back(Platform::Utf8FromPath(std::filesystem::path(name)));
    }
    DragFinish(drop);
    std::vector<const char*> pointers;
    for (const std::string& path : paths)
        pointers.push_back(path.c_str());
    if (dropHandler && !pointers.empty())
        dropHandler(int(pointers.size()), pointers.data());
}

bool IsPress(UINT message)
{
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
        case WM_XBUTTONDOWN:
        case WM_XBUTTONDBLCLK:
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            return true;
    }
    return false;
}

LRESULT WINAPI WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (Win32Windows::Route(hwnd, message, wParam, lParam))
        return 1;
    switch (message) {
        case WM_SIZE:
            if (device && wParam != SIZE_MINIMIZED) {
                Release(renderTarget);
                swapChain->ResizeBuffers(0, UINT(LOWORD(lParam)), UINT(HIWORD(lParam)), DXGI_FORMAT_UNKNOWN,
                                         0);
                CreateRenderTarget();
            }
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_KEYMENU) // the Alt key would open the window menu
                return 0;
            break;
        case WM_CLOSE:
            // The shell ends the loop and tears down in its own order, then destroys the window.
            closeRequested = true;
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_DROPFILES:
            OnDroppedFiles(reinterpret_cast<HDROP>(wParam));
            return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void Destroy()
{
    ReleaseDevice();
    if (window)
        DestroyWindow(window);
    window = nullptr;
    UnregisterClassW(kClassName, GetModuleHandleW(nullptr));
}

} // namespace

bool Open(const char* title, std::string& error)
{
    // The manifest makes the process DPI aware before it starts (this call only covers a copy
    // that runs without it), so the work area comes in the physical pixels the window is placed
    // in: the monitor's scale sizes fonts and widgets, never the window again.
    ImGui_ImplWin32_EnableDpiAwareness();
    POINT pointer = {0, 0};
    GetCursorPos(&pointer);
    HMONITOR monitor = MonitorFromPoint(pointer, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    GetMonitorInfoW(monitor, &info);
    scale = ImGui_ImplWin32_GetDpiScaleForMonitor(monitor);
    if (!(scale > 0))
        scale = 1.0f;
    DEVMODEW mode = {};
    mode.dmSize = sizeof mode;
    if (EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode) && mode.dmDisplayFrequency > 1)
        refreshRate = int(mode.dmDisplayFrequency);
    const RECT& area = info.rcWork;
    WindowGeometry geometry =
        ComputeWindowGeometry(area.left, area.top, area.right - area.left, area.bottom - area.top, 1.0f);

    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass = Win32Windows::ViewerClass(kClassName, WindowProcedure);
    windowClass.style = CS_CLASSDC;
    if (!RegisterClassExW(&windowClass)) {
        error = "cannot register the window class";
        Destroy();
        return false;
    }
    const std::wstring wideTitle = Platform::PathFromUtf8(title).wstring();
    window = CreateWindowW(kClassName, wideTitle.c_str(), WS_OVERLAPPEDWINDOW, geometry.x, geometry.y,
                           geometry.width, geometry.height, nullptr, nullptr, instance, nullptr);
    if (!window) {
        error = "cannot create a window";
        Destroy();
        return false;
    }
    DragAcceptFiles(window, TRUE);
    if (!CreateDevice()) {
        error = "cannot create a Direct3D 11 device";
        Destroy();
        return false;
    }
    return true;
}

float Scale()
{
    return scale;
}

int RefreshRate()
{
    return refreshRate;
}

std::vector<WorkArea> MonitorWorkAreas()
{
    std::vector<WorkArea> areas;
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT, LPARAM list) -> BOOL {
            MONITORINFO info = {};
            info.cbSize = sizeof info;
            if (GetMonitorInfoW(monitor, &info)) {
                const RECT& work = info.rcWork;
                reinterpret_cast<std::vector<WorkArea>*>(list)->push_back({int(work.left), int(work.top),
                                                                           int(work.right - work.left),
                                                                           int(work.bottom - work.top)});
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&areas));
    return areas;
}

// The frame's outer rectangle, in the same screen pixels as the work areas.
void Place(const WindowGeometry& geometry)
{
    SetWindowPos(window, nullptr, geometry.x, geometry.y, geometry.width, geometry.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void OnDrop(DropHandler handler)
{
    dropHandler = std::move(handler);
}

void Show()
{
    ShowWindow(window, SW_SHOWDEFAULT);
    UpdateWindow(window);
}

void Maximize()
{
    ShowWindow(window, SW_MAXIMIZE);
}

WindowNow CurrentPlace()
{
    WindowNow now;
    now.minimized = IsIconic(window);
    now.maximized = IsZoomed(window);
    RECT frame = {};
    if (GetWindowRect(window, &frame))
        now.place = {int(frame.left), int(frame.top), int(frame.right - frame.left),
                     int(frame.bottom - frame.top)};
    return now;
}

void SetTitle(const std::string& title)
{
    SetWindowTextW(window, Platform::PathFromUtf8(title).wstring().c_str());
}

int ReloadKey()
{
    return VK_F5;
}

int NextChangeKey()
{
    return VK_F8;
}

bool StartGui(std::string& error)
{
    if (!ImGui_ImplWin32_Init(window)) {
        error = "the Win32 back end could not be set up";
        return false;
    }
    if (!ImGui_ImplDX11_Init(device, context)) {
        ImGui_ImplWin32_Shutdown();
        error = "the Direct3D 11 renderer could not be set up";
        return false;
    }
    // The window's messages go to its own context, whichever one a frame has current.
    Win32Windows::SetContext(window, ImGui::GetCurrentContext());
    return true;
}

WindowHost* SecondaryWindows(std::map<std::string, WindowPlace>& places)
{
    return Win32Windows::StartSecondaryWindows(window, device, context, scale, places);
}

void StopGui()
{
    Win32Windows::CloseSecondaryWindows();
    Win32Windows::SetContext(window, nullptr);
    ImGui_ImplDX11_Shutdown();
    ImGui_ImplWin32_Shutdown();
}

bool PumpEvents()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT)
            return false;
        TranslateMessage(&message);
        DispatchMessageW(&message);
        // The GUI library reads buttons and keys once a frame as held or not: a press and its
        // release handled in one go (a tap on a touchpad) would never be seen. A frame runs between.
        if (IsPress(message.message))
            break;
    }
    return !closeRequested;
}

void WaitEvents(double timeoutSeconds)
{
    const DWORD milliseconds = timeoutSeconds <= 0 ? 0 : DWORD(timeoutSeconds * 1000 + 0.5);
    MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

bool TakeInputSeen()
{
    return Win32Windows::TakeInputSeen();
}

void Wake()
{
    if (window)
        PostMessageW(window, WM_NULL, 0, 0);
}

void NewFrame()
{
    ImGui_ImplDX11_NewFrame();
    ImGui_ImplWin32_NewFrame();
}

void Present()
{
    const float black[4] = {0, 0, 0, 1};
    if (renderTarget) {
        context->OMSetRenderTargets(1, &renderTarget, nullptr);
        context->ClearRenderTargetView(renderTarget, black);
    }
    ImGui_ImplDX11_RenderDrawData(ImGui::GetDrawData());
    swapChain->Present(1, 0); // in step with the display
    Win32Windows::AfterFrame();
}

void Close()
{
    Destroy();
}

} // namespace Backend
