#pragma once

#include "model/TreeItem.h"

#include <string>
#include <utility>
#include <vector>

// One open element window or refs-to window.
struct WindowEntry
{
    std::string path;
    std::string windowId;

    // The GUI library's name of the window: its title and, after "##", its id.
    std::string Name(const char* titlePrefix = "") const { return titlePrefix + path + "##" + windowId; }
};

// What a window asks of the others: to go to an element in the main tree, or to open a window on
// it. Posted while the windows draw and carried out together by the interface at the end of the
// frame, so that no window reaches into another's state.
class NavigationRequests
{
public:
    enum class Kind
    {
        GoTo, // reveal in the main tree, recorded in the history
        OpenElementWindow,
        OpenRefsWindow,
    };
    struct Request
    {
        Kind kind;
        WindowEntry target; // the id is set for the windows only
        std::vector<TreeItem> trail;
        bool lastStepUnrecorded = false; // see GoToRowOfOtherVersion
    };

    // `trail` leads to the element at `path` or to a node inside it.
    void GoTo(std::vector<TreeItem> trail, std::string path)
    {
        requests.push_back({Kind::GoTo, {std::move(path), {}}, std::move(trail)});
    }
    // Like GoTo, for a row of the version compared with (its trail's last step): the history keeps
    // the way to the row's parent, so that Back never leads into a version that may be gone.
    void GoToRowOfOtherVersion(std::vector<TreeItem> trail, std::string path)
    {
        requests.push_back({Kind::GoTo, {std::move(path), {}}, std::move(trail), true});
    }
    void OpenElementWindow(std::string path) { OpenWindow(Kind::OpenElementWindow, std::move(path)); }
    void OpenRefsWindow(std::string path) { OpenWindow(Kind::OpenRefsWindow, std::move(path)); }

    // The requests in the order they came; none are left.
    std::vector<Request> Take() { return std::exchange(requests, {}); }

private:
    // Element and refs-to windows share one count: the id also staggers where a window opens.
    void OpenWindow(Kind kind, std::string path)
    {
        requests.push_back({kind, {std::move(path), std::to_string(windowCount++)}, {}});
    }

    std::vector<Request> requests;
    int windowCount = 0;
};
