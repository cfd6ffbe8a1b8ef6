#pragma once

#include <mutex>
#include <string>
#include <vector>

// Paths chosen in the open dialogs, handed from the thread a dialog answers on to the next frame,
// which acts on them: the window keeps drawing while a dialog is open.
class DialogChoices
{
public:
    struct Choice
    {
        std::string path;
        bool inNewWindow = false; // "Open File in New Window..." rather than open here
        bool compare = false;     // "Compare With...": the other version of the open document
    };

    // Any thread; wakes a window that sleeps. An empty path (a cancelled dialog) is dropped.
    void Post(Choice choice);
    // User-interface thread: what was posted since the last call, oldest first.
    std::vector<Choice> Take();

private:
    std::mutex mutex;
    std::vector<Choice> choices; // guarded by mutex
};
