#include "model/WorkspaceLookup.h"
#include "document/CarriedHash.h"
#include "model/IndexBuilder.h"
#include "model/Workspace.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace {
// Files drawing their packages, element names and references from small pools, so that most
// paths, names and texts occur in several files and several times in one file.
std::string RandomModel(std::mt19937& random)
{
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    std::string xml = "<AUTOSAR><AR-PACKAGES>";
    for (int p = 0, packages = 1 + pick(3); p < packages; ++p) {
        xml += "<AR-PACKAGE><SHORT-NAME>P" + std::to_string(pick(4)) + "</SHORT-NAME><ELEMENTS>";
        for (int e = 0, elements = pick(6); e < elements; ++e) {
            xml += "<E><SHORT-NAME>E" + std::to_string(pick(8)) + "</SHORT-NAME>";
            xml += "<R-REF>/P" + std::to_string(pick(4)) + "/E" + std::to_string(pick(8)) + "</R-REF></E>";
        }
        xml += "</ELEMENTS></AR-PACKAGE>";
    }
    return xml + "</AR-PACKAGES></AUTOSAR>";
}

WorkspaceFile IndexedFile(const std::string& xml)
{
    WorkspaceFile file;
    file.document = ParseDocument(xml);
    file.index = std::make_shared<Index>();
    std::atomic<bool> stop{false};
    ReferenceBases bases;
    bases.Collect(*file.document);
    bases.Finish();
    BuildIndexInto(*file.index, file.nodeCount, *file.document, "", stop, &bases);
    return file;
}

// Asks every loaded file in workspace order: the first holding a path or a short name wins,
// referrer counts add up.
void ExpectAnswersOfEveryFileInTurn(const Workspace& ws, const std::set<std::string>& keys)
{
    for (const std::string& key : keys) {
        std::optional<size_t> pathFile, nameFile;
        pugi::xml_node pathNode, nameNode;
        size_t count = 0;
        for (size_t i = 0; i < ws.Files().size(); ++i) {
            const Index* index = ws.Files()[i].index.get();
            if (!index)
                continue;
            if (!pathFile && index->FindPath(key)) {
                pathFile = i;
                pathNode = index->FindPath(key);
            }
            if (!nameFile && index->FindShortName(key)) {
                nameFile = i;
                nameNode = index->FindShortName(key)->node;
            }
            count += index->Referrers(key).size();
        }
        auto path = ws.FindPath(key);
        ASSERT_EQ(path.has_value(), pathFile.has_value()) << key;
        if (path) {
            EXPECT_EQ(path->file, *pathFile) << key;
            EXPECT_EQ(path->node, pathNode) << key;
        }
        auto name = ws.FindShortName(key);
        ASSERT_EQ(name.has_value(), nameFile.has_value()) << key;
        if (name) {
            EXPECT_EQ(name->first, *nameFile) << key;
            EXPECT_EQ(name->second.node, nameNode) << key;
        }
        EXPECT_EQ(ws.CountReferrers(key), count) << key;
    }
}
} // namespace

// The workspace's answers from its lookup over all files are those of asking the files in turn,
// whatever order the files came into the lookup (as they finish loading).
TEST(WorkspaceLookup, AnswersAsAskingEveryFileInWorkspaceOrder)
{
    std::set<std::string> keys{"/P0/E1/", "P0/E1"};
    for (int p = 0; p < 5; ++p) {
        keys.insert("P" + std::to_string(p));
        for (int e = 0; e < 9; ++e) {
            keys.insert("/P" + std::to_string(p) + "/E" + std::to_string(e));
            keys.insert("E" + std::to_string(e));
        }
    }
    std::mt19937 random(13);
    for (int round = 0; round < 20; ++round) {
        std::vector<WorkspaceFile> files;
        // Some files name nothing: their runs of node ids are empty, between runs that are not.
        for (int f = 0, count = 2 + int(random() % 5); f < count; ++f)
            files.push_back(
                IndexedFile(random() % 4 ? RandomModel(random) : "<AUTOSAR><AR-PACKAGES/></AUTOSAR>"));
        files[1] =
            WorkspaceFile{"failed.arxml", 0, nullptr, nullptr, 0, "Could not load the file failed.arxml"};
        WorkspaceLookup lastFirst;
        for (size_t i = files.size(); i-- > 0;) {
            if (files[i].index)
                lastFirst.Add(uint32_t(i), *files[i].index);
        }
        ExpectAnswersOfEveryFileInTurn(Workspace(files), keys);
        ExpectAnswersOfEveryFileInTurn(Workspace(files, std::move(lastFirst), "folder"), keys);
    }
}

