#include "options/DisplayPage.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

#include "options/ColourSwatch.h"
#include "options/PageKeys.h"
#include "platform/Platform.h"

namespace vemo {

namespace {

QColor RunColourDialog(QWidget* parent, const QColor& initial) {
    return QColorDialog::getColor(initial, parent);
}

const DisplayBox& BoxOf(int controlId) {
    return *std::find_if(std::begin(DisplayBoxes), std::end(DisplayBoxes),
                         [controlId](const DisplayBox& box) { return box.controlId == controlId; });
}

}  // namespace

CDisplayPage::CDisplayPage(const TickerSettings& settings, DesktopPlatform& platform,
                           QWidget* parent)
    : QWidget(parent),
      pickColour_(RunColourDialog),
      setAutoStart_([&platform](int enable) { return platform.SetStartAtLogOn(enable); }),
      autoStartProbe_([&platform] { return platform.StartsAtLogOn(); }) {
    const DisplayPageState state = DisplayStateFrom(settings);
    auto* group = new QGroupBox(QStringLiteral("显示设置"), this);

    const auto box = [group, &state](int id) {
        const DisplayBox& entry = BoxOf(id);
        auto* check = new QCheckBox(QString::fromUtf8(entry.caption), group);
        check->setObjectName(QString::number(id));
        check->setAccessibleName(check->text());
        check->setChecked(state.*entry.state);
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
    QCheckBox* code = box(IdShowCode);
    QCheckBox* name = box(IdShowName);
    QCheckBox* price = box(IdShowPrice);
    QCheckBox* amount = box(IdShowChangeAmount);
    QCheckBox* percent = box(IdShowChangePercent);
    customColours_ = box(IdCustomColours);
    CColourSwatch* up = swatch("涨", IdUpSwatch, Kind::Text, state.upColor);
    CColourSwatch* down = swatch("跌", IdDownSwatch, Kind::Text, state.downColor);
    CColourSwatch* nameSwatch = swatch("简称", IdNameSwatch, Kind::Text, state.nameColor);
    CColourSwatch* header = swatch("表头", IdHeaderSwatch, Kind::Text, state.headerColor);
    CColourSwatch* background =
        swatch("背景", IdBackgroundSwatch, Kind::Background, state.backgroundColor);
    QCheckBox* headerRow = box(IdShowHeader);
    QCheckBox* refreshTime = box(IdShowRefreshTime);
    QCheckBox* onTop = box(IdAlwaysOnTop);
    QCheckBox* hover = box(IdTitleBarOnHover);
    QCheckBox* hidesTray = box(IdHotKeyHidesTray);
    runAtStartup_ = box(IdRunAtStartup);
    QCheckBox* hideAtStartBox = box(IdHideAtStart);
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
    connect(runAtStartup_, &QCheckBox::clicked, this, [this](bool checked) {
        setAutoStart_(checked ? 1 : 0);
        // A start that could not be registered or removed shows as it is.
        runAtStartup_->setChecked(autoStartProbe_());
    });
    runAtStartup_->setChecked(autoStartProbe_());

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

void CDisplayPage::SetAutoStartProbe(AutoStartProbe probe) {
    autoStartProbe_ = std::move(probe);
    runAtStartup_->setChecked(autoStartProbe_());
}

DisplayPageState CDisplayPage::State() const {
    DisplayPageState s;
    for (const DisplayBox& box : DisplayBoxes) {
        s.*box.state = Box(box.controlId)->isChecked();
    }
    s.backgroundColor = Swatch(IdBackgroundSwatch)->Colour();
    s.upColor = Swatch(IdUpSwatch)->Colour();
    s.downColor = Swatch(IdDownSwatch)->Colour();
    s.nameColor = Swatch(IdNameSwatch)->Colour();
    s.headerColor = Swatch(IdHeaderSwatch)->Colour();
    s.fontSizeIndex = fontSize_->currentIndex();
    return s;
}

}  // namespace vemo
