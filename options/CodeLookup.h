#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "quotes/Suggest.h"

class QLineEdit;
class QListWidget;
class QTimer;
class QWidget;

namespace vemo {

// Names of codes, by the code's bytes as the list stores them; UTF-8.
using CodeNames = std::map<std::string, std::string>;

// One look-up of a key; it should end soon after `cancel` becomes true. Runs on a worker thread.
using CodeLookupFunction =
    std::function<LookupOutcome(const std::string& key, const std::atomic<bool>& cancel)>;

// The network look-up with the settings' proxy rules and the quote requests' limits.
CodeLookupFunction NetworkCodeLookup(const TickerSettings& settings);

// True for six letters or digits: a code the user has finished typing, which needs no look-up.
bool IsCompleteCode(const QString& text);

// The look-up list under the code entry: 300 ms after the last edit, when the text is not a
// complete code, it looks the text up on a worker thread and lists the matches (code, name,
// kind) under the field. Up and Down move through the list while the field keeps the focus;
// Enter or a click chooses; Escape closes it. A newer text cancels an older look-up, whose
// answer is then dropped. The field's tip says when a look-up fails or finds nothing.
class CCodeLookup : public QObject {
    Q_OBJECT

  public:
    static constexpr int DelayMs = 300;

    // The list is a child of `host`, which holds the entry.
    CCodeLookup(QLineEdit* entry, QWidget* host, CodeLookupFunction lookup);
    // Cancels every running look-up and waits for its thread.
    ~CCodeLookup() override;

    void SetLookup(CodeLookupFunction lookup) { lookup_ = std::move(lookup); }
    QListWidget* List() const { return list_; }
    // Look-ups started so far; for tests of the debounce.
    int Started() const { return started_; }

  signals:
    // A match was chosen; `name` is UTF-8.
    void chosen(const QString& code, const QString& name);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Running {
        std::shared_ptr<std::atomic<bool>> cancel;
        std::shared_ptr<std::atomic<bool>> done;
        std::thread thread;
    };

    void OnEdited();
    void Start();
    void Show(int generation, const LookupOutcome& outcome);
    void Hide();
    void Choose(int row);
    void CancelAll();
    void JoinFinished();
    void SetTip(const QString& tip);

    QLineEdit* entry_;
    QListWidget* list_;
    QTimer* delay_;
    CodeLookupFunction lookup_;
    std::vector<SecurityMatch> matches_;
    std::vector<Running> running_;
    int generation_ = 0;
    int started_ = 0;
};

}  // namespace vemo
