#include "options/DisplayPage.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "options/ColourSwatch.h"
#include "options/PageKeys.h"
#include "settings/AutoStart.h"

namespace vemo {

namespace {

QColor RunColourDialog(QWidget* parent, const QColor& initial) {
    return QColorDialog::getColor(initial, parent);
}

}  // namespace

CDisplayPage::CDisplayPage(const TickerSettings& settings, QWidget* parent)
    : QWidget(parent), pickColour_(RunColourDialog), setAutoStart_(SetAutoStart) {
    const DisplayPageState state = DisplayStateFrom(settings);
    auto* group = new QGroupBox(QStringLiteral("显示设置"), this);

    const auto box = [group](const char* caption, int id, bool checked) {
        auto* check = new QCheckBox(QString::fromUtf8(caption), group);
        check->setObjectName(QString::number(id));
        check->setAccessibleName(check->text());
        check->setChecked(checked);
        return check;
    };
    const auto swatch = [group](const char* caption, int id, CColourSwatch::Kind kind,
                                std::uint32_t colour) {
        auto* s = new CColourSwatch(QString::fromUtf8(caption), kind, group);
        s->setObjectName(QString::number(id));
        s->SetColour(colour);
        return s;
    };
    using Kind = CColourSwatch::Kind;

    // Created top to bottom and left to right, which is also the Tab order.
    auto* showLabel = new QLabel(QStringLiteral("显示："), group);
    QCheckBox* code = box("股票代码", IdShowCode, state.showCode);
    QCheckBox* name = box("简称", IdShowName, state.showName);
    QCheckBox* price = box("最新价", IdShowPrice, state.showPrice);
    QCheckBox* amount = box("涨跌额", IdShowChangeAmount, state.showChangeAmount);
    QCheckBox* percent = box("涨跌幅", IdShowChangePercent, state.showChangePercent);
    customColours_ = box("自定义字体颜色", IdCustomColours, state.customColors);
    CColourSwatch* up = swatch("涨", IdUpSwatch, Kind::Text, state.upColor);
    CColourSwatch* down = swatch("跌", IdDownSwatch, Kind::Text, state.downColor);
    CColourSwatch* nameSwatch = swatch("简称", IdNameSwatch, Kind::Text, state.nameColor);
    CColourSwatch* header = swatch("表头", IdHeaderSwatch, Kind::Text, state.headerColor);
    CColourSwatch* background =
        swatch("背景", IdBackgroundSwatch, Kind::Background, state.backgroundColor);
    QCheckBox* headerRow = box("在页面上显示表头", IdShowHeader, state.showHeader);
    QCheckBox* refreshTime =
        box("在主界面上显示最后刷新时间", IdShowRefreshTime, state.showRefreshTime);
    QCheckBox* onTop = box("总在最前端显示", IdAlwaysOnTop, state.alwaysOnTop);
    QCheckBox* hover =
        box("窗口透明后鼠标划过显示标题栏", IdTitleBarOnHover, state.titleBarOnHover);
    QCheckBox* hidesTray =
        box("热键隐藏窗口同时隐藏托盘图标", IdHotKeyHidesTray, state.hotKeyHidesTrayIcon);
    runAtStartup_ = box("开机自动运行", IdRunAtStartup, state.runAtStartup);
    QCheckBox* hideAtStartBox = box("程序启动时自动隐藏", IdHideAtStart, state.hideAtStart);
    auto* fontLabel = new QLabel(QStringLiteral("字体大小："), group);
    fontSize_ = new QComboBox(group);
    fontSize_->setObjectName(QString::number(IdFontSize));
    fontSize_->setAccessibleName(fontLabel->text());
    for (const char* entry : {"最小", "较小", "中", "较大", "最大"}) {
        fontSize_->addItem(QString::fromUtf8(entry));
    }
    fontSize_->setCurrentIndex(
        state.fontSizeIndex >= 0 && state.fontSizeIndex < FontSizeCount ? state.fontSizeIndex : -1);
    fontLabel->setBuddy(fontSize_);

    for (CColourSwatch* s : {up, down, nameSwatch, header, background}) {
        connect(s, &CColourSwatch::clicked, this, [this, s] { PickColour(s); });
    }
    connect(runAtStartup_, &QCheckBox::clicked, this,
            [this](bool checked) { setAutoStart_(checked ? 1 : 0); });

    auto* columns = new QHBoxLayout;
    columns->addWidget(showLabel);
    for (QCheckBox* c : {code, name, price, amount, percent}) {
        columns->addWidget(c);
    }
    columns->addStretch(1);
    auto* colours = new QHBoxLayout;
    colours->addWidget(customColours_);
    for (CColourSwatch* s : {up, down, nameSwatch, header, background}) {
        colours->addWidget(s);
    }
    colours->addStretch(1);
    auto* options = new QGridLayout;
    options->addWidget(headerRow, 0, 0);
    options->addWidget(refreshTime, 0, 1);
    options->addWidget(onTop, 1, 0);
    options->addWidget(hover, 1, 1);
    options->addWidget(hidesTray, 2, 0);
    options->addWidget(runAtStartup_, 2, 1);
    options->addWidget(hideAtStartBox, 3, 0);
    auto* fontRow = new QHBoxLayout;
    fontRow->addWidget(fontLabel);
    fontRow->addWidget(fontSize_);
    fontRow->addStretch(1);
    options->addLayout(fontRow, 3, 1);
    options->setColumnStretch(0, 1);
    options->setColumnStretch(1, 1);

    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addLayout(columns);
    groupLayout->addLayout(colours);
    groupLayout->addLayout(options);
    groupLayout->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);

