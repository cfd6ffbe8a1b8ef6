#pragma once

#include "ui/WindowHost.h"

#include <map>
#include <string>

// Secondary windows in GUI library contexts of their own, as the desktop's windows have them, but
// without any window: the interface tests and the bench draw them this way. Each window's display
// is the size it asked for.
class HeadlessWindowHost final : public WindowHost
{
public:
    ~HeadlessWindowHost() override;

    bool Begin(const Request& request) override;
    void End() override;

    // After a frame: forgets the windows the frame did not draw, or that were closed.
    void AfterFrame();

    // The desktop's close button of the window named `name`.
    void Close(const std::string& name) { windows.at(name).closed = true; }

    // The context of the window named `name`, to give it input; null when it is not open.
    ImGuiContext* Context(const std::string& name) const;
    size_t Count() const { return windows.size(); }
    // The window last brought forward, if any.
    const std::string& Raised() const { return raised; }

private:
    struct Window
    {
        ImGuiContext* context = nullptr;
        bool drawn = false;
        bool closed = false;
    };
    std::map<std::string, Window> windows;
    ImGuiContext* mainContext = nullptr;
    std::string raised;
};
