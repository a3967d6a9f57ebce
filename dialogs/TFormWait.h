#pragma once
// TFormWait: the wait notice. A small white always-on-top window without a
// caption or buttons, showing an icon, the caller's text (LabelWait) and a bar
// (ProgressBar1) that Timer1 moves one step every 100 ms: 0, 1, ... 10, then 0
// again. Showing the notice restarts the bar at 0.
//
// It is created once and shown and hidden as needed. Callers set the text and
// show it with showWait(), pump messages while they work, and hideWait() at
// the end. The user cannot close it.

#include <QWidget>

class QLabel;
class QProgressBar;
class QTimer;

namespace kv {

class TFormWait : public QWidget {
    Q_OBJECT
  public:
    explicit TFormWait(QWidget* parent = nullptr);

    // Sets LabelWait, shows the notice modelessly and repaints it at once.
    void showWait(const QString& text);
    // Hides the notice when it is visible.
    void hideWait();

    QLabel* labelWait() const { return labelWait_; }
    QProgressBar* progressBar() const { return progressBar_; }
    QTimer* timer() const { return timer_; }

  public slots:
    // One step of the bar (Timer1's tick).
    void Timer1Timer();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // The thin border of a tool window, so the white notice stands out on a
    // white desktop.
    void paintEvent(QPaintEvent* event) override;

  private:
    QLabel* labelWait_;
    QProgressBar* progressBar_;
    QTimer* timer_;
};

}  // namespace kv