// The lookup keeps only part of each key's hash, so another key can land on the same slot as a key
// of an earlier file: neither may be taken for the other, when filling nor when asking.
TEST(WorkspaceLookup, AKeySharingASlotWithAnEarlierFilesKeyIsStillFoundInItsOwnFile)
{
    std::string xml = "<AUTOSAR>";
    for (int i = 0; i < 100000; ++i)
        xml += "<E><SHORT-NAME>K" + std::to_string(i) + "</SHORT-NAME></E>";
    WorkspaceFile many = IndexedFile(xml + "</AUTOSAR>");
    const WorkspaceLookup alone({many.index.get()});

    // Keys absent from the file whose hashes agree with one of its keys in the bits a slot keeps:
    // a table of the file's own keys finds them, having nothing else to tell them apart by.
    auto sharer = [&](const char* ownPrefix, const char* prefix) {
        HashSlots own;
        for (uint32_t i = 0; i < 100000; ++i)
            own.FindOrInsert(CarriedHash::Of(ownPrefix + std::to_string(i)), i,
                             [](uint32_t) { return false; });
        for (int i = 0; i < 5000000; ++i) {
            std::string key = prefix + std::to_string(i);
            if (own.Find(CarriedHash::Of(key), [](uint32_t) { return true; }) != HashSlots::kNone)
                return key;
        }
        return std::string();
    };
    const std::string path = sharer("/K", "/Q");
    const std::string name = sharer("K", "Q");
    ASSERT_FALSE(path.empty());
    ASSERT_FALSE(name.empty());
    ASSERT_FALSE(many.index->FindPath(path));
    EXPECT_FALSE(alone.FirstWithPath(path));
    EXPECT_FALSE(alone.FirstWithShortName(name));

    std::vector<WorkspaceFile> files;
    files.push_back(std::move(many));
    files.push_back(IndexedFile("<AUTOSAR><E><SHORT-NAME>" + path.substr(1) +
                                "</SHORT-NAME></E><E><SHORT-NAME>" + name + "</SHORT-NAME></E></AUTOSAR>"));
    Workspace ws(std::move(files));
    auto found = ws.FindPath(path);
    ASSERT_TRUE(found) << path;
    EXPECT_EQ(found->file, 1u);
    auto named = ws.FindShortName(name);
    ASSERT_TRUE(named) << name;
    EXPECT_EQ(named->first, 1u);
    EXPECT_EQ(named->second.path, "/" + name);

    // The same keys later in the very file whose earlier node holds their slot.
    std::string both = xml + "<E><SHORT-NAME>" + path.substr(1) + "</SHORT-NAME></E><E><SHORT-NAME>" + name +
                       "</SHORT-NAME></E></AUTOSAR>";
    std::vector<WorkspaceFile> one;
    one.push_back(IndexedFile(both));
    Workspace same(std::move(one));
    auto late = same.FindPath(path);
    ASSERT_TRUE(late) << path;
    EXPECT_EQ(late->node, same.Files()[0].index->FindPath(path));
    auto lateName = same.FindShortName(name);
    ASSERT_TRUE(lateName) << name;
    EXPECT_EQ(lateName->second.node, same.Files()[0].index->FindShortName(name)->node);
}

