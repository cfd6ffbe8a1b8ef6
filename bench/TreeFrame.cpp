#include "bench/TreeFrame.h"

#include "platform/Platform.h"
#include "ui/Gui.h"
#include "ui/HeadlessWindowHost.h"

#include <imgui_internal.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {
constexpr int kChildren = 200000;
constexpr int kFrames = 200;

void WriteLongList(const std::string& path)
{
    std::ofstream out(path, std::ios::binary);
    out << "<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>P</SHORT-NAME><ELEMENTS>";
    for (int i = 1; i <= kChildren; ++i)
        out << "<I-SIGNAL><SHORT-NAME>S" << i << "</SHORT-NAME><LENGTH>8</LENGTH></I-SIGNAL>";
    out << "</ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>";
}

constexpr int kLevels = 1000000;

// kLevels elements each inside the one before, named L0, L1, ...
void WriteDeepNesting(const std::string& path)
{
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < kLevels; ++i)
        out << "<E><SHORT-NAME>L" << i << "</SHORT-NAME>";
    for (int i = 0; i < kLevels; ++i)
        out << "</E>";
}

double ThreadCpuMs()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// A GUI library context with its built-in font and no window, as the interface tests use.
class HeadlessContext
{
public:
    HeadlessContext() : context(ImGui::CreateContext())
    {
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = ImVec2(1280, 900);
        io.DeltaTime = 1.0f / 60.0f;
        io.Fonts->AddFontDefault();
        unsigned char* pixels;
        int width, height;
        io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
        io.Fonts->SetTexID(ImTextureID(1));
    }
    ~HeadlessContext() { ImGui::DestroyContext(context); }

    void Frame(Gui& gui)
    {
        ImGui::NewFrame();
        gui.DrawFrame();
        ImGui::Render();
    }

    double CpuMsPerFrame(Gui& gui)
    {
        for (int i = 0; i < 5; ++i)
            Frame(gui);
        const double start = ThreadCpuMs();
        for (int i = 0; i < kFrames; ++i)
            Frame(gui);
        return (ThreadCpuMs() - start) / kFrames;
    }

private:
    ImGuiContext* context;
};

// Opens `path` and draws frames until its document is ready; false when it is not within minutes.
bool OpenAndWait(HeadlessContext& headless, Gui& gui, const std::string& path)
{
    gui.state->OpenFile(path);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(10);
    while (gui.state->GetKind() != StateKind::Ready && gui.state->GetKind() != StateKind::Error &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        headless.Frame(gui);
    }
    return gui.state->GetKind() == StateKind::Ready && gui.state->document;
}

ImGuiID WithInt(ImGuiID seed, int n)
{
    return ImHashData(&n, sizeof(n), seed);
}

ImGuiID WithLabel(ImGuiID seed, const char* label)
{
    return ImHashStr(label, 0, seed);
}

// Opens the ELEMENTS row of the element window on "/P" at `page`, through the window's storage
// exactly where the tree keeps it. False when the window is not there.
bool OpenListInElementWindow(const Gui& gui, const char* windowName, int page)
{
    ImGuiWindow* parent = ImGui::FindWindowByName(windowName);
    for (ImGuiWindow* region : GImGui->Windows) {
        if (!parent || region->ParentWindow != parent || !std::strstr(region->Name, "/ScrollingRegion_"))
            continue;
        ImGuiID base = WithInt(region->ID, int(gui.state->id));
        ImGuiID listRow = WithInt(WithLabel(WithInt(base, 0), "AR-PACKAGE"), 1);
        region->StateStorage.SetInt(WithLabel(listRow, "ELEMENTS"), 1);
        region->StateStorage.SetInt(WithLabel(listRow, "##page"), page);
        return true;
    }
    return false;
}
} // namespace

