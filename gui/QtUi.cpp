#include "gui/QtUi.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <algorithm>

#include "gui/DialogRunner.h"

namespace kv {
namespace {

QMessageBox::StandardButton standardOf(Answer answer) {
    switch (answer) {
        case Answer::Ok:
            return QMessageBox::Ok;
        case Answer::Cancel:
            return QMessageBox::Cancel;
        case Answer::Yes:
            return QMessageBox::Yes;
        case Answer::No:
            return QMessageBox::No;
        case Answer::YesToAll:
            return QMessageBox::YesToAll;
    }
    return QMessageBox::Ok;
}

// The default button (the one Enter presses): the first answer, but No where
// Yes would destroy something.
Answer defaultOf(Buttons buttons) {
    return buttons == Buttons::YesAllNoCancel ? Answer::No : answersOf(buttons).front();
}

}  // namespace

QtUi::QtUi(QWidget* owner) : owner_(owner) {
    sincePump_.start();
}

QMessageBox* QtUi::buildBox(QWidget* parent, MessageKind kind, const std::string& text,
                            Buttons buttons, std::optional<Answer> defaultAnswer) {
    auto* box = new QMessageBox(parent);
    box->setWindowTitle(QString::fromUtf8(messageTitle(kind)));
    // A carriage return in the program's texts starts a new line of the box.
    QString body = QString::fromStdString(text);
    body.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box->setText(body);
    box->setTextFormat(Qt::PlainText);
    switch (kind) {
        case MessageKind::Warning:
            box->setIcon(QMessageBox::Warning);
            break;
        case MessageKind::Error:
            box->setIcon(QMessageBox::Critical);
            break;
        case MessageKind::Information:
            box->setIcon(QMessageBox::Information);
            break;
        case MessageKind::Confirmation:
            box->setIcon(QMessageBox::Question);
            break;
        case MessageKind::Notice:
            box->setIcon(QMessageBox::NoIcon);
            break;
    }
    const auto answers = answersOf(buttons);
    QMessageBox::StandardButtons standard;
    for (Answer a : answers) standard |= standardOf(a);
    box->setStandardButtons(standard);
    for (Answer a : answers)
        box->button(standardOf(a))->setText(QString::fromUtf8(answerCaption(a)));
    const bool ownDefault =
        defaultAnswer && std::find(answers.begin(), answers.end(), *defaultAnswer) != answers.end();
    box->setDefaultButton(standardOf(ownDefault ? *defaultAnswer : defaultOf(buttons)));
    box->setEscapeButton(box->button(standardOf(escapeAnswer(buttons))));
    return box;
}

Answer QtUi::answerOf(int result, Buttons buttons) {
    for (Answer a : answersOf(buttons))
        if (result == standardOf(a)) return a;
    return escapeAnswer(buttons);
}

Answer QtUi::message(MessageKind kind, const std::string& text, Buttons buttons) {
    return message(kind, text, buttons, defaultOf(buttons));
}

Answer QtUi::message(MessageKind kind, const std::string& text, Buttons buttons,
                     Answer defaultAnswer) {
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent) parent = owner_;
    std::unique_ptr<QMessageBox> box(buildBox(parent, kind, text, buttons, defaultAnswer));
    const int result = DialogRunner::exec(*box);
    // QMessageBox::exec gives the standard button; a box closed otherwise
    // answers as Escape does.
    return answerOf(result, buttons);
}

bool QtUi::progressShowing() const {
    return progress_ && progress_->showing();
}

void QtUi::setLabel(ProgressLabel label, const std::string& text) {
    if (progressShowing()) progress_->setLabelText(label, QString::fromStdString(text));
}

void QtUi::setOverallRange(int maximum) {
    if (progressShowing()) progress_->setOverallRange(maximum);
}

void QtUi::setOverall(int value) {
    if (progressShowing()) progress_->setOverall(value);
    if (meter_.started()) {
        meter_.setRow(value);
        showAmounts(false);
    }
}

void QtUi::setFilePercent(int percent) {
    if (progress_) progress_->setFilePercent(percent);
    if (meter_.started()) {
        meter_.setPercent(percent);
        showAmounts(false);
    }
}

void QtUi::startRun(const std::vector<int64_t>& rowBytes) {
    meter_.start(rowBytes);
    showAmounts(true);
}

void QtUi::endRun() {
    if (!meter_.started()) return;
    meter_.stop();
    if (progress_) progress_->setAmountText({});
    if (amountHook_) amountHook_({});
}

void QtUi::showAmounts(bool now) {
    // Formatting the line for each of thousands of small files would cost
    // more than the files: a few times a second is what an eye reads.
    constexpr qint64 ShowEveryMs = 250;
    if (!now && sinceAmounts_.isValid() && sinceAmounts_.elapsed() < ShowEveryMs) return;
    sinceAmounts_.start();
    const QString text = QString::fromStdString(meter_.text(separators_));
    if (progressShowing()) progress_->setAmountText(text);
    if (amountHook_) amountHook_(text);
}

void QtUi::pump() {
    if (sincePump_.elapsed() < PumpIntervalMs) return;
    pumpNow();
}

void QtUi::pumpNow() {
    if (beforeEvents_) beforeEvents_();
    // The rate and the time left move on while a long file is worked on.
    if (meter_.started()) showAmounts(false);
    QApplication::processEvents();
    sincePump_.restart();
}

bool QtUi::cancelRequested() {
    return progress_ && progress_->cancelRequested();
}

bool QtUi::keepGoing() {
    return keepGoing_ ? keepGoing_() : true;
}

}  // namespace kv