    new PageKeyFilter(this, {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter});
}

QCheckBox* CDisplayPage::Box(int id) const {
    return findChild<QCheckBox*>(QString::number(id));
}

CColourSwatch* CDisplayPage::Swatch(int id) const {
    return findChild<CColourSwatch*>(QString::number(id));
}

void CDisplayPage::PickColour(CColourSwatch* swatch) {
    // The box is ticked before the picker opens, whatever the picker's outcome.
    customColours_->setChecked(true);
    const QColor picked = pickColour_(window(), FromColorRef(swatch->Colour()));
    if (picked.isValid()) {
        swatch->SetColour(ToColorRef(picked));
    }
}

DisplayPageState CDisplayPage::State() const {
    DisplayPageState s;
    s.customColors = Box(IdCustomColours)->isChecked();
    s.hotKeyHidesTrayIcon = Box(IdHotKeyHidesTray)->isChecked();
    s.titleBarOnHover = Box(IdTitleBarOnHover)->isChecked();
    s.showRefreshTime = Box(IdShowRefreshTime)->isChecked();
    s.alwaysOnTop = Box(IdAlwaysOnTop)->isChecked();
    s.showChangeAmount = Box(IdShowChangeAmount)->isChecked();
    s.showChangePercent = Box(IdShowChangePercent)->isChecked();
    s.showHeader = Box(IdShowHeader)->isChecked();
    s.showName = Box(IdShowName)->isChecked();
    s.showCode = Box(IdShowCode)->isChecked();
    s.showPrice = Box(IdShowPrice)->isChecked();
    s.hideAtStart = Box(IdHideAtStart)->isChecked();
    s.runAtStartup = Box(IdRunAtStartup)->isChecked();
    s.backgroundColor = Swatch(IdBackgroundSwatch)->Colour();
    s.upColor = Swatch(IdUpSwatch)->Colour();
    s.downColor = Swatch(IdDownSwatch)->Colour();
    s.nameColor = Swatch(IdNameSwatch)->Colour();
    s.headerColor = Swatch(IdHeaderSwatch)->Colour();
    s.fontSizeIndex = fontSize_->currentIndex();
    return s;
}

}  // namespace vemo
