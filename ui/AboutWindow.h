#pragma once

class Gui;

// Help > About: the version, who holds the rights and the licence.
class AboutWindow
{
public:
    bool shown = false;

    // Draws the window while shown; closing it clears `shown`.
    void Draw(Gui& gui);
};
