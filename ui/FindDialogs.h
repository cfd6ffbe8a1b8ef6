#pragma once

#include <optional>
#include <string>

class Gui;

// Navigate > Find Ref: a reference path typed, with Tab completing it, and where it leads. The
// text typed stays while the dialog is closed, so reopening it shows the last one.
class FindRefDialog
{
public:
    bool shown = false;
    bool raise = false; // brought forward when next drawn

    // Draws the dialog while shown; closing it clears `shown`.
    void Draw(Gui& gui);

private:
    char input[4096] = "";
    // The reference text Enter was last pressed on: only its failure is told, and none before Enter.
    std::optional<std::string> entered;
};

// Navigate > Find Shortname: the element of the short name typed, with a list when several have
// it or, when none has it, of those whose short name contains it.
class FindShortnameDialog
{
public:
    bool shown = false;
    bool raise = false; // brought forward when next drawn

    // Draws the dialog while shown; closing it clears `shown`.
    void Draw(Gui& gui);

    // The elements listed under the dialog: all those of exactly the name typed, or, when none has
    // it, those whose short name contains it.
    struct PartMatches
    {
        std::string text;  // what the list was made for
        int selected = -1; // row chosen by the user; of the exact ones, the first counts until then
        bool shown = false;
    };

private:
    char input[4096] = "";
    PartMatches partMatches;
};