namespace {
// The main tree of the document at `path` with its top levels open (the first twenty packages and
// their sub-packages, each with the first page of its elements), then with the filter showing the
// elements whose short name holds a "7": a large kept tree, drawn from the filter's answer.
void DocumentFigures(const std::string& path, std::vector<std::pair<std::string, double>>& figures)
{
    HeadlessContext headless;
    Gui gui;
    if (!OpenAndWait(headless, gui, path))
        return;
    pugi::xml_node packages = gui.state->document->document_element().child("AR-PACKAGES");
    int clusters = 0;
    for (pugi::xml_node package = packages.first_child(); package && clusters < 20;
         package = package.next_sibling(), ++clusters) {
        for (pugi::xml_node sub : package.child("AR-PACKAGES").children("AR-PACKAGE")) {
            pugi::xml_node target = sub.child("ELEMENTS").first_child();
            gui.tree.navigationTarget = Ref(target ? target : sub)->trail;
            headless.Frame(gui);
        }
    }
    figures.emplace_back("tree_frame_ms_document", headless.CpuMsPerFrame(gui));

    // The field takes the focus a frame after asking for it, and the typed text a frame later.
    gui.filterBar.focus = true;
    headless.Frame(gui);
    headless.Frame(gui);
    ImGui::GetIO().AddInputCharactersUTF8("7");
    headless.Frame(gui);
    if (gui.filterBar.query.text != "7")
        return;
    const auto typed = std::chrono::steady_clock::now();
    const auto deadline = typed + std::chrono::minutes(2);
    while (!gui.filterBar.shown && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        headless.Frame(gui);
    }
    if (!gui.filterBar.shown)
        return;
    figures.emplace_back("tree_filter_s",
                         std::chrono::duration<double>(std::chrono::steady_clock::now() - typed).count());
    figures.emplace_back("tree_filter_matches", double(gui.filterBar.shown->matchCount));
    figures.emplace_back("tree_frame_ms_filtered", headless.CpuMsPerFrame(gui));
}
} // namespace

std::vector<std::pair<std::string, double>> TreeFrameFigures(const std::string& documentPath)
{
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("tessaro-bench-list-" + std::to_string(Platform::ProcessId()) + ".arxml"))
                                 .string();
    WriteLongList(path);
    std::vector<std::pair<std::string, double>> figures;
    {
        HeadlessContext headless;
        Gui gui;
        OpenAndWait(headless, gui, path);
        Result<Ref> target = gui.state->FindRef("/P/S100000"); // page 5000 of the list
        if (target.status == ResultStatus::Done) {
            figures.emplace_back("tree_frame_ms_baseline", headless.CpuMsPerFrame(gui));
            gui.tree.navigationTarget = target.GetValue()->trail;
            figures.emplace_back("tree_frame_ms_200k", headless.CpuMsPerFrame(gui));
            gui.navigation.OpenElementWindow("/P");
            gui.FollowNavigation();
            headless.Frame(gui);
            headless.Frame(gui);
            if (OpenListInElementWindow(gui, "/P##0", 9000))
                figures.emplace_back("tree_frame_ms_200k_two_windows", headless.CpuMsPerFrame(gui));
        }
    }
    // The same main tree with ten element windows beside it, each in a context of its own as the
    // desktop's windows have them (drawn, not rendered); then the frame that opens one more.
    {
        HeadlessContext headless;
        Gui gui;
        HeadlessWindowHost host; // after the main context: goes first
        gui.windowHost = &host;
        OpenAndWait(headless, gui, path);
        Result<Ref> target = gui.state->FindRef("/P/S100000");
        if (target.status == ResultStatus::Done) {
            gui.tree.navigationTarget = target.GetValue()->trail;
            for (int i = 1; i <= 10; ++i)
                gui.navigation.OpenElementWindow("/P/S" + std::to_string(i * 1000));
            gui.FollowNavigation();
            figures.emplace_back("tree_frame_ms_200k_ten_windows", headless.CpuMsPerFrame(gui));
            gui.navigation.OpenElementWindow("/P/S11000");
            gui.FollowNavigation();
            const double start = ThreadCpuMs();
            headless.Frame(gui);
            figures.emplace_back("secondary_window_open_frame_ms", ThreadCpuMs() - start);
        }
    }
    std::filesystem::remove(path);
    // A document as deep as it is long: the main tree opened down to its deepest element.
    WriteDeepNesting(path);
    {
        HeadlessContext headless;
        Gui gui;
        if (OpenAndWait(headless, gui, path)) {
            headless.Frame(gui); // the first frame of a new document drops any target set before it
            pugi::xml_node deepest = gui.state->document->document_element();
            while (deepest.last_child() && std::strcmp(deepest.last_child().name(), "E") == 0)
                deepest = deepest.last_child();
            gui.tree.navigationTarget = Ref(deepest)->trail;
            figures.emplace_back("tree_frame_ms_1m_levels", headless.CpuMsPerFrame(gui));
        }
    }
    std::filesystem::remove(path);
    DocumentFigures(documentPath, figures);
    return figures;
}
