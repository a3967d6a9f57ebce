#include "dialogs/TFormDellSelect.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/Centre.h"
#include "dialogs/PictureRowDelegate.h"
#include "gui/DialogRunner.h"
#include "gui/FormBitmap.h"
#include "platform/Platform.h"
#include "platform/UserFolders.h"
#include "text/Text.h"
#include "util/PathHelpers.h"
#include "util/Ui.h"

namespace kv {
namespace {

constexpr uint32_t ListMask =
    attr::ReadOnly | attr::Hidden | attr::System | attr::Directory | attr::Archive;  // 55

QString readText(const std::string& path) {
    auto file = platform().open(path, OpenMode::Read);
    if (!file) return {};
    std::string bytes;
    char buffer[16384];
    for (int64_t n; (n = file->read(buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, static_cast<size_t>(n));
    QString content = QString::fromStdString(text::decodeTextFile(bytes));
    content.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    if (content.endsWith(u'\n')) content.chop(1);
    return content;
}

}  // namespace

std::string TFormDellSelect::scriptFolder() {
    const std::string script = ScriptFolder();
    return platform().directoryExists(RemoveBackslash(script)) ? script : SettingsFolder();
}

TFormDellSelect::TFormDellSelect(Ui& ui, QWidget* parent)
    : QDialog(parent), ui_(ui), folder_(scriptFolder()) {
    setObjectName(QStringLiteral("FormDellSelect"));
    setWindowTitle(QStringLiteral("Supprimer des scripts enregistrés"));
    setFixedSize(376, 364);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(4, 4, 4, 4);
    panelLayout->setSpacing(0);

    ListFile = new QListWidget(panel);
    ListFile->setObjectName(QStringLiteral("ListFile"));
    ListFile->setItemDelegate(new PictureRowDelegate(TFormBitmap::ImageScript, 16, ListFile));
    ListFile->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListFile->setSortingEnabled(true);
    ListFile->setUniformItemSizes(true);
    ListFile->viewport()->setCursor(Qt::PointingHandCursor);
    ListFile->setFixedHeight(144);
    panelLayout->addWidget(ListFile);

    auto* caption = new QLabel(QStringLiteral("Contenu du script"), panel);
    caption->setObjectName(QStringLiteral("LabelContenu"));
    caption->setFrameStyle(QFrame::Panel | QFrame::Raised);
    caption->setContentsMargins(4, 2, 4, 2);
    panelLayout->addWidget(caption);

    MemoFile = new QPlainTextEdit(panel);
    MemoFile->setObjectName(QStringLiteral("MemoFile"));
    MemoFile->setReadOnly(true);
    MemoFile->setFrameStyle(QFrame::NoFrame);
    MemoFile->setLineWrapMode(QPlainTextEdit::NoWrap);
    MemoFile->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoFile->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    panelLayout->addWidget(MemoFile, 1);

    ButtonDell = new QPushButton(QStringLiteral("&Supprimer"), this);
    ButtonDell->setObjectName(QStringLiteral("ButtonDell"));
    ButtonDell->setAutoDefault(false);
    Button1 = new QPushButton(QStringLiteral("&Fermer"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ButtonDell);
    buttons->addWidget(Button1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(panel, 1);
    layout->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, &QDialog::reject);
    connect(ButtonDell, &QPushButton::clicked, this, &TFormDellSelect::ButtonDellClick);
    connect(ListFile, &QListWidget::itemSelectionChanged, this, &TFormDellSelect::refreshFocus);
    connect(ListFile, &QListWidget::currentItemChanged, this, &TFormDellSelect::refreshFocus);

    const QSignalBlocker block(ListFile);
    for (const FindEntry& entry : platform().find(folder_ + "*.kvl", ListMask))
        if (entry.name != "." && entry.name != "..")
            ListFile->addItem(QString::fromStdString(entry.name));
    ButtonDell->setEnabled(false);
}

void TFormDellSelect::selectFirst() {
    if (ListFile->count() == 0) return;
    {
        const QSignalBlocker block(ListFile);
        ListFile->clearSelection();
        ListFile->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    }
    refreshFocus();
}

void TFormDellSelect::showEvent(QShowEvent* event) {
    centreOnScreen(*this);
    QDialog::showEvent(event);
    selectFirst();
}

void TFormDellSelect::refreshFocus() {
    const bool any = !ListFile->selectedItems().isEmpty();
    ButtonDell->setEnabled(any);
    if (!any) return;
    QListWidgetItem* focus = ListFile->currentItem();
    if (!focus) return;
    const std::string path = folder_ + focus->text().toStdString();
    if (platform().fileExists(path)) MemoFile->setPlainText(readText(path));
}

void TFormDellSelect::ButtonDellClick() {
    if (ListFile->selectedItems().isEmpty()) return;
    if (ui_.message(MessageKind::Confirmation, "Supprimer le(s) fichier(s) sélectionné(s) ?",
                    Buttons::YesCancel) == Answer::Cancel)
        return;
    {
        const QSignalBlocker block(ListFile);
        for (int row = ListFile->count() - 1; row >= 0; --row) {
            QListWidgetItem* item = ListFile->item(row);
            if (!item->isSelected()) continue;
            const std::string path = folder_ + item->text().toStdString();
            if (platform().fileExists(path)) platform().removeFile(path);
            delete ListFile->takeItem(row);
        }
    }
    MemoFile->clear();
    if (ListFile->count() > 0)
        selectFirst();
    else
        ButtonDell->setEnabled(false);
}

int TFormDellSelect::showScripts(Ui& ui, QWidget* parent) {
    TFormDellSelect dialog(ui, parent);
    return DialogRunner::exec(dialog);
}

}  // namespace kv
