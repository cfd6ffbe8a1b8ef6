#include "ui/Gui.h"

std::string Gui::BookmarkElsewhere(const std::string& path) const
{
    auto file = settings.bookmarkFiles.find(path);
    if (file == settings.bookmarkFiles.end() || file->second == state->GetFilePath())
        return {};
    return file->second;
}

void Gui::ToggleBookmark(const std::string& path)
{
    if (bookmarks.erase(path)) {
        settings.bookmarkFiles.erase(path);
        return;
    }
    bookmarks.insert(path);
    if (const std::string file = state->GetFilePath(); !file.empty())
        settings.bookmarkFiles[path] = file;
}

void Gui::OpenBookmark(const std::string& path)
{
    const std::string file = BookmarkElsewhere(path);
    if (file.empty())
        return;
    AddRecentFile(file);
    state->OpenFile(file);
    bookmarkToReveal = {file, path};
}

void Gui::RevealOpenedBookmark()
{
    if (bookmarkToReveal.file.empty())
        return;
    // Another file opened meanwhile, or this one failed to load: the error screen says why.
    const StateKind kind = state->GetKind();
    if (state->GetFilePath() != bookmarkToReveal.file || kind == StateKind::Error) {
        bookmarkToReveal = {};
        return;
    }
    if (kind != StateKind::Indexing && kind != StateKind::Ready)
        return;
    Result<Ref> found = state->FindRef(bookmarkToReveal.path);
    if (found.status == ResultStatus::Pending)
        return;
    if (found.status == ResultStatus::Done)
        Reveal(found.GetValue()->trail, bookmarkToReveal.path);
    bookmarkToReveal = {};
}
