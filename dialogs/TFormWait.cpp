#include "dialogs/TFormWait.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QTimer>

#include "controls/Centre.h"
#include "gui/FormBitmap.h"

namespace kv {

TFormWait::TFormWait(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("FormWait"));
    setFixedSize(290, 100);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(TFormBitmap::waitPicture());
    image->setGeometry((290 - 32) / 2, 8, 32, 32);

    labelWait_ = new QLabel(this);
    labelWait_->setObjectName(QStringLiteral("LabelWait"));
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPixelSize(15);
    labelWait_->setFont(font);
    QPalette grey = labelWait_->palette();
    grey.setColor(QPalette::WindowText, QColor(128, 128, 128));
    labelWait_->setPalette(grey);
    labelWait_->setAlignment(Qt::AlignCenter);
    labelWait_->setGeometry(8, 46, 274, 22);

    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName(QStringLiteral("ProgressBar1"));
    progressBar_->setTextVisible(false);
    progressBar_->setRange(0, 10);
    progressBar_->setValue(0);
    progressBar_->setGeometry(24, 76, 242, 14);

    // The timer runs for the whole life of the notice; it only shows while the
    // notice is up and the caller lets events run.
    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("Timer1"));
    timer_->setInterval(100);
    connect(timer_, &QTimer::timeout, this, &TFormWait::Timer1Timer);
    timer_->start();
}

void TFormWait::showWait(const QString& text) {
    labelWait_->setText(text);
    if (!isVisible()) centreOnScreen(*this);
    show();
    raise();
    repaint();
}

void TFormWait::hideWait() {
    if (isVisible()) hide();
}

void TFormWait::Timer1Timer() {
    const int position = progressBar_->value();
    progressBar_->setValue(position >= progressBar_->maximum() ? 0 : position + 1);
}

void TFormWait::showEvent(QShowEvent* event) {
    progressBar_->setRange(0, 10);
    progressBar_->setValue(0);
    QWidget::showEvent(event);
}

void TFormWait::closeEvent(QCloseEvent* event) {
    // No way for the user to close it: only hideWait() puts it away.
    if (event->spontaneous())
        event->ignore();
    else
        QWidget::closeEvent(event);
}

void TFormWait::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QColor(128, 128, 128));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace kv