// Files of every size side by side, so that their runs of node ids start anywhere: inside the same
// block of ids as several others, or spanning many blocks. Every named node's path must lead to the
// first file holding it and to that file's own node, whichever order the files were added in.
TEST(WorkspaceLookup, EveryPathLeadsToItsFirstFilesOwnNodeWhateverTheSizesOfTheFiles)
{
    std::mt19937 random(29);
    std::vector<WorkspaceFile> files;
    for (int f = 0; f < 40; ++f) {
        int kind = int(random() % 4);
        int elements = kind == 0 ? 0 : kind == 1 ? 1 + int(random() % 12) : 200 + int(random() % 900);
        std::string xml = "<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>P" + std::to_string(random() % 6) +
                          "</SHORT-NAME><ELEMENTS>";
        for (int e = 0; e < elements; ++e)
            xml += "<E><SHORT-NAME>E" + std::to_string(random() % 3000) + "</SHORT-NAME></E>";
        files.push_back(IndexedFile(xml + "</ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>"));
    }
    std::vector<const Index*> indexes;
    for (const WorkspaceFile& file : files)
        indexes.push_back(file.index.get());
    WorkspaceLookup inOrder(indexes), lastFirst;
    for (size_t i = indexes.size(); i-- > 0;)
        lastFirst.Add(uint32_t(i), *indexes[i]);

    size_t checked = 0;
    for (const Index* index : indexes) {
        index->ForEachPath([&](std::string_view path, pugi::xml_node) {
            size_t first = 0;
            while (!indexes[first]->FindPath(path))
                ++first;
            for (const WorkspaceLookup* lookup : {&inOrder, &lastFirst}) {
                WorkspaceLookup::Found found = lookup->FirstWithPath(path);
                ASSERT_TRUE(found) << path;
                EXPECT_EQ(found.file, first) << path;
                EXPECT_EQ(lookup->PathOf(found.id), path);
                EXPECT_EQ(found.node, indexes[first]->FindPath(path)) << path;
            }
            ++checked;
        });
    }
    EXPECT_GT(checked, 10000u);
}

// The lookup keeps its own copy of every name, its length written in as few bytes as it takes:
// names on either side of each step in that length, and paths built of them, come back whole.
TEST(WorkspaceLookup, NamesOfAnyLengthAreKeptWhole)
{
    std::vector<std::string> names;
    for (size_t length : {1, 127, 128, 129, 16383, 16384, 70000})
        names.push_back(std::string(length - 1, char('a' + names.size())) + "z");
    std::string xml = "<AUTOSAR><AR-PACKAGES>";
    for (const std::string& outer : names) {
        xml += "<AR-PACKAGE><SHORT-NAME>" + outer + "</SHORT-NAME><ELEMENTS>";
        for (const std::string& inner : names)
            xml += "<E><SHORT-NAME>" + inner + "</SHORT-NAME></E>";
        xml += "</ELEMENTS></AR-PACKAGE>";
    }
    std::vector<WorkspaceFile> files;
    files.push_back(IndexedFile("<AUTOSAR><AR-PACKAGES/></AUTOSAR>"));
    files.push_back(IndexedFile(xml + "</AR-PACKAGES></AUTOSAR>"));
    Workspace ws(std::move(files));
    const Index& index = *ws.Files()[1].index;
    for (const std::string& outer : names) {
        for (const std::string& inner : names) {
            const std::string path = "/" + outer + "/" + inner;
            auto found = ws.FindPath(path);
            ASSERT_TRUE(found) << path.size();
            EXPECT_EQ(found->node, index.FindPath(path));
            // One byte short of a name, or one too many, is another path.
            EXPECT_FALSE(ws.FindPath(path.substr(0, path.size() - 1)));
            EXPECT_FALSE(ws.FindPath("/" + outer + "z/" + inner));
        }
    }
    // The first package is the first node of its name; every other name is first held by an
    // element of that package.
    for (const std::string& name : names) {
        auto named = ws.FindShortName(name);
        ASSERT_TRUE(named) << name.size();
        EXPECT_EQ(named->second.path, name == names[0] ? "/" + name : "/" + names[0] + "/" + name);
        EXPECT_EQ(named->second.node, index.FindShortName(name)->node);
    }
}
