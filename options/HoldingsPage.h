#pragma once

#include <QWidget>

#include <map>
#include <string>
#include <vector>

#include "options/HoldingsState.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;

namespace vemo {

// The tab "持仓与提醒": one line per listed code with its code, its name from the last quotes and
// a field for each column of HoldingColumns and then of AlertColumns, and the box 显示盈亏. Each
// field's accessible name is its code and its column's header ("600000 持仓", "600000 高于").
// Nothing is written before the dialog's OK.
class CHoldingsPage : public QWidget {
    Q_OBJECT

  public:
    CHoldingsPage(const HoldingsPageState& state, QWidget* parent = nullptr);

    // Makes the lines those of `codes`: what was typed for a code that stays is kept, a new code
    // starts from `file` and `alerts` (when given).
    void SetCodes(const std::vector<std::string>& codes, const PerCodeFile& file,
                  const AlertsFile* alerts = nullptr);
    // Shows these names (code to UTF-8 name) in the lines.
    void SetNames(const std::map<std::string, std::string>& names);

    HoldingsPageState State() const;

    // The field of a line and column (the holding columns, then the alert columns); nullptr
    // outside the lines.
    QLineEdit* Field(std::size_t line, std::size_t column) const;
    QCheckBox* ShowProfit() const { return showProfit_; }

  private:
    void Build(const HoldingsPageState& state);

    struct Line {
        std::string code;
        std::string name;
        QLabel* codeLabel = nullptr;
        QLabel* nameLabel = nullptr;
        std::vector<QLineEdit*> fields;
    };

    QWidget* lineArea_ = nullptr;
    QGridLayout* grid_ = nullptr;
    std::vector<Line> lines_;
    QCheckBox* showProfit_ = nullptr;
    std::map<std::string, std::string> names_;
};

}  // namespace vemo
