#include "settings/AlertsFile.h"

namespace vemo {

bool AlertsFile::Load() {
    const bool readable = file_.Load();
    rules_.clear();
    problems_.clear();
    for (const std::string& code : file_.Codes()) {
        AlertRules rules;
        for (std::size_t i = 0; i < AlertKindCount; ++i) {
            const auto kind = static_cast<AlertKind>(i);
            const std::optional<std::string> text = file_.Get(code, AlertKey(kind));
            if (!text) {
                continue;
            }
            if (const std::optional<std::int64_t> value = ParseAlertValue(kind, *text)) {
                rules[kind] = *value;
            } else {
                problems_.push_back({code, kind, *text});
            }
        }
        if (!rules.Empty()) {
            rules_[code] = rules;
        }
    }
    return readable;
}

std::optional<std::string> AlertsFile::BadText(std::string_view code, AlertKind kind) const {
    for (const AlertFileProblem& problem : problems_) {
        if (problem.code == code && problem.kind == kind) {
            return problem.text;
        }
    }
    return std::nullopt;
}

void AlertsFile::SetRules(std::string_view code, const AlertRules& rules) {
    for (std::size_t i = 0; i < AlertKindCount; ++i) {
        const auto kind = static_cast<AlertKind>(i);
        if (rules[kind] == 0) {
            file_.Remove(code, AlertKey(kind));
        } else {
            file_.Set(code, AlertKey(kind), FormatAlertValue(kind, rules[kind]));
        }
        std::erase_if(problems_, [&](const AlertFileProblem& problem) {
            return problem.code == code && problem.kind == kind;
        });
    }
    if (rules.Empty()) {
        rules_.erase(std::string(code));
    } else {
        rules_[std::string(code)] = rules;
    }
}

void ReportAlertFileProblems(const AlertsFile& file, std::ostream& out) {
    for (const AlertFileProblem& problem : file.Problems()) {
        out << file.Path().string() << ": [" << problem.code << "] " << AlertKey(problem.kind)
            << '=' << problem.text << ": "
            << (IsPriceAlert(problem.kind) ? "价格应为 0.001 到 1000000, 至多三位小数"
                                           : "幅度应为 0.01 到 100, 至多两位小数")
            << ", 此提醒不生效\n";
    }
}

}  // namespace vemo
