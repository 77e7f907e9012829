#include "options/CodesPage.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include "net/Endpoints.h"
#include "options/HotKeyEdit.h"
#include "options/PageKeys.h"
#include "quotes/Gbk.h"

namespace vemo {

namespace {

// Each list entry keeps the bytes it stands for, so a stored entry goes back unchanged.
constexpr int CodeBytesRole = Qt::UserRole;

QString FromGbk(const std::string& bytes) {
    return QString::fromStdString(GbkToUtf8(bytes));
}

QPushButton* MakeButton(const char* caption, int id, QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::number(id));
    button->setAccessibleName(button->text());
    return button;
}

}  // namespace

CCodesPage::CCodesPage(const TickerSettings& settings, QWidget* parent, const CodeNames& names)
    : QWidget(parent), names_(names) {
    const CodesPageState state = CodesStateFrom(settings);

    auto* codesBox = new QGroupBox(QStringLiteral("代码设置"), this);
    entry_ = new QLineEdit(codesBox);
    entry_->setObjectName(QStringLiteral("codeEntry"));
    entry_->setAccessibleName(QStringLiteral("代码"));
    entry_->setMaxLength(static_cast<int>(CodeLength));
    list_ = new QListWidget(codesBox);
    list_->setObjectName(QString::number(IdCodeList));
    list_->setAccessibleName(QStringLiteral("代码列表"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    for (const std::string& code : state.codes) {
        AppendCode(code);
    }
    lookup_ = new CCodeLookup(entry_, this, NetworkCodeLookup(settings));
    connect(lookup_, &CCodeLookup::chosen, this, &CCodesPage::AddChosen);
    QPushButton* add = MakeButton("添加", IdAddCode, codesBox);
    QPushButton* query = MakeButton("查询", IdQueryCode, codesBox);
    QPushButton* up = MakeButton("上移", IdMoveUp, codesBox);
    QPushButton* down = MakeButton("下移", IdMoveDown, codesBox);
    QPushButton* remove = MakeButton("删除", IdDeleteCode, codesBox);
    connect(add, &QPushButton::clicked, this, &CCodesPage::Add);
    connect(query, &QPushButton::clicked, this, &CCodesPage::Query);
    connect(up, &QPushButton::clicked, this, &CCodesPage::MoveUp);
    connect(down, &QPushButton::clicked, this, &CCodesPage::MoveDown);
    connect(remove, &QPushButton::clicked, this, &CCodesPage::Delete);

    auto* codesLayout = new QGridLayout(codesBox);
    codesLayout->addWidget(entry_, 0, 0);
    codesLayout->addWidget(list_, 1, 0, 5, 1);
    codesLayout->addWidget(add, 0, 1);
    codesLayout->addWidget(query, 1, 1);
    codesLayout->addWidget(up, 2, 1);
    codesLayout->addWidget(down, 3, 1);
    codesLayout->addWidget(remove, 4, 1);
    codesLayout->setRowStretch(5, 1);

    auto* systemBox = new QGroupBox(QStringLiteral("系统设置"), this);
    rateLabel_ = new QLabel(QStringLiteral("刷新频率："), systemBox);
    rateLabel_->setObjectName(QString::number(IdRefreshLabel));
    slider_ = new QSlider(Qt::Horizontal, systemBox);
    slider_->setObjectName(QString::number(IdRefreshSlider));
    slider_->setAccessibleName(rateLabel_->text());
    slider_->setRange(0, MaxSliderPosition);
    slider_->setTickPosition(QSlider::TicksAbove);
    slider_->setTickInterval(1);
    rateLabel_->setBuddy(slider_);
    // The label follows the slider whenever it moves, by mouse, keys or code.
    connect(slider_, &QSlider::valueChanged, this, [this](int position) {
        rateLabel_->setText(QString::fromStdString(RefreshRateLabel(position)));
    });
    slider_->setValue(state.sliderPosition);
    rateLabel_->setText(QString::fromStdString(RefreshRateLabel(slider_->value())));

    auto* sourceLabel = new QLabel(QStringLiteral("数据来源："), systemBox);
    // Each source's button has the provider value as its id.
    sources_ = new QButtonGroup(this);
    const auto source = [this, systemBox](const char* caption, int id, std::int32_t provider) {
        auto* button = new QRadioButton(QString::fromUtf8(caption), systemBox);
        button->setObjectName(QString::number(id));
        button->setAccessibleName(button->text());
        sources_->addButton(button, provider);
        return button;
    };
    QRadioButton* sina = source("新浪", IdSinaRadio, ProviderSina);
    QRadioButton* netEase = source("网易", IdNetEaseRadio, ProviderNetEase);
    QRadioButton* tencent = source("腾讯", IdTencentRadio, ProviderTencent);
    sources_->button(SelectedProvider(state.provider))->setChecked(true);

    auto* hotKeyLabel = new QLabel(QStringLiteral("显示/隐藏 热键："), systemBox);
    hotKey_ = new CHotKeyEdit(systemBox);
    hotKey_->setObjectName(QString::number(IdHotKey));
    hotKey_->setAccessibleName(hotKeyLabel->text());
    hotKey_->SetHotKey(state.hotKeyVirtualKey, state.hotKeyFlags);
    hotKeyLabel->setBuddy(hotKey_);

    auto* systemLayout = new QVBoxLayout(systemBox);
    systemLayout->addWidget(rateLabel_);
    systemLayout->addWidget(slider_);
    systemLayout->addSpacing(6);
    auto* sourceRow = new QHBoxLayout;
    sourceRow->addWidget(sourceLabel);
    sourceRow->addWidget(sina);
    sourceRow->addWidget(netEase);
    sourceRow->addWidget(tencent);
    sourceRow->addStretch(1);
    systemLayout->addLayout(sourceRow);
    systemLayout->addSpacing(6);
    systemLayout->addWidget(hotKeyLabel);
    systemLayout->addWidget(hotKey_);
    systemLayout->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(codesBox, 1);
    layout->addWidget(systemBox, 1);

    setTabOrder(entry_, lookup_->List());
    setTabOrder(lookup_->List(), list_);
    setTabOrder(list_, add);
    setTabOrder(add, query);
    setTabOrder(query, up);
    setTabOrder(up, down);
    setTabOrder(down, remove);
    setTabOrder(remove, slider_);
    setTabOrder(slider_, sina);
    setTabOrder(sina, netEase);
    setTabOrder(netEase, tencent);
    setTabOrder(tencent, hotKey_);

    new PageKeyFilter(this, {Qt::Key_Escape});
}

void CCodesPage::AppendCode(const std::string& code) {
    const auto name = names_.find(code);
    QString text = FromGbk(code);
    if (name != names_.end() && !name->second.empty()) {
        text += QLatin1Char(' ') + QString::fromStdString(name->second);
    }
    auto* item = new QListWidgetItem(text, list_);
    item->setData(CodeBytesRole, QByteArray::fromStdString(code));
}

CodesPageState CCodesPage::State() const {
    CodesPageState state;
    for (int row = 0; row < list_->count(); ++row) {
        state.codes.push_back(list_->item(row)->data(CodeBytesRole).toByteArray().toStdString());
    }
    state.provider = SelectedProvider(sources_->checkedId());
    state.sliderPosition = slider_->value();
    state.hotKeyVirtualKey = hotKey_->VirtualKey();
    state.hotKeyFlags = hotKey_->Flags();
    return state;
}

int CCodesPage::SelectedRow() const {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    return selected.isEmpty() ? -1 : list_->row(selected.first());
}

void CCodesPage::SelectRow(int row) {
    if (row < 0) {
        list_->clearSelection();
        return;
    }
    list_->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

void CCodesPage::Add() {
    const std::string code = Utf8ToGbk(entry_->text().toStdString());
    const std::string refusal = CheckCodeToAdd(State().codes, code);
    if (!refusal.empty()) {
        emit statusMessage(QString::fromStdString(refusal));
        return;
    }
    AppendCode(UpperCaseCode(code));
    // The new code is in sight and selected, ready to be moved.
    SelectRow(list_->count() - 1);
    list_->scrollToItem(list_->item(list_->count() - 1));
    entry_->clear();
    emit statusMessage(QString());
}

void CCodesPage::AddChosen(const QString& code, const QString& name) {
    // A chosen match is added exactly as a typed code, refusals included.
    names_[Utf8ToGbk(code.toStdString())] = name.toStdString();
    entry_->setText(code);
    Add();
}

void CCodesPage::Delete() {
    const int count = list_->count();
    if (count == 0) {
        emit statusMessage(QString::fromUtf8(MsgListEmpty));
        return;
    }
    const int row = SelectedRow();
    if (row < 0) {
        return;
    }
    delete list_->takeItem(row);
    SelectRow(std::min(row, count - 2));
}

void CCodesPage::MoveUp() {
    const int row = SelectedRow();
    if (row <= 0) {
        return;
    }
    // The entry above goes below the selected one, which keeps its selection.
    QListWidgetItem* above = list_->takeItem(row - 1);
    list_->insertItem(row, above);
    SelectRow(row - 1);
}

void CCodesPage::MoveDown() {
    const int row = SelectedRow();
    if (row < 0 || row >= list_->count() - 1) {
        return;
    }
    QListWidgetItem* item = list_->takeItem(row);
    list_->insertItem(row + 1, item);
    SelectRow(row + 1);
}

void CCodesPage::Query() {
    if (openUrl_) {
        openUrl_(MakerUrl(CodeQueryUrl()));
    }
}

void CCodesPage::keyPressEvent(QKeyEvent* event) {
    // Add is the page's default button: Enter that no control took adds the typed code.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        Add();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace vemo
