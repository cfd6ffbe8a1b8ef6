// Real files against themselves, written out again, and against a copy with a few edits made here.
#include "lifecycle/State.h"
#include "model/NodeText.h"
#include "model/Workspace.h"
#include "query/ModelCompare.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

struct Named
{
    std::string path;
    pugi::xml_node node;
};

void CollectNamed(pugi::xml_node parent, const std::string& path, std::vector<Named>& named)
{
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        std::string childPath = path;
        if (pugi::xml_node name = ShortNameChild(child)) {
            childPath += "/" + std::string(name.text().get());
            named.push_back({childPath, child});
        }
        CollectNamed(child, childPath, named);
    }
}

// A text-only child that is a value of `element` (not its name, not what tells ECUC values apart).
pugi::xml_node ValueChild(pugi::xml_node element)
{
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        const std::string tag = child.name();
        if (child.type() == pugi::node_element && tag != "SHORT-NAME" && tag != "DEFINITION-REF" &&
            !child.find_child([](pugi::xml_node n) { return n.type() == pugi::node_element; }) &&
            *child.text().get())
            return child;
    }
    return {};
}

// "kind path detail": the detail is a move's old path or a value's new text.
std::string Line(const std::string& kind, const std::string& path, const std::string& detail = "")
{
    return kind + " " + path + " " + detail;
}

std::multiset<std::string> Compared(const std::string& oldFile, const std::string& newFile)
{
    auto oldState = OpenAndSettle(oldFile), newState = OpenAndSettle(newFile);
    std::multiset<std::string> lines;
    if (!oldState->GetWorkspace() || !newState->GetWorkspace()) {
        ADD_FAILURE() << "not loaded: " << oldFile << " or " << newFile;
        return lines;
    }
    std::atomic<bool> stop{false};
    for (const ModelChange& change :
         CompareModels(*oldState->GetWorkspace(), *newState->GetWorkspace(), {}, stop))
        lines.insert(Line(ChangeKindName(change.kind), change.path,
                          change.kind == ChangeKind::Moved ? change.fromPath
                                                           : (change.newValue ? change.newValue : "")));
    return lines;
}

} // namespace

TEST(ModelCompareRealFiles, ItselfRewrittenIsNoChangeAndEachEditIsExactlyItsChange)
{
    const auto files = SharedArxmlFiles();
    if (files.empty())
        GTEST_SKIP() << "no real ARXML files beside the project";
    TempDir dir;
    size_t edited = 0;
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        pugi::xml_document document;
        if (!document.load_file(file.c_str()))
            continue; // not well-formed: the loading tests see to those
        const std::string same = dir.File("same.arxml"), editedFile = dir.File("edited.arxml");
        ASSERT_TRUE(document.save_file(same.c_str(), "    ")); // indented afresh
        EXPECT_EQ(Compared(file.string(), same), std::multiset<std::string>{});

        std::vector<Named> named;
        CollectNamed(document, "", named);
        std::map<std::string, int> count;
        for (const Named& element : named)
            ++count[element.path];
        std::vector<std::string> picked;
        // An element below a top package that its path finds alone, apart from those picked already.
        auto usable = [&](const Named& element) {
            if (count[element.path] != 1 || element.path.find('/', 1) == std::string::npos)
                return false;
            for (const std::string& other : picked)
                if (IsUnderPath(element.path, other) || IsUnderPath(other, element.path))
                    return false;
            return true;
        };
        auto pick = [&](size_t from, auto&& also) -> const Named* {
            for (size_t i = from; i < named.size(); ++i)
                if (usable(named[i]) && also(named[i])) {
                    picked.push_back(named[i].path);
                    return &named[i];
                }
            return nullptr;
        };
        auto any = [](const Named&) { return true; };
        auto gone = [](const Named& e, const std::string& path) {
            return *e.node.attribute("UUID").value()
                       ? std::multiset<std::string>{Line("moved", path, e.path)}
                       : std::multiset<std::string>{Line("removed", e.path), Line("added", path)};
        };
        const size_t n = named.size();
        const Named* renamed = pick(n / 6, any);
        const Named* valued = pick(2 * n / 6, [](const Named& e) { return bool(ValueChild(e.node)); });
        const Named* copied = pick(3 * n / 6, any);
        const Named* removed = pick(4 * n / 6, any);
        const Named* moved = pick(5 * n / 6, any);
        // Moved beside another element of its parent's tag below another parent.
        auto movedTo = [&](const Named& beside) {
            return beside.path.substr(0, beside.path.rfind('/')) + moved->path.substr(moved->path.rfind('/'));
        };
        const Named* beside =
            moved ? pick(0,
                         [&](const Named& e) {
                             return e.node.parent() != moved->node.parent() &&
                                    std::string(e.node.parent().name()) == moved->node.parent().name() &&
                                    !count.count(movedTo(e));
                         })
                  : nullptr;
        if (!renamed || !valued || !copied || !removed || !beside)
            continue; // too small for five edits apart
        ++edited;

        std::multiset<std::string> expected;
        auto add = [&](const std::multiset<std::string>& lines) {
            expected.insert(lines.begin(), lines.end());
        };
        const std::string newName = std::string(ShortNameChild(renamed->node).text().get()) + "Renamed";
        add(gone(*renamed, renamed->path.substr(0, renamed->path.rfind('/') + 1) + newName));
        ValueChild(valued->node).text().set("edited");
        add({Line("changed", valued->path, "edited")});
        pugi::xml_node copy = copied->node.parent().insert_copy_after(copied->node, copied->node);
        copy.remove_attribute("UUID");
        ShortNameChild(copy).text().set((std::string(ShortNameChild(copy).text().get()) + "Added").c_str());
        add({Line("added", copied->path + "Added")});
        add({Line("removed", removed->path)});
        add(gone(*moved, movedTo(*beside)));
        // The edits that change the tree's shape last, once every node picked has been read.
        ShortNameChild(renamed->node).text().set(newName.c_str());
        removed->node.parent().remove_child(removed->node);
        beside->node.parent().append_move(moved->node);
        ASSERT_TRUE(document.save_file(editedFile.c_str(), "    "));
        EXPECT_EQ(Compared(file.string(), editedFile), expected);
    }
    EXPECT_GT(edited, 0u);
}
