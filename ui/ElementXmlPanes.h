#pragma once

#include "concurrency/ThreadPool.h"
#include "model/Ref.h"
#include "ui/ElementXml.h"

#include <map>
#include <memory>
#include <string>

class Gui;

// The "View XML" side of the element windows: per window, whether its XML is shown, and the text,
// made on a worker of its own.
class ElementXmlPanes
{
public:
    ElementXmlPanes() = default;
    ~ElementXmlPanes();
    ElementXmlPanes(const ElementXmlPanes&) = delete;
    ElementXmlPanes& operator=(const ElementXmlPanes&) = delete;

    // The line above the element window `windowId` showing `element`: the toggle and, while the
    // XML is shown, its line in the file, a note when it is cut and a copy button. True while the
    // XML is shown in place of the tree.
    bool DrawBar(Gui& gui, const std::string& windowId, const Ref& element);
    // The XML text, or a spinner while it is being made; inside the window's scrolling region.
    void DrawText(const std::string& windowId);
    size_t Count() const { return panes.size(); }
    // Drops the panes of windows that are no longer open.
    template <class Windows> void KeepOnly(const Windows& windows)
    {
        std::erase_if(panes, [&](const auto& pane) {
            for (const auto& window : windows) {
                if (window.windowId == pane.first)
                    return false;
            }
            return true;
        });
    }

    // The task; public so that the pool can bind it.
    ElementXml Make(pugi::xml_node node, std::shared_ptr<pugi::xml_document> document);

private:
    struct Pane
    {
        bool shown = false;
        pugi::xml_node node; // what the text below is of
        int document = 0;    // ... in which document (Gui::documentCount)
        std::unique_ptr<Future<ElementXml>> pending;
        std::shared_ptr<ElementXml> xml;
    };

    std::map<std::string, Pane> panes;
    ThreadPool pool{1}; // declared last: joined first, while the panes still exist
};
