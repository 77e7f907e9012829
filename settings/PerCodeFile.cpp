#include "settings/PerCodeFile.h"

#include "settings/AtomicFile.h"
#include "settings/UserFolders.h"

namespace vemo {

namespace {

std::string ReasonFor(int code) {
    switch (code) {
        case ReplaceReadOnly:
            return "文件是只读的";
        case ReplaceNoTarget:
            return "文件不是普通文件";
        case ReplaceNoTempFile:
            return "无法在文件夹中创建文件";
        case ReplaceWriteFailed:
            return "写入失败";
        case ReplaceRenameFailed:
            return "无法替换原文件";
        case SaveNoFolder:
            return "无法创建文件夹";
        case SaveUnreadable:
            return "原文件无法读取";
        default:
            return "保存失败";
    }
}

FileSaveResult Failure(const std::filesystem::path& file, int code) {
    return FileSaveResult{code, file.filename().string() + ": " + ReasonFor(code)};
}

}  // namespace

std::filesystem::path PerUserFolder() {
    const std::filesystem::path base = ConfigHomeFolder();
    return base.empty() ? base : base / "Quorvane" / "VemoMonitor";
}

PerCodeFile PerCodeFile::InUserFolder(std::string_view name) {
    const std::filesystem::path folder = PerUserFolder();
    return PerCodeFile(folder.empty() ? folder : folder / name);
}

bool PerCodeFile::Load() {
    readable_ = LoadIniDocument(file_, document_);
    modified_ = false;
    return readable_;
}

std::optional<std::string> PerCodeFile::Get(std::string_view code, std::string_view key) const {
    const std::optional<std::string_view> value = document_.Find(code, key);
    return value ? std::optional<std::string>(*value) : std::nullopt;
}

bool PerCodeFile::Set(std::string_view code, std::string_view key, std::string_view value) {
    // An equal value keeps its line as the user wrote it, blanks and line end included.
    if (document_.Find(code, key) == value) {
        return true;
    }
    if (!document_.Set(code, key, value)) {
        return false;
    }
    modified_ = true;
    return true;
}

void PerCodeFile::Remove(std::string_view code, std::string_view key) {
    if (document_.Remove(code, key)) {
        modified_ = true;
    }
}

FileSaveResult PerCodeFile::Save() {
    if (!modified_) {
        return {};
    }
    if (file_.empty() || !readable_) {
        return Failure(file_, file_.empty() ? SaveNoFolder : SaveUnreadable);
    }
    if (!CreateFolders(file_.parent_path().empty() ? "." : file_.parent_path(), 0700)) {
        return Failure(file_, SaveNoFolder);
    }
    const int code = SaveIniDocument(file_, document_);
    if (code != ReplaceOk) {
        return Failure(file_, code);
    }
    modified_ = false;
    return {};
}

}  // namespace vemo
