#include "settings/SaveFailure.h"

#include <locale.h>

#include <cerrno>
#include <cstring>

#include "settings/AtomicFile.h"

namespace vemo {

namespace {

bool HasNonAscii(const char* text) {
    for (const char* p = text; *p != '\0'; ++p) {
        if (static_cast<unsigned char>(*p) >= 0x80) {
            return true;
        }
    }
    return false;
}

// The C library's text in the Chinese locale; empty when that locale or its translation is not
// installed (the text then comes back in English).
std::string SystemChineseText(int error) {
    locale_t chinese = ::newlocale(LC_MESSAGES_MASK, "zh_CN.UTF-8", static_cast<locale_t>(nullptr));
    if (chinese == static_cast<locale_t>(nullptr)) {
        return {};
    }
    const char* text = ::strerror_l(error, chinese);
    std::string result = (text != nullptr && HasNonAscii(text)) ? std::string(text) : std::string();
    ::freelocale(chinese);
    return result;
}

const char* OwnChineseText(int error) {
    switch (error) {
        case EROFS: return "只读文件系统";
        case EACCES: return "权限不够";
        case EPERM: return "不允许的操作";
        case ENOSPC: return "设备上没有空间";
        case EDQUOT: return "超出磁盘限额";
        case ENOENT: return "没有那个文件或目录";
        case ENOTDIR: return "不是目录";
        case EISDIR: return "是一个目录";
        case EIO: return "输入/输出错误";
        case ENAMETOOLONG: return "文件名过长";
        case ELOOP: return "符号链接的层数过多";
        case EMFILE:
        case ENFILE: return "打开的文件过多";
        case ENOMEM: return "无法分配内存";
        case EEXIST: return "文件已存在";
        case EBUSY: return "设备或资源忙";
        case EFBIG: return "文件过大";
        default: return nullptr;
    }
}

}  // namespace

std::string ChineseErrorText(int error) {
    std::string text = SystemChineseText(error);
    if (!text.empty()) {
        return text;
    }
    if (const char* own = OwnChineseText(error)) {
        return own;
    }
    return "错误代码 " + std::to_string(error);
}

std::string ReplaceFailureText(int result, int error) {
    if (result == ReplaceReadOnly) {
        return "只读文件";  // the file's own mode, which no errno describes
    }
    if (error == 0) {
        return "写入失败";
    }
    return ChineseErrorText(error);
}

std::string SaveFailureMessage(const std::filesystem::path& file, const std::string& reason) {
    return "设置无法保存到 " + file.string() + ": " + reason;
}

}  // namespace vemo
