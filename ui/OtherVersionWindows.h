#pragma once

#include <list>
#include <string>

class Gui;

// Windows on elements of the version the open document is compared with: the element at a path in
// that version, its tree as an element window shows one. They close with the comparison.
class OtherVersionWindows
{
public:
    void Open(std::string path);
    void Draw(Gui& gui);
    size_t Count() const { return windows.size(); }

private:
    struct Window
    {
        std::string path;
        int id;
    };
    std::list<Window> windows;
    int opened = 0;
};
