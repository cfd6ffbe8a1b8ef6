// Secondary windows as windows of the desktop: one Win32 window, swap chain and GUI library context
// each, all drawn with the main window's Direct3D 11 device and sharing its font atlas and texture.
#include "app/Win32Windows.h"

#include "app/Backend.h"
#include "app/HostedWindows.h"
#include "platform/Platform.h"

#include <backends/imgui_impl_dx11.h>
#include <backends/imgui_impl_win32.h>

#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

extern IMGUI_IMPL_API LRESULT ImGui_ImplWin32_WndProcHandler(HWND hWnd, UINT msg, WPARAM wParam,
                                                             LPARAM lParam);

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace Win32Windows {

namespace {

const wchar_t* const kClassName = L"TessaroWindow";

bool inputSeen = false; // set by the window procedures, on the GUI thread

bool IsInput(UINT message)
{
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_MOUSELEAVE ||
           message == WM_SIZE || message == WM_SETFOCUS || message == WM_KILLFOCUS ||
           message == WM_DROPFILES || message == WM_PAINT || message == WM_CLOSE || message == WM_DPICHANGED;
}

template <class T> void Release(T*& object)
{
    if (object)
        object->Release();
    object = nullptr;
}

// Owned windows are neither minimized nor maximized on their own: they follow the main window.
DWORD StyleFor(bool resizable)
{
    return resizable ? (WS_OVERLAPPEDWINDOW & ~(WS_MINIMIZEBOX | WS_MAXIMIZEBOX))
                     : (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU);
}

// The outer size of a window whose drawing area is `size`.
SIZE FrameSize(ImVec2 size, DWORD style)
{
    RECT frame = {0, 0, LONG(size.x), LONG(size.y)};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

struct Secondary
{
    HWND window = nullptr;
    IDXGISwapChain* swapChain = nullptr;
    ID3D11RenderTargetView* renderTarget = nullptr;
    ImGuiContext* context = nullptr;
    std::string name;
    std::string placeKey;
    DWORD style = 0;
    ImVec2 fixedSize;
    ImVec2 minSize;
    float scale = 0;      // styled on its first frame
    bool drawn = false;   // asked for in the frame being drawn
    bool closed = false;  // the user closed it through the desktop
    size_t shown = 0;     // PictureHash of what the window shows
    bool exposed = false; // Windows asks for the picture again

    bool CreateRenderTarget(ID3D11Device* device)
    {
        ID3D11Texture2D* backBuffer = nullptr;
        if (FAILED(swapChain->GetBuffer(0, IID_PPV_ARGS(&backBuffer))))
            return false;
        const HRESULT created = device->CreateRenderTargetView(backBuffer, nullptr, &renderTarget);
        backBuffer->Release();
        return SUCCEEDED(created);
    }
};

class Host final : public WindowHost
{
public:
    Host(HWND main, ID3D11Device* device, ID3D11DeviceContext* deviceContext, IDXGIFactory* factory,
         float mainScale, std::map<std::string, WindowPlace>& places)
        : main(main), device(device), deviceContext(deviceContext), factory(factory), mainScale(mainScale),
          places(places), mainStyle(ImGui::GetStyle()), mainContext(ImGui::GetCurrentContext())
    {}

    ~Host() override { Release(factory); }

    bool Begin(const Request& request) override
    {
        Secondary* shown = windows.Find(request.name);
        if (!shown)
            shown = Open(request);
        if (!shown)
            return false;
        shown->drawn = true;
        current = shown;
        if (!request.resizable &&
            (request.size.x != shown->fixedSize.x || request.size.y != shown->fixedSize.y)) {
            shown->fixedSize = request.size;
            const SIZE frame = FrameSize(request.size, shown->style);
            SetWindowPos(shown->window, nullptr, 0, 0, frame.cx, frame.cy,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        if (request.focus)
            SetForegroundWindow(shown->window);

        // The atlas names one texture, the main window's; this window's renderer made its own copy
        // when it started.
        ImFontAtlas* atlas = ImGui::GetIO().Fonts;
        const ImTextureID shared = atlas->TexID;
        ImGui::SetCurrentContext(shown->context);
        Rescale(*shown);
        ImGui_ImplDX11_NewFrame();
        ImGui_ImplWin32_NewFrame();
        atlas->SetTexID(shared);
        ImGui::NewFrame();
        return !shown->closed;
    }

    // A window whose picture did not change keeps showing it: most windows are still while the
    // user works in one, and drawing each of them again would cost a frame as much as all of them.
    void End() override
    {
        if (!current)
            return; // the window could not be opened: the interface drew into the main window once
        ImGui::Render();
        RECT client = {};
        GetClientRect(current->window, &client);
        const int width = client.right - client.left, height = client.bottom - client.top;
        const size_t picture = PictureHash(*ImGui::GetDrawData(), width, height);
        if ((picture != current->shown || current->exposed) && current->renderTarget && width > 0 &&
            height > 0) {
            const float black[4] = {0, 0, 0, 1};
            deviceContext->OMSetRenderTargets(1, &current->renderTarget, nullptr);
            deviceContext->ClearRenderTargetView(current->renderTarget, black);
            ImGui_ImplDX11_RenderDrawData(ImGui::GetDrawData());
            current->swapChain->Present(0, 0); // the main window's present paces the frame
            current->shown = picture;
            current->exposed = false;
        }
        ImGui::SetCurrentContext(mainContext);
        current = nullptr;
    }

    void AfterFrame()
    {
        windows.Sweep([](Secondary& window) { return window.closed; },
                      [this](Secondary& window) { Close(window); });
    }

    void CloseAll()
    {
        windows.CloseAll([this](Secondary& window) { Close(window); });
    }

    Secondary* Find(HWND window)
    {
        for (auto& shown : windows) {
            if (shown->window == window)
                return shown.get();
        }
        return nullptr;
    }

    // A new size from the user or from a change of monitor: the swap chain follows.
    void Resized(Secondary& window, int width, int height)
    {
        if (!window.swapChain || width <= 0 || height <= 0)
            return;
        Release(window.renderTarget);
        window.swapChain->ResizeBuffers(0, UINT(width), UINT(height), DXGI_FORMAT_UNKNOWN, 0);
        window.CreateRenderTarget(device);
        window.exposed = true;
    }

    HWND Main() const { return main; }

private:
    // Where the last window of this kind was left, else beside the middle of the main window.
    WindowGeometry PlaceFor(const Request& request, DWORD style)
    {
        POINT origin = {0, 0};
        ClientToScreen(main, &origin);
        const SIZE frame = FrameSize(request.size, style);
        const WindowGeometry fresh = {int(origin.x + request.offset.x), int(origin.y + request.offset.y),
                                      int(frame.cx), int(frame.cy)};
        return OpeningPlace(fresh, places, request.placeKey, request.resizable,
                            windows.CountOfKind(request.placeKey), Backend::MonitorWorkAreas());
    }

    Secondary* Open(const Request& request)
    {
        auto shown = std::make_unique<Secondary>();
        shown->name = request.name;
        shown->placeKey = request.placeKey;
        shown->style = StyleFor(request.resizable);
        shown->fixedSize = request.size;
        shown->minSize = request.resizable ? request.minSize : ImVec2(0, 0);
        const WindowGeometry geometry = PlaceFor(request, shown->style);
        const std::wstring title = Platform::PathFromUtf8(request.title).wstring();
        // Owned by the main window: Windows keeps it above that one, minimizes it with it and leaves
        // it out of the task bar.
        shown->window = CreateWindowExW(0, kClassName, title.c_str(), shown->style, geometry.x, geometry.y,
                                        geometry.width, geometry.height, main, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
        if (!shown->window || !StartDrawing(*shown)) {
            std::fprintf(stderr, "tessaro: cannot open the window %s\n", request.title.c_str());
            Close(*shown);
            return nullptr;
        }
        DragAcceptFiles(shown->window, TRUE);
        Secondary* opened = &windows.Add(std::move(shown));
        // A new window takes the keyboard, as a dialog does; the request also starts its text input.
        ShowWindow(opened->window, SW_SHOW);
        return opened;
    }

    // The window's swap chain and its context with both back ends; the main context stays current.
    bool StartDrawing(Secondary& window)
    {
        DXGI_SWAP_CHAIN_DESC description = {};
        description.BufferCount = 2;
        description.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
        description.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
        description.OutputWindow = window.window;
        description.SampleDesc.Count = 1;
        description.Windowed = TRUE;
        description.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
        if (FAILED(factory->CreateSwapChain(device, &description, &window.swapChain)) ||
            !window.CreateRenderTarget(device))
            return false;
        // Alt+Enter belongs to the interface, not to a switch to full screen.
        factory->MakeWindowAssociation(window.window, DXGI_MWA_NO_ALT_ENTER);
        window.context = CreateSecondaryContext();
        const bool started = ImGui_ImplWin32_Init(window.window);
        if (!started || !ImGui_ImplDX11_Init(device, deviceContext)) {
            if (started)
                ImGui_ImplWin32_Shutdown();
            ImGui::DestroyContext(window.context);
            window.context = nullptr;
            ImGui::SetCurrentContext(mainContext);
            return false;
        }
        ImGui::SetCurrentContext(mainContext);
        SetContext(window.window, window.context);
        return true;
    }

    // The main window's style and fonts, sized for the monitor the window is on now.
    void Rescale(Secondary& window)
    {
        float scale = ImGui_ImplWin32_GetDpiScaleForHwnd(window.window);
        if (!(scale > 0))
            scale = mainScale;
        if (scale == window.scale)
            return;
        window.scale = scale;
        StyleForScale(mainStyle, mainScale, scale);
    }

    void Close(Secondary& window)
    {
        if (window.window && !IsIconic(window.window)) {
            RECT frame = {};
            if (GetWindowRect(window.window, &frame) && frame.right > frame.left && frame.bottom > frame.top)
                places[window.placeKey] = {int(frame.left), int(frame.top), int(frame.right - frame.left),
                                           int(frame.bottom - frame.top)};
        }
        if (window.context) {
            SetContext(window.window, nullptr);
            ImFontAtlas* atlas = ImGui::GetIO().Fonts;
            const ImTextureID shared = atlas->TexID;
            ImGui::SetCurrentContext(window.context);
            ImGui_ImplDX11_Shutdown(); // frees this window's copy of the font texture
            ImGui_ImplWin32_Shutdown();
            ImGui::DestroyContext(window.context);
            ImGui::SetCurrentContext(mainContext);
            atlas->SetTexID(shared);
            window.context = nullptr;
        }
        Release(window.renderTarget);
        Release(window.swapChain);
        if (window.window)
            DestroyWindow(window.window);
        window.window = nullptr;
    }

    HWND main;
    ID3D11Device* device;
    ID3D11DeviceContext* deviceContext;
    IDXGIFactory* factory;
    float mainScale;
    std::map<std::string, WindowPlace>& places;
    ImGuiStyle mainStyle;
    ImGuiContext* mainContext;
    OpenWindows<Secondary> windows;
    Secondary* current = nullptr;
};

std::unique_ptr<Host> host;

LRESULT WINAPI SecondaryProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (Route(hwnd, message, wParam, lParam))
        return 1;
    Secondary* shown = host ? host->Find(hwnd) : nullptr;
    switch (message) {
        case WM_SIZE:
            if (shown && wParam != SIZE_MINIMIZED)
                host->Resized(*shown, LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_PAINT:
            if (shown)
                shown->exposed = true;
            break; // the default handler marks the window painted; the next frame draws it
        case WM_GETMINMAXINFO:
            if (shown && (shown->minSize.x > 0 || shown->minSize.y > 0)) {
                const SIZE frame = FrameSize(shown->minSize, shown->style);
                reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {frame.cx, frame.cy};
                return 0;
            }
            break;
        case WM_DPICHANGED: {
            // Moved onto a monitor of another scale: take the size Windows proposes for it.
            const RECT* proposed = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(hwnd, nullptr, proposed->left, proposed->top, proposed->right - proposed->left,
                         proposed->bottom - proposed->top, SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_KEYMENU) // the Alt key (Alt+Left) would open the window menu
                return 0;
            break;
        case WM_CLOSE:
            // The close button: the interface lets the window go in the next frame.
            if (shown)
                shown->closed = true;
            return 0;
        case WM_DROPFILES:
            // Files dropped on any window of the viewer open as if dropped on the main one.
            return host ? SendMessageW(host->Main(), message, wParam, lParam) : 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

WNDCLASSEXW ViewerClass(const wchar_t* name, WNDPROC procedure)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    // The program icon, resource 100, in the sizes the title bar and the task switcher ask for;
    // icons loaded shared belong to the system and are never destroyed.
    windowClass.hIcon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(100), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(100), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = name;
    return windowClass;
}

void SetContext(HWND window, ImGuiContext* context)
{
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(context));
}

bool Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (IsInput(message))
        inputSeen = true;
    auto* context = reinterpret_cast<ImGuiContext*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!context)
        return false;
    ImGuiContext* current = ImGui::GetCurrentContext();
    ImGui::SetCurrentContext(context);
    const bool taken = ImGui_ImplWin32_WndProcHandler(window, message, wParam, lParam) != 0;
    ImGui::SetCurrentContext(current);
    return taken;
}

bool TakeInputSeen()
{
    return std::exchange(inputSeen, false);
}

WindowHost* StartSecondaryWindows(HWND main, ID3D11Device* device, ID3D11DeviceContext* deviceContext,
                                  float mainScale, std::map<std::string, WindowPlace>& places)
{
    IDXGIDevice* dxgiDevice = nullptr;
    IDXGIAdapter* adapter = nullptr;
    IDXGIFactory* factory = nullptr;
    if (SUCCEEDED(device->QueryInterface(IID_PPV_ARGS(&dxgiDevice))) &&
        SUCCEEDED(dxgiDevice->GetAdapter(&adapter)))
        adapter->GetParent(IID_PPV_ARGS(&factory));
    Release(adapter);
    Release(dxgiDevice);

    const WNDCLASSEXW windowClass = ViewerClass(kClassName, SecondaryProcedure);
    if (!factory || !RegisterClassExW(&windowClass)) {
        // Secondary windows are then drawn inside the main window.
        std::fprintf(stderr, "tessaro: secondary windows cannot be windows of their own\n");
        Release(factory);
        return nullptr;
    }
    host = std::make_unique<Host>(main, device, deviceContext, factory, mainScale, places);
    return host.get();
}

void AfterFrame()
{
    if (host)
        host->AfterFrame();
}

void CloseSecondaryWindows()
{
    if (!host)
        return;
    host->CloseAll();
    host.reset();
    UnregisterClassW(kClassName, GetModuleHandleW(nullptr));
}

} // namespace Win32Windows
