#include "options/CodeLookup.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

#include "quotes/Gbk.h"
#include "quotes/QuoteFailover.h"

namespace vemo {

namespace {

constexpr int MaxVisibleRows = 10;

}  // namespace

CodeLookupFunction NetworkCodeLookup(const TickerSettings& settings) {
    return [settings](const std::string& key, const std::atomic<bool>& cancel) {
        FetchOptions options;
        options.cancel = &cancel;
        return LookUp(settings, key, options);
    };
}

bool IsCompleteCode(const QString& text) {
    if (text.size() != 6) {
        return false;
    }
    for (const QChar c : text) {
        if (c.unicode() > 0x7F || !c.isLetterOrNumber()) {
            return false;
        }
    }
    return true;
}

CCodeLookup::CCodeLookup(QLineEdit* entry, QWidget* host, CodeLookupFunction lookup)
    : QObject(entry), entry_(entry), lookup_(std::move(lookup)) {
    list_ = new QListWidget(host);
    list_->setObjectName(QStringLiteral("codeLookup"));
    list_->setAccessibleName(QStringLiteral("查询结果"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setFrameShape(QFrame::Box);
    list_->hide();
    delay_ = new QTimer(this);
    delay_->setSingleShot(true);
    delay_->setInterval(DelayMs);
    connect(delay_, &QTimer::timeout, this, &CCodeLookup::Start);
    connect(entry_, &QLineEdit::textEdited, this, &CCodeLookup::OnEdited);
    connect(list_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { Choose(list_->row(item)); });
    entry_->installEventFilter(this);
    list_->installEventFilter(this);
}

CCodeLookup::~CCodeLookup() {
    CancelAll();
    for (Running& running : running_) {
        running.thread.join();
    }
}

void CCodeLookup::OnEdited() {
    // Whatever an older text finds is no answer to this one.
    CancelAll();
    ++generation_;
    Hide();
    delay_->start();
}

void CCodeLookup::Start() {
    const QString text = entry_->text().trimmed();
    const std::string key = text.toStdString();
    if (text.isEmpty() || IsCompleteCode(text) || key.size() > MaxLookupKeyBytes) {
        return;
    }
    JoinFinished();
    CancelAll();
    const int generation = ++generation_;
    ++started_;
    Running running{
        std::make_shared<std::atomic<bool>>(false), std::make_shared<std::atomic<bool>>(false), {}};
    running.thread = std::thread([this, generation, key, lookup = lookup_, cancel = running.cancel,
                                  done = running.done] {
        LookupOutcome outcome = lookup(key, *cancel);
        // Posted, not called: the list lives on the interface thread. The destructor joins this
        // thread before the object goes, and Qt drops what is still queued for it.
        QMetaObject::invokeMethod(
            this, [this, generation, outcome = std::move(outcome)] { Show(generation, outcome); },
            Qt::QueuedConnection);
        *done = true;
    });
    running_.push_back(std::move(running));
}

void CCodeLookup::Show(int generation, const LookupOutcome& outcome) {
    JoinFinished();
    if (generation != generation_ || outcome.cancelled) {
        return;
    }
    matches_ = outcome.matches;
    list_->clear();
    if (matches_.empty()) {
        Hide();
        if (outcome.answered) {
            SetTip(QStringLiteral("没有找到: ") + entry_->text().trimmed());
        } else {
            QString failures;
            for (const LookupAttempt& attempt : outcome.attempts) {
                failures += failures.isEmpty() ? "" : "; ";
                failures += QString::fromStdString(GbkToUtf8(ServiceName(attempt.provider))) +
                            ": " + QString::fromLatin1(LookupResultText(attempt.result));
            }
            SetTip(QStringLiteral("查询失败 (") + failures + ")");
        }
        return;
    }
    SetTip(QString());
    for (const SecurityMatch& match : matches_) {
        list_->addItem(QString::fromStdString(match.code + " " + match.name + " " +
                                              SecurityKindText(match.kind)));
    }
    QWidget* host = list_->parentWidget();
    const QPoint below = entry_->mapTo(host, QPoint(0, entry_->height()));
    const int rows = std::min(list_->count(), MaxVisibleRows);
    const int height = list_->sizeHintForRow(0) * rows + 2 * list_->frameWidth() + 2;
    const int width = std::max(entry_->width(), list_->sizeHintForColumn(0) + 24);
    list_->setGeometry(below.x(), below.y(), std::min(width, host->width() - below.x()), height);
    // Ahead of the page's own key filters, which would take Escape from the open list.
    entry_->removeEventFilter(this);
    entry_->installEventFilter(this);
    list_->show();
    list_->raise();
}

void CCodeLookup::Hide() {
    list_->hide();
    list_->setCurrentRow(-1);
}

void CCodeLookup::Choose(int row) {
    if (row < 0 || row >= static_cast<int>(matches_.size())) {
        return;
    }
    const SecurityMatch match = matches_[static_cast<std::size_t>(row)];
    Hide();
    entry_->setFocus();
    emit chosen(QString::fromStdString(match.code), QString::fromStdString(match.name));
}

bool CCodeLookup::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !list_->isVisible()) {
        return QObject::eventFilter(watched, event);
    }
    const int key = static_cast<QKeyEvent*>(event)->key();
    const int row = list_->currentRow();
    switch (key) {
        case Qt::Key_Down:
        case Qt::Key_Up: {
            if (watched != entry_) {
                break;  // the list moves its own current row
            }
            const int next = key == Qt::Key_Down ? row + 1 : row - 1;
            list_->setCurrentRow(std::clamp(next, 0, list_->count() - 1));
            return true;
        }
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (row >= 0) {
                Choose(row);
                return true;
            }
            break;
        case Qt::Key_Escape:
            Hide();
            entry_->setFocus();
            return true;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

void CCodeLookup::CancelAll() {
    for (Running& running : running_) {
        *running.cancel = true;
    }
}

void CCodeLookup::JoinFinished() {
    for (auto it = running_.begin(); it != running_.end();) {
        if (*it->done) {
            it->thread.join();
            it = running_.erase(it);
        } else {
            ++it;
        }
    }
}

void CCodeLookup::SetTip(const QString& tip) {
    entry_->setToolTip(tip);
    entry_->setAccessibleDescription(tip);
}

}  // namespace vemo
