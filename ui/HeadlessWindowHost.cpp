#include "ui/HeadlessWindowHost.h"

#include <algorithm>
#include <iterator>

HeadlessWindowHost::~HeadlessWindowHost()
{
    for (auto& [name, window] : windows)
        ImGui::DestroyContext(window.context);
}

bool HeadlessWindowHost::Begin(const Request& request)
{
    mainContext = ImGui::GetCurrentContext();
    Window& window = windows[request.name];
    if (!window.context) {
        const ImGuiStyle style = ImGui::GetStyle();
        const ImGuiIO& mainIo = ImGui::GetIO();
        window.context = ImGui::CreateContext(mainIo.Fonts);
        ImGui::SetCurrentContext(window.context);
        ImGui::GetStyle() = style;
        ImGuiIO& io = ImGui::GetIO();
        // Configured and keys numbered as the main context, as the platform back end does.
        std::copy(std::begin(mainIo.KeyMap), std::end(mainIo.KeyMap), std::begin(io.KeyMap));
        io.IniFilename = nullptr;
        io.ConfigFlags = mainIo.ConfigFlags;
        io.DisplaySize = request.size;
    }
    window.drawn = true;
    if (request.focus)
        raised = request.name;
    ImGui::SetCurrentContext(window.context);
    ImGui::GetIO().DeltaTime = 1.0f / 60.0f;
    ImGui::NewFrame();
    return !window.closed;
}

void HeadlessWindowHost::End()
{
    ImGui::Render();
    ImGui::SetCurrentContext(mainContext);
}

void HeadlessWindowHost::AfterFrame()
{
    for (auto it = windows.begin(); it != windows.end();) {
        if (it->second.drawn && !it->second.closed) {
            it->second.drawn = false;
            ++it;
            continue;
        }
        ImGui::DestroyContext(it->second.context);
        ImGui::SetCurrentContext(mainContext);
        it = windows.erase(it);
    }
}

ImGuiContext* HeadlessWindowHost::Context(const std::string& name) const
{
    auto it = windows.find(name);
    return it == windows.end() ? nullptr : it->second.context;
}
