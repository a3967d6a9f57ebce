#include "dialogs/TFormSearchFile.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QFrame>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "controls/Centre.h"
#include "controls/FormFont.h"
#include "controls/Hint.h"
#include "text/Text.h"
#include "util/ShellRoutines.h"

namespace kv {
namespace {

// Folds only the letters A to Z, as the contained-text search compares.
void lowerAsciiInPlace(std::string& s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

// The contained-text comparison over many rows, reusing one buffer.
class ContainedText {
  public:
    explicit ContainedText(std::string text) : text_(std::move(text)) { lowerAsciiInPlace(text_); }
    bool in(const CatalogRow& row) {
        path_.assign(row.folder);
        path_.append(row.name);
        lowerAsciiInPlace(path_);
        return path_.find(text_) != std::string::npos;
    }

  private:
    std::string text_;
    std::string path_;
};

QCheckBox* makeCheck(QWidget* parent, const char* name, const QString& text) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QLatin1String(name));
    box->setCursor(Qt::PointingHandCursor);
    return box;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text,
                        const QString& hint) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    if (!hint.isEmpty()) applyHint(button, hint);
    return button;
}

}  // namespace

TFormSearchFile::TFormSearchFile(Ui& ui, RowAt rowAt, QAbstractItemView& view, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      ui_(ui),
      rowAt_(std::move(rowAt)),
      view_(view) {
    setObjectName(QStringLiteral("FormSearchFile"));
    setWindowTitle(QStringLiteral("Rechercher"));
    setFont(formFont());
    setFixedSize(356, 167);

    auto* label1 = new QLabel(QStringLiteral("Nom du fichier à rechercher"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setGeometry(10, 10, 336, 14);
    editSearch_ = new QLineEdit(this);
    editSearch_->setObjectName(QStringLiteral("EditSearch"));
    editSearch_->setGeometry(10, 27, 336, 21);
    label1->setBuddy(editSearch_);

    checkAllSearch_ = makeCheck(this, "CheckAllSearch", QStringLiteral("Tout rechercher"));
    checkAllSearch_->setGeometry(10, 58, 200, 18);
    checkOccurence_ =
        makeCheck(this, "CheckOccurence", QStringLiteral("Rechercher l'occurence exacte"));
    checkOccurence_->setGeometry(10, 80, 200, 18);

    buttonSelectNone_ = makeButton(this, "ButtonSelectNone", QStringLiteral("Tout &désélectionner"),
                                   QStringLiteral("Désélectionner tous les fichiers"));
    buttonSelectNone_->setGeometry(216, 64, 130, 25);

    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(10, 112, 336, 4);

    buttonSearch_ = makeButton(this, "ButtonSearch", QStringLiteral("&Rechercher"),
                               QStringLiteral("|Lancer la recherche"));
    buttonSearch_->setDefault(true);
    buttonClose_ = makeButton(this, "ButtonClose", QStringLiteral("&Fermer"),
                              QStringLiteral("|Fermer la fiche"));
    buttonHelp_ = makeButton(this, "ButtonHelp", QStringLiteral("Aide"), QString());
    int x = 346 - 3 * 80 - 2 * 6;
    for (QPushButton* button : {buttonSearch_, buttonClose_, buttonHelp_}) {
        button->setGeometry(x, 128, 80, 25);
        x += 86;
    }

    connect(editSearch_, &QLineEdit::textChanged, this, [this] { nextIndex_ = 0; });
    connect(checkAllSearch_, &QCheckBox::clicked, this, [this] { nextIndex_ = 0; });
    connect(checkOccurence_, &QCheckBox::clicked, this, [this] { nextIndex_ = 0; });
    connect(buttonSearch_, &QPushButton::clicked, this, &TFormSearchFile::ButtonSearchClick);
    connect(buttonSelectNone_, &QPushButton::clicked, this,
            &TFormSearchFile::ButtonSelectNoneClick);
    // Fermer is the dialog's cancel button: Escape closes the dialog through reject().
    connect(buttonClose_, &QPushButton::clicked, this, &QDialog::reject);
    connect(buttonHelp_, &QPushButton::clicked, this, &TFormSearchFile::ButtonHelpClick);
}

bool TFormSearchFile::matches(const std::string& path, const std::string& text, bool exact) {
    if (exact) return text::equalNoCase(text, path);
    std::string p = path;
    std::string t = text;
    lowerAsciiInPlace(p);
    lowerAsciiInPlace(t);
    return p.find(t) != std::string::npos;
}

int TFormSearchFile::rowCount() const {
    const QAbstractItemModel* model = view_.model();
    return model ? model->rowCount() : 0;
}

void TFormSearchFile::showEvent(QShowEvent* event) {
    nextIndex_ = 0;
    centreOnScreen(*this);
    QDialog::showEvent(event);
}

void TFormSearchFile::ButtonSearchClick() {
    const int count = rowCount();
    const QString typed = editSearch_->text();
    if (count == 0 || typed.trimmed().isEmpty()) return;
    const std::string text = typed.toStdString();
    const bool exact = checkOccurence_->isChecked();
    const bool all = checkAllSearch_->isChecked();
    if (nextIndex_ > count - 1) nextIndex_ = 0;

    std::vector<int> found;
    ContainedText contained(text);
    for (int i = nextIndex_; i < count; ++i) {
        const CatalogRow* row = rowAt_(i);
        if (!row) break;
        const bool hit = exact ? text::equalNoCase(text, row->fullPath()) : contained.in(*row);
        if (!hit) continue;
        found.push_back(i);
        if (!all) break;
    }
    if (found.empty()) {
        nextIndex_ = 0;
        ui_.message(MessageKind::Notice, "Korvelt a terminé la recherche");
        return;
    }
    selectRows(found);
    nextIndex_ = found.back() + 1;
}

void TFormSearchFile::selectRows(const std::vector<int>& rows) {
    QItemSelectionModel* selection = view_.selectionModel();
    QAbstractItemModel* model = view_.model();
    const int count = rowCount();
    if (!selection || !model || count == 0) return;

    // The selection after the step, one flag per row: what was selected,
    // plus the matches.
    std::vector<char> chosen(static_cast<size_t>(count), 0);
    for (const QItemSelectionRange& range : selection->selection()) {
        if (range.parent().isValid()) continue;
        for (int r = std::max(0, range.top()); r <= std::min(count - 1, range.bottom()); ++r)
            chosen[static_cast<size_t>(r)] = 1;
    }
    bool added = false;
    for (int r : rows) {
        added = added || !chosen[static_cast<size_t>(r)];
        chosen[static_cast<size_t>(r)] = 1;
    }

    if (added) {
        const int lastColumn = model->columnCount() - 1;
        QItemSelection whole;
        for (int r = 0; r < count;) {
            if (!chosen[static_cast<size_t>(r)]) {
                ++r;
                continue;
            }
            int end = r;
            while (end + 1 < count && chosen[static_cast<size_t>(end) + 1]) ++end;
            whole.append(QItemSelectionRange(model->index(r, 0), model->index(end, lastColumn)));
            r = end + 1;
        }
        // Cleared first, then selected: the selection model compares an old
        // and a new selection range by range, which takes quadratic time when
        // both hold many ranges; against an empty one it compares nothing.
        selection->clearSelection();
        selection->select(whole, QItemSelectionModel::Select);
    }
    scrollNearTop(rows.back());
}

void TFormSearchFile::scrollNearTop(int row) {
    const QModelIndex index = view_.model()->index(row, 0);
    const QRect rect = view_.visualRect(index);
    if (!rect.isValid()) return;
    QScrollBar* vertical = view_.verticalScrollBar();
    const int dy = rect.top() - 20;
    if (view_.verticalScrollMode() == QAbstractItemView::ScrollPerPixel)
        vertical->setValue(vertical->value() + dy);
    else
        vertical->setValue(vertical->value() + dy / std::max(1, rect.height()));
    QScrollBar* horizontal = view_.horizontalScrollBar();
    if (view_.horizontalScrollMode() == QAbstractItemView::ScrollPerPixel)
        horizontal->setValue(horizontal->value() + rect.left());
    else if (rect.left() < 0)
        horizontal->setValue(0);
}

void TFormSearchFile::ButtonSelectNoneClick() {
    if (QItemSelectionModel* selection = view_.selectionModel()) selection->clearSelection();
    if (refresh_) refresh_();
    nextIndex_ = 0;
}

void TFormSearchFile::ButtonHelpClick() {
    ShowHelpPage("search.htm", helpAvailable_, ui_);
}

}  // namespace kv
