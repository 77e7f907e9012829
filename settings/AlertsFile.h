#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "settings/AlertRules.h"
#include "settings/PerCodeFile.h"

namespace vemo {

inline constexpr char AlertsFileName[] = "alerts.ini";

// A value in the file that is not a rule: the rule counts as absent until the user saves one.
struct AlertFileProblem {
    std::string code;
    AlertKind kind = AlertKind::Above;
    std::string text;  // as it stands in the file
};

// The price alerts of the watched codes, alerts.ini beside the per-user store: one section per
// code with the keys above, below, riseAbove and fallBelow. Whatever else the file holds is kept.
class AlertsFile {
  public:
    explicit AlertsFile(PerCodeFile file) : file_(std::move(file)) {}
    static AlertsFile InUserFolder() { return AlertsFile(PerCodeFile::InUserFolder(AlertsFileName)); }

    // Reads the rules; false when the file exists but cannot be read (it then holds no rules
    // and is never written over).
    bool Load();
    const AlertRuleBook& Rules() const { return rules_; }
    const std::vector<AlertFileProblem>& Problems() const { return problems_; }
    // The text of a value that was ignored, for the options page to show as it stands.
    std::optional<std::string> BadText(std::string_view code, AlertKind kind) const;

    // Replaces the rules of one code: a value of 0 removes its key. Other keys of the section
    // stay.
    void SetRules(std::string_view code, const AlertRules& rules);
    FileSaveResult Save() { return file_.Save(); }
    const std::filesystem::path& Path() const { return file_.Path(); }

  private:
    PerCodeFile file_;
    AlertRuleBook rules_;
    std::vector<AlertFileProblem> problems_;
};

// Names every ignored value on `out`, one line each.
void ReportAlertFileProblems(const AlertsFile& file, std::ostream& out);

}  // namespace vemo
