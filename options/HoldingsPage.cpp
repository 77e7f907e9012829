#include "options/HoldingsPage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QVBoxLayout>

#include "options/PageKeys.h"

namespace vemo {

namespace {

// A share count, a cost or a rule never needs more; a pasted text is cut rather than grown
// without end.
constexpr int FieldLimit = 20;

}  // namespace

CHoldingsPage::CHoldingsPage(const HoldingsPageState& state, QWidget* parent) : QWidget(parent) {
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    // The fields inside take the focus; the scroll area itself is no stop of the Tab key.
    scroll->setFocusPolicy(Qt::NoFocus);
    lineArea_ = new QWidget(scroll);
    grid_ = new QGridLayout(lineArea_);
    grid_->setContentsMargins(4, 4, 4, 4);
    scroll->setWidget(lineArea_);

    showProfit_ = new QCheckBox(QStringLiteral("显示盈亏"), this);
    showProfit_->setAccessibleName(showProfit_->text());
    showProfit_->setChecked(state.showProfit);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addWidget(showProfit_);

    Build(state);
    new PageKeyFilter(this, {Qt::Key_Escape});
}

void CHoldingsPage::Build(const HoldingsPageState& state) {
    lines_.clear();  // their widgets all stand in the grid, which goes next
    QLayoutItem* item = nullptr;
    while ((item = grid_->takeAt(0)) != nullptr) {
        delete item->widget();
        delete item;
    }

    int column = 0;
    for (const char* header : {"代码", "名称"}) {
        grid_->addWidget(new QLabel(QString::fromUtf8(header), lineArea_), 0, column++);
    }
    std::vector<const char*> headers;
    for (const PerCodeColumn& editable : HoldingColumns) {
        headers.push_back(editable.header);
    }
    for (const AlertColumn& editable : AlertColumns) {
        headers.push_back(editable.header);
    }
    for (const char* header : headers) {
        grid_->addWidget(new QLabel(QString::fromUtf8(header), lineArea_), 0, column++);
    }
    int row = 1;
    for (const HoldingLine& holding : state.lines) {
        Line line;
        line.code = holding.code;
        line.name = holding.name;
        line.codeLabel = new QLabel(QString::fromStdString(holding.code), lineArea_);
        line.nameLabel = new QLabel(QString::fromStdString(holding.name), lineArea_);
        grid_->addWidget(line.codeLabel, row, 0);
        grid_->addWidget(line.nameLabel, row, 1);
        for (std::size_t c = 0; c < headers.size(); ++c) {
            const std::vector<std::string>& texts =
                c < HoldingColumnCount ? holding.texts : holding.alertTexts;
            const std::size_t at = c < HoldingColumnCount ? c : c - HoldingColumnCount;
            auto* field = new QLineEdit(lineArea_);
            field->setMaxLength(FieldLimit);
            field->setText(at < texts.size() ? QString::fromStdString(texts[at]) : QString());
            field->setAccessibleName(QString::fromStdString(holding.code) + ' ' +
                                     QString::fromUtf8(headers[c]));
            grid_->addWidget(field, row, static_cast<int>(2 + c));
            line.fields.push_back(field);
        }
        lines_.push_back(std::move(line));
        ++row;
    }
    if (state.lines.empty()) {
        grid_->addWidget(new QLabel(QStringLiteral("列表中没有数据"), lineArea_), row++, 0, 1,
                         column);
    }
    grid_->setRowStretch(row, 1);
    for (int c = 2; c < column; ++c) {
        grid_->setColumnStretch(c, 1);
    }
    // Tab runs down the lines, field after field, and then to the box.
    QWidget* previous = nullptr;
    for (const Line& line : lines_) {
        for (QLineEdit* field : line.fields) {
            if (previous != nullptr) {
                setTabOrder(previous, field);
            }
            previous = field;
        }
    }
    if (previous != nullptr) {
        setTabOrder(previous, showProfit_);
    }
}

void CHoldingsPage::SetCodes(const std::vector<std::string>& codes, const PerCodeFile& file,
                             const AlertsFile* alerts) {
    HoldingsPageState state = HoldingsStateFrom(codes, file, names_);
    if (alerts != nullptr) {
        AddAlertTexts(state, *alerts);
    }
    const HoldingsPageState typed = State();
    for (HoldingLine& line : state.lines) {
        for (const HoldingLine& old : typed.lines) {
            if (old.code == line.code) {
                line.texts = old.texts;
                line.alertTexts = old.alertTexts;
                if (line.name.empty()) {
                    line.name = old.name;
                }
            }
        }
    }
    state.showProfit = showProfit_->isChecked();
    const bool same = [&] {
        if (state.lines.size() != typed.lines.size()) {
            return false;
        }
        for (std::size_t i = 0; i < state.lines.size(); ++i) {
            if (state.lines[i].code != typed.lines[i].code ||
                state.lines[i].name != typed.lines[i].name) {
                return false;
            }
        }
        return true;
    }();
    if (!same) {
        Build(state);  // the fields keep their texts and focus when nothing changed
    }
}

void CHoldingsPage::SetNames(const std::map<std::string, std::string>& names) {
    names_ = names;
    for (Line& line : lines_) {
        if (const auto name = names.find(line.code); name != names.end()) {
            line.name = name->second;
            line.nameLabel->setText(QString::fromStdString(line.name));
        }
    }
}

HoldingsPageState CHoldingsPage::State() const {
    HoldingsPageState state;
    state.showProfit = showProfit_->isChecked();
    for (const Line& line : lines_) {
        HoldingLine holding;
        holding.code = line.code;
        holding.name = line.name;
        for (std::size_t c = 0; c < line.fields.size(); ++c) {
            (c < HoldingColumnCount ? holding.texts : holding.alertTexts)
                .push_back(line.fields[c]->text().toStdString());
        }
        state.lines.push_back(std::move(holding));
    }
    return state;
}

QLineEdit* CHoldingsPage::Field(std::size_t line, std::size_t column) const {
    if (line >= lines_.size() || column >= lines_[line].fields.size()) {
        return nullptr;
    }
    return lines_[line].fields[column];
}

}  // namespace vemo
