#include "app/HostedWindows.h"

#include <functional>
#include <string_view>

size_t PictureHash(const ImDrawData& data, int width, int height)
{
    size_t hash = std::hash<long long>()((long long)width << 32 | unsigned(height));
    auto mix = [&hash](const void* bytes, size_t size) {
        const size_t part = std::hash<std::string_view>()(std::string_view((const char*)bytes, size));
        hash ^= part + 0x9e3779b97f4a7c15ull + (hash << 6) + (hash >> 2);
    };
    for (int i = 0; i < data.CmdListsCount; ++i) {
        const ImDrawList& list = *data.CmdLists[i];
        mix(list.VtxBuffer.Data, list.VtxBuffer.size_in_bytes());
        mix(list.IdxBuffer.Data, list.IdxBuffer.size_in_bytes());
        for (const ImDrawCmd& command : list.CmdBuffer) {
            mix(&command.ClipRect, sizeof command.ClipRect);
            mix(&command.TextureId, sizeof command.TextureId);
            mix(&command.ElemCount, sizeof command.ElemCount);
            mix(&command.IdxOffset, sizeof command.IdxOffset);
            mix(&command.VtxOffset, sizeof command.VtxOffset);
        }
    }
    return hash;
}

ImGuiContext* CreateSecondaryContext()
{
    ImGuiContext* context = ImGui::CreateContext(ImGui::GetIO().Fonts);
    ImGui::SetCurrentContext(context);
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr; // the main window's context keeps the layout file
    io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
    io.ConfigInputTextCursorBlink = false;
    return context;
}

void StyleForScale(const ImGuiStyle& mainStyle, float mainScale, float scale)
{
    ImGui::GetStyle() = mainStyle;
    ImGui::GetStyle().ScaleAllSizes(scale / mainScale);
    ImGui::GetIO().FontGlobalScale = scale / mainScale;
}

WindowGeometry OpeningPlace(const WindowGeometry& fresh, const std::map<std::string, WindowPlace>& places,
                            const std::string& placeKey, bool resizable, int sameKindOpen,
                            const std::vector<WorkArea>& areas)
{
    auto saved = places.find(placeKey);
    if (saved == places.end())
        return fresh;
    WindowPlace place = saved->second;
    if (!resizable) {
        place.width = fresh.width;
        place.height = fresh.height;
    }
    return SavedGeometryOnMonitors(place, areas, sameKindOpen).value_or(fresh);
}
