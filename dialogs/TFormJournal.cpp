#include "dialogs/TFormJournal.h"

#include <QFont>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/Centre.h"
#include "engine/AutoJournal.h"
#include "gui/DialogRunner.h"
#include "platform/Platform.h"
#include "text/Text.h"
#include "util/Error.h"
#include "util/Ui.h"

namespace kv {
namespace {

// The whole file, or nullopt when it can't be opened or read.
std::optional<std::string> readWhole(const std::string& path) {
    auto file = platform().open(path, OpenMode::Read);
    if (!file) return std::nullopt;
    std::string bytes;
    char buffer[16384];
    for (;;) {
        const int64_t n = file->read(buffer, sizeof buffer);
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        bytes.append(buffer, static_cast<size_t>(n));
    }
    return bytes;
}

}  // namespace

TFormJournal::TFormJournal(Ui& ui, QWidget* parent) : QDialog(parent), ui_(ui) {
    setObjectName(QStringLiteral("FormJournal"));
    setWindowTitle(QStringLiteral("Journal des sauvegardes automatiques"));
    setFixedSize(611, 344);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    MemoJournal = new QPlainTextEdit(this);
    MemoJournal->setObjectName(QStringLiteral("MemoJournal"));
    QFont courier(QStringLiteral("Courier New"));
    courier.setStyleHint(QFont::Monospace);
    courier.setPixelSize(11);
    MemoJournal->setFont(courier);
    MemoJournal->setLineWrapMode(QPlainTextEdit::NoWrap);
    MemoJournal->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoJournal->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    ButtonClear = new QPushButton(QStringLiteral("Vider"), this);
    ButtonClear->setObjectName(QStringLiteral("ButtonClear"));
    ButtonClear->setAutoDefault(false);
    ButtonOk = new QPushButton(QStringLiteral("&Ok"), this);
    ButtonOk->setObjectName(QStringLiteral("ButtonOk"));
    ButtonOk->setDefault(true);
    ButtonCancel = new QPushButton(QStringLiteral("&Annuler"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    ButtonCancel->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ButtonClear);
    buttons->addStretch();
    buttons->addWidget(ButtonOk);
    buttons->addWidget(ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 6);
    layout->addWidget(MemoJournal, 1);
    layout->addLayout(buttons);

    connect(ButtonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ButtonClear, &QPushButton::clicked, this, &TFormJournal::ButtonClearClick);
}

std::string TFormJournal::journalPath() {
    return JournalPath();
}

void TFormJournal::loadJournal() {
    const std::string path = journalPath();
    MemoJournal->clear();
    if (!platform().fileExists(path)) return;
    const auto bytes = readWhole(path);
    if (!bytes) return;
    QString content = QString::fromStdString(text::decodeTextFile(*bytes));
    content.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    if (content.endsWith(u'\n')) content.chop(1);
    MemoJournal->setPlainText(content);
}

QStringList TFormJournal::lines() const {
    const QString content = MemoJournal->toPlainText();
    if (content.isEmpty()) return {};
    QStringList result = content.split(u'\n');
    // A final line end closes the last line; it starts no new one.
    if (result.size() > 1 && result.last().isEmpty()) result.removeLast();
    return result;
}

void TFormJournal::saveJournal() {
    std::vector<std::string> out;
    for (const QString& line : lines()) out.push_back(line.toStdString());
    const std::string path = journalPath();
    // Written beside and renamed over it: a full disk keeps the old journal.
    if (!WriteJournal(path, out)) throw Error("Impossible d'écrire le fichier " + path);
}

void TFormJournal::ButtonClearClick() {
    if (ui_.message(MessageKind::Confirmation, "Vider le journal ?", Buttons::OkCancel) ==
        Answer::Ok)
        MemoJournal->clear();
}

int TFormJournal::showJournal(Ui& ui, QWidget* parent) {
    TFormJournal dialog(ui, parent);
    dialog.loadJournal();
    const int result = DialogRunner::exec(dialog);
    if (result == QDialog::Accepted) dialog.saveJournal();
    return result;
}

void TFormJournal::showEvent(QShowEvent* event) {
    centreOnScreen(*this);
    QDialog::showEvent(event);
}

}  // namespace kv
