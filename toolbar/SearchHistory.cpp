#include "toolbar/SearchHistory.h"

#include "kit/ComboBox.h"
#include "toolbar/HistoryFile.h"

#include <functional>

#include <windows.h>
#include <shlobj.h>

namespace kg {

SearchHistory::SearchHistory(const std::string& fileName, const std::string& legacyFileName)
    : fileName_(fileName), legacyFileName_(legacyFileName), order_(HistorySortKey) {}

void SearchHistory::Show(kit::TComboBox* box) {
    if (box_ && box_ != box) box_->SetListSource({});
    box_ = box;
    if (box_) box_->SetListSource([this]() -> const std::vector<std::string>& { return order_.Entries(); });
}

const std::string& SearchHistory::FileToRead() const {
    if (HistoryFileExists(fileName_) || legacyFileName_.empty() || !HistoryFileExists(legacyFileName_))
        return fileName_;
    return legacyFileName_;
}

namespace {
// The folder of the file to be written, made when missing (the per-user folder at the first write).
void makeFolderOf(const std::string& path) {
    const auto slash = path.find_last_of('\\');
    if (slash == std::string::npos || slash == 0) return;
    const std::string folder = path.substr(0, slash);
    if (GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES) SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
}
} // namespace

void SearchHistory::noteRead(const HistoryRead& read) {
    if (!read.whole) mayNeedKeeping_ = true;
}

void SearchHistory::replaced() {
    if (box_) box_->ListReset();
}

void SearchHistory::readFile(bool dropDuplicates) {
    const std::string& file = FileToRead();
    if (!HistoryFileExists(file)) return;
    HistoryRead read = ReadHistory(file);
    noteRead(read);
    if (dropDuplicates)
        order_.Assign(std::move(read.lines));
    else
        order_.AssignAll(std::move(read.lines));
    replaced();
}

void SearchHistory::Load() { readFile(true); }

void SearchHistory::keep(const std::string& bytes) {
    // A rewrite that keeps failing must not leave a new copy at every try.
    const std::size_t hash = std::hash<std::string>{}(bytes);
    if (keptAny_ && hash == keptHash_) return;
    KeepHistoryCopy(fileName_, bytes);
    keptAny_ = true;
    keptHash_ = hash;
}

void SearchHistory::write() {
    if (mayNeedKeeping_) {
        // Read again under the lock: the file as it is now is what a rewrite would lose.
        const std::string& file = FileToRead();
        if (HistoryFileExists(file)) {
            const HistoryRead now = ReadHistory(file);
            if (!now.whole) keep(now.bytes);
        }
        mayNeedKeeping_ = false;
    }
    WriteHistoryFile(fileName_, order_.Entries());
}

bool SearchHistory::Record(const std::string& text) {
    makeFolderOf(fileName_);
    const HistoryLock lock(fileName_);
    const std::string& file = FileToRead();
    bool changed = false;
    if (HistoryFileExists(file)) {
        HistoryRead read = ReadHistory(file);
        if (!read.whole) {
            // What this read could not take survives as a copy before the rewrite below.
            keep(read.bytes);
        }
        mayNeedKeeping_ = false;
        changed = order_.MergeFile(std::move(read.lines));
    } else {
        changed = order_.MergeHeld();
    }
    if (changed) replaced();
    if (order_.Find(text).second) return false;
    const std::size_t at = order_.Insert(text);
    if (box_) box_->ListInserted(static_cast<int>(at));
    write();
    return true;
}

void SearchHistory::Remove(int index) {
    if (index < 0 || index >= Count()) return;
    order_.Erase(static_cast<std::size_t>(index));
    if (box_) box_->ListDeleted(index);
    makeFolderOf(fileName_);
    const HistoryLock lock(fileName_);
    write();
}

void SearchHistory::Clear() {
    order_.Clear();
    replaced();
    makeFolderOf(fileName_);
    const HistoryLock lock(fileName_);
    write();
}

void SearchHistory::SaveTo(const std::string& path) { WriteHistoryFile(path, order_.Entries()); }

void SearchHistory::LoadFrom(const std::string& path) {
    order_.AssignAll(ReadHistoryFile(path));
    replaced();
}

void SearchHistory::Refresh() { readFile(false); }

} // namespace kg
