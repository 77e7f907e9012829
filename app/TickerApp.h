#pragma once

#include <QApplication>

namespace vemo {

// The program: one running instance per user, the ticker window run until it ends.
class CTickerApp : public QApplication {
    Q_OBJECT

  public:
    CTickerApp(int& argc, char** argv);
    ~CTickerApp() override;

    CTickerApp(const CTickerApp&) = delete;
    CTickerApp& operator=(const CTickerApp&) = delete;

    // Runs the program and returns its exit status: 0 for a second start that woke the running
    // instance, 1 when that instance did not answer.
    int InitInstance();

  signals:
    // SIGTERM, SIGINT or SIGHUP arrived: the session or the user asks the program to end.
    void endRequested();

  private:
    int signalPipe_[2] = {-1, -1};
};

}  // namespace vemo
