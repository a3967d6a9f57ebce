#include "dialogs/TFormAddArch.h"

#include <QAction>
#include <QApplication>
#include <QCollator>
#include <QDir>
#include <QDragEnterEvent>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "controls/SystemImages.h"
#include "controls/TDirTree.h"
#include "dialogs/PictureRowDelegate.h"
#include "dialogs/TFormDellSelect.h"
#include "engine/SelectionScript.h"
#include "gui/Chooser.h"
#include "gui/CommandGuard.h"
#include "gui/FormBitmap.h"
#include "gui/HourGlass.h"
#include "platform/Platform.h"
#include "text/Text.h"
#include "util/Error.h"
#include "util/ShellRoutines.h"
#include "util/Ui.h"

namespace kv {
namespace {

constexpr uint32_t ListMask =
    attr::ReadOnly | attr::Hidden | attr::System | attr::Directory | attr::Archive;  // 55
constexpr int FolderRole = Qt::UserRole + 1;

QCollator& nameCollator() {
    static QCollator collator = [] {
        QCollator c;
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator;
}

QString foldKey(const QString& s) {
    return QString::fromStdString(text::foldKey(s.toStdString()));
}

// The rows of the selection list keep themselves in order without regard to
// letter case (ties in their own spelling, so the order is total).
class SelectionRow : public QListWidgetItem {
  public:
    using QListWidgetItem::QListWidgetItem;
    bool operator<(const QListWidgetItem& other) const override {
        const QString a = text(), b = other.text();
        const int c = nameCollator().compare(a, b);
        if (c != 0) return c < 0;
        return a < b;
    }
};

// The selection list: takes drags from a directory tree or from the file list.
class SelectionList : public QListWidget {
  public:
    std::function<void()> onTreeDrop;
    std::function<void()> onListDrop;
    using QListWidget::QListWidget;

  protected:
    static bool ours(const QMimeData* data) {
        return data->hasFormat(QString::fromLatin1(TDirTree::DragFormat)) ||
               data->hasFormat(QString::fromLatin1(TFormAddArch::ListDragFormat));
    }
    void dragEnterEvent(QDragEnterEvent* event) override {
        if (ours(event->mimeData()))
            event->acceptProposedAction();
        else
            event->ignore();
    }
    void dragMoveEvent(QDragMoveEvent* event) override {
        if (ours(event->mimeData()))
            event->acceptProposedAction();
        else
            event->ignore();
    }
    void dropEvent(QDropEvent* event) override {
        const QMimeData* data = event->mimeData();
        if (data->hasFormat(QString::fromLatin1(TDirTree::DragFormat))) {
            event->acceptProposedAction();
            if (onTreeDrop) onTreeDrop();
        } else if (data->hasFormat(QString::fromLatin1(TFormAddArch::ListDragFormat))) {
            event->acceptProposedAction();
            if (onListDrop) onListDrop();
        } else {
            event->ignore();
        }
    }
};

// The folder listing: a drag source whose drops the selection list recognises.
class FileList : public QListWidget {
  public:
    using QListWidget::QListWidget;

  protected:
    QStringList mimeTypes() const override {
        return {QString::fromLatin1(TFormAddArch::ListDragFormat)};
    }
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override {
        QStringList names;
        for (const QListWidgetItem* item : items) names.append(item->text());
        auto* data = new QMimeData;
        data->setData(QString::fromLatin1(TFormAddArch::ListDragFormat),
                      names.join(u'\n').toUtf8());
        return data;
    }
};

QLabel* titleStrip(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFrameStyle(QFrame::Panel | QFrame::Raised);
    label->setAutoFillBackground(true);
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, QColor(128, 128, 128));
    pal.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(pal);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setFixedHeight(19);
    return label;
}

QPushButton* button(const QString& name, const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

TFormAddArch::TFormAddArch(Ui& ui, QWidget* parent) : QDialog(parent), ui_(ui) {
    setObjectName(QStringLiteral("FormAddArch"));
    setWindowTitle(QStringLiteral("Ajouter des fichiers à l'archive KVR"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    setMinimumSize(MinWidth, MinHeight);
    resize(600, 440);
    helpAvailable_ = platform().fileExists(platform().programFolder() + "Help\\index.htm");

    // ----- upper part: the explorer -----
    auto* upper = new QWidget(this);
    auto* upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    upperLayout->setSpacing(0);
    upperLayout->addWidget(titleStrip(QStringLiteral(" Explorateur de fichiers"), upper));
    SplitterV = new QSplitter(Qt::Horizontal, upper);
    SplitterV->setObjectName(QStringLiteral("SplitterV"));
    SplitterV->setChildrenCollapsible(false);
    upperLayout->addWidget(SplitterV, 1);

    dirtree1 = new TDirTree(SplitterV);
    dirtree1->setObjectName(QStringLiteral("dirtree1"));
    dirtree1->setFrameStyle(QFrame::NoFrame);
    dirtree1->setReadOnStart(true);
    dirtree1->setDirTypes(dirTypeBit(dtNormal) | dirTypeBit(dtAll));
    dirtree1->setGoBelowRecycleBin(true);
    dirtree1->setFastLoad(false);
    dirtree1->setInitialDirectory(QStringLiteral("C:\\"));
    dirtree1->setDriveTypes(AllDriveTypes);
    dirtree1->setShowShareOverlay(false);
    dirtree1->setAcceptDropFiles(false);

    ListView1 = new FileList(SplitterV);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setViewMode(QListView::ListMode);
    ListView1->setFlow(QListView::TopToBottom);
    ListView1->setWrapping(true);
    ListView1->setResizeMode(QListView::Adjust);
    ListView1->setUniformItemSizes(true);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setIconSize(QSize(SystemImages::IconSize, SystemImages::IconSize));
    ListView1->setDragEnabled(true);
    ListView1->setDragDropMode(QAbstractItemView::DragOnly);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    SplitterV->addWidget(dirtree1);
    SplitterV->addWidget(ListView1);
    SplitterV->setStretchFactor(0, 0);
    SplitterV->setStretchFactor(1, 1);
    SplitterV->setSizes({199, 400});

    PopupListView = new QMenu(this);
    PopupListView->setObjectName(QStringLiteral("PopupListView"));
    QAction* selectAll = PopupListView->addAction(QStringLiteral("Sélectionner tout"));
    selectAll->setObjectName(QStringLiteral("Slectionnertout1"));
    selectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    selectAll->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    ListView1->addAction(selectAll);
    QAction* selectNone = PopupListView->addAction(QStringLiteral("Désélectionner tout"));
    selectNone->setObjectName(QStringLiteral("Dslectionnertout1"));
    connect(selectAll, &QAction::triggered, ListView1, &QListWidget::selectAll);
    connect(selectNone, &QAction::triggered, ListView1, &QListWidget::clearSelection);
    connect(ListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopupListView->popup(ListView1->viewport()->mapToGlobal(pos));
    });

    // ----- lower part: the selection list and its buttons -----
    auto* lower = new QWidget(this);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->setSpacing(0);
    lowerLayout->addWidget(titleStrip(
        QStringLiteral(" Sélection de fichiers ou dossiers à ajouter à l'archive"), lower));
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    lowerLayout->addLayout(row, 1);

    auto* zip = new SelectionList(lower);
    ListBoxZip = zip;
    ListBoxZip->setObjectName(QStringLiteral("ListBoxZip"));
    zipDelegate_ = new PictureRowDelegate(TFormBitmap::ImageSelection, 18, ListBoxZip);
    ListBoxZip->setItemDelegate(zipDelegate_);
    ListBoxZip->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBoxZip->setSortingEnabled(true);
    ListBoxZip->setFrameStyle(QFrame::Box | QFrame::Plain);
    ListBoxZip->setAcceptDrops(true);
    ListBoxZip->viewport()->setAcceptDrops(true);
    ListBoxZip->setDragDropMode(QAbstractItemView::DropOnly);
    ListBoxZip->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ListBoxZip->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    ListBoxZip->setContextMenuPolicy(Qt::CustomContextMenu);
    zip->onTreeDrop = [this] { guarded([this] { dropFromTree(); }); };
    zip->onListDrop = [this] { guarded([this] { ButtonAddClick(); }); };
    row->addWidget(ListBoxZip, 1);

    auto* panel = new QWidget(lower);
    panel->setObjectName(QStringLiteral("PanelButtons"));
    panel->setFixedWidth(221);
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(6, 4, 6, 2);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    ButtonAdd = button(QStringLiteral("ButtonAdd"), QStringLiteral("Ajouter"), panel);
    ButtonAddAll = button(QStringLiteral("ButtonAddAll"), QStringLiteral("Ajouter tout"), panel);
    ButtonDell = button(QStringLiteral("ButtonDell"), QStringLiteral("Supprimer"), panel);
    ButtonDellAll =
        button(QStringLiteral("ButtonDellAll"), QStringLiteral("Supprimer tout"), panel);
    ButtonLoadList =
        button(QStringLiteral("ButtonLoadList"), QStringLiteral("Ouvrir un script"), panel);
    ButtonSaveList =
        button(QStringLiteral("ButtonSaveList"), QStringLiteral("Sauver le script"), panel);
    grid->addWidget(ButtonAdd, 0, 0);
    grid->addWidget(ButtonAddAll, 0, 1);
    grid->addWidget(ButtonDell, 1, 0);
    grid->addWidget(ButtonDellAll, 1, 1);
    grid->addWidget(ButtonLoadList, 2, 0);
    grid->addWidget(ButtonSaveList, 2, 1);
    EditMask = new QLineEdit(QStringLiteral("*.*"), panel);
    EditMask->setObjectName(QStringLiteral("EditMask"));
    EditMask->setMaxLength(6);
    EditMask->setFixedWidth(52);
    auto* maskLabel = new QLabel(
        QStringLiteral("Fichiers à ajouter lors de la récursion des dossiers et sous dossiers"),
        panel);
    maskLabel->setObjectName(QStringLiteral("LabelMask"));
    maskLabel->setWordWrap(true);
    maskLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont small = maskLabel->font();
    small.setPixelSize(11);
    maskLabel->setFont(small);
    auto* maskRow = new QHBoxLayout;
    maskRow->setSpacing(6);
    maskRow->addWidget(EditMask, 0, Qt::AlignTop);
    maskRow->addWidget(maskLabel, 1);
    grid->addLayout(maskRow, 3, 0, 1, 2);
    grid->setRowStretch(3, 1);
    for (QPushButton* b :
         {ButtonAdd, ButtonAddAll, ButtonDell, ButtonDellAll, ButtonLoadList, ButtonSaveList})
        b->setFixedHeight(23);
    row->addWidget(panel);

    PopupZip = new QMenu(this);
    PopupZip->setObjectName(QStringLiteral("PopupZip"));
    MenuSupprimer = PopupZip->addAction(QStringLiteral("Supprimer"));
    MenuSupprimerTout = PopupZip->addAction(QStringLiteral("Supprimer tout"));
    PopupZip->addSeparator();
    MenuOuvrir = PopupZip->addAction(QStringLiteral("Ouvrir un script"));
    MenuSauver = PopupZip->addAction(QStringLiteral("Sauver le script"));
    PopupZip->addSeparator();
    MenuDellScripts = PopupZip->addAction(QStringLiteral("Supprimer des scripts"));
    connect(ListBoxZip, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        prepareZipMenu()->popup(ListBoxZip->viewport()->mapToGlobal(pos));
    });

    SplitterH = new QSplitter(Qt::Vertical, this);
    SplitterH->setObjectName(QStringLiteral("SplitterH"));
    SplitterH->setChildrenCollapsible(false);
    // The upper part may shrink to a sliver: the lower part's limit is the form's height - 100.
    for (QWidget* w : std::initializer_list<QWidget*>{upper, SplitterV, dirtree1, ListView1})
        w->setMinimumHeight(20);
    SplitterH->addWidget(upper);
    SplitterH->addWidget(lower);
    SplitterH->setStretchFactor(0, 1);
    SplitterH->setStretchFactor(1, 0);
    connect(SplitterH, &QSplitter::splitterMoved, this, [this](int, int) {
        if (!setLowerHeight(SplitterH->sizes().value(1))) {
            const int total = SplitterH->sizes().value(0) + SplitterH->sizes().value(1);
            SplitterH->setSizes({total - lastLowerHeight_, lastLowerHeight_});
        }
    });

    // ----- bottom strip -----
    auto* line = new QFrame(this);
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    PanelBottom = new QWidget(this);
    PanelBottom->setObjectName(QStringLiteral("PanelBottom"));
    PanelBottom->setFixedHeight(33);
    PanelBottom->installEventFilter(this);
    ButtonOk = new QPushButton(QStringLiteral("&Ok"), PanelBottom);
    ButtonOk->setObjectName(QStringLiteral("ButtonOk"));
    ButtonOk->setDefault(true);
    ButtonClose = new QPushButton(QStringLiteral("&Annuler"), PanelBottom);
    ButtonClose->setObjectName(QStringLiteral("ButtonClose"));
    ButtonClose->setAutoDefault(false);
    ButtonHelp = new QPushButton(QStringLiteral("Aide"), PanelBottom);
    ButtonHelp->setObjectName(QStringLiteral("ButtonHelp"));
    ButtonHelp->setAutoDefault(false);
    for (QPushButton* b : {ButtonOk, ButtonClose, ButtonHelp}) b->resize(75, 25);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(SplitterH, 1);
    layout->addWidget(line);
    layout->addWidget(PanelBottom);
    SplitterH->setSizes({440 - 155 - 35, 155});

    connect(ButtonAdd, &QPushButton::clicked, this,
            [this] { guarded([this] { ButtonAddClick(); }); });
    connect(ButtonAddAll, &QPushButton::clicked, this,
            [this] { guarded([this] { ButtonAddAllClick(); }); });
    connect(ButtonDell, &QPushButton::clicked, this,
            [this] { guarded([this] { ButtonDellClick(); }); });
    connect(MenuSupprimer, &QAction::triggered, this,
            [this] { guarded([this] { ButtonDellClick(); }); });
    connect(ButtonDellAll, &QPushButton::clicked, this,
            [this] { guarded([this] { ButtonDellAllClick(); }); });
    connect(MenuSupprimerTout, &QAction::triggered, this,
            [this] { guarded([this] { ButtonDellAllClick(); }); });
    connect(ButtonLoadList, &QPushButton::clicked, this,
            [this] { guarded([this] { ButtonLoadListClick(); }); });
    connect(MenuOuvrir, &QAction::triggered, this,
            [this] { guarded([this] { ButtonLoadListClick(); }); });
    connect(ButtonSaveList, &QPushButton::clicked, this,
            [this] { guarded([this] { ButtonSaveListClick(); }); });
    connect(MenuSauver, &QAction::triggered, this,
            [this] { guarded([this] { ButtonSaveListClick(); }); });
    connect(MenuDellScripts, &QAction::triggered, this,
            [this] { guarded([this] { DellScriptsClick(); }); });
    connect(ButtonHelp, &QPushButton::clicked, this,
            [this] { guarded([this] { ButtonHelpClick(); }); });
    connect(ButtonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(ListView1, &QListWidget::itemDoubleClicked, this,
            [this] { guarded([this] { ListView1DblClick(); }); });
    connect(dirtree1, &TDirTree::OnChange, this, [this] { guarded([this] { listFolder(); }); });
    // F5, wherever the keyboard is in the dialog, reads the tree and the
    // shown folder again: folders made or removed meanwhile show as they are.
    auto* refresh = new QAction(this);
    refresh->setObjectName(QStringLiteral("Refresh"));
    refresh->setShortcut(QKeySequence(Qt::Key_F5));
    refresh->setShortcutContext(Qt::WindowShortcut);
    addAction(refresh);
    connect(refresh, &QAction::triggered, this,
            [this] { guarded([this] { dirtree1->Refresh(); }); });

    // Creation: the tree fills itself and shows the program's current folder.
    dirtree1->Loaded();
    guarded([this] {
        std::string current = platform().programFolder();
        if (auto here = platform().toWindows(QDir::currentPath().toStdString())) current = *here;
        dirtree1->setDirectory(QString::fromStdString(current));
    });
    // That listing is not for a showing: the first one reads the folder afresh.
    listedSinceHidden_ = false;
    updateExtent();
}

TFormAddArch::~TFormAddArch() = default;

template <class F>
void TFormAddArch::guarded(F&& body) {
    runGuarded(ui_, std::forward<F>(body));
}

// ----- the folder listing -----

int TFormAddArch::CompareNames(const QString& a, bool aFolder, const QString& b, bool bFolder) {
    if (aFolder && !bFolder) return -1;
    if (!aFolder && bFolder) return 1;
    return nameCollator().compare(a, b);
}

void TFormAddArch::listFolder() {
    HourGlass wait;
    listedSinceHidden_ = true;
    const int generation = ++listGeneration_;
    ListView1->setUpdatesEnabled(false);
    ListView1->clear();
    QString folder = dirtree1->Directory();
    if (folder.isEmpty() || folder == u"?") {
        listedFolder_.clear();
        ListView1->setUpdatesEnabled(true);
        return;
    }
    if (!folder.endsWith(u'\\')) folder += u'\\';
    listedFolder_ = folder;

    struct Entry {
        QString name;
        uint32_t attributes;
        bool folder;
    };
    std::vector<Entry> entries;
    for (const FindEntry& e : platform().find(folder.toStdString() + "*.*", ListMask)) {
        if (e.name == "." || e.name == "..") continue;
        entries.push_back(
            {QString::fromStdString(e.name), e.attributes, (e.attributes & attr::Directory) != 0});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& x, const Entry& y) {
        return CompareNames(x.name, x.folder, y.name, y.folder) < 0;
    });

    // The names go in at once; icons and type names follow, letting events run.
    QStringList names;
    names.reserve(static_cast<qsizetype>(entries.size()));
    for (const Entry& e : entries) names.append(e.name);
    // List style: one column width for all, that of the widest name.
    const QFontMetrics fm(ListView1->font());
    int widest = 0;
    for (const QString& name : names) widest = std::max(widest, fm.horizontalAdvance(name));
    ListView1->setGridSize(QSize(std::min(widest, 600) + SystemImages::IconSize + 16,
                                 std::max(fm.height(), SystemImages::IconSize) + 4));
    ListView1->addItems(names);
    SystemImages& images = SystemImages::shared();
    for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
        const Entry& e = entries[static_cast<size_t>(i)];
        QListWidgetItem* item = ListView1->item(i);
        item->setIcon(images.icon(images.iconIndexFor(e.name, e.attributes)));
        item->setData(FolderRole, e.folder);
        item->setToolTip(SystemImages::typeName(e.name, e.attributes));
        ui_.pump();
        // Another folder was chosen meanwhile: its own listing took over.
        if (generation != listGeneration_) return;
    }
    ListView1->setUpdatesEnabled(true);
}

void TFormAddArch::ListView1DblClick() {
    if (ListView1->selectedItems().isEmpty()) return;
    QListWidgetItem* focus = ListView1->currentItem();
    if (!focus) return;
    const QString path = dirtree1->Directory() + focus->text();
    if (platform().directoryExists(path.toStdString())) dirtree1->setDirectory(path);
}

// ----- the selection list -----

QString TFormAddArch::mask() const {
    const QString m = EditMask->text().trimmed();
    if (m.isEmpty()) return QStringLiteral("*.*");
    if (m.contains(u'*') || m.contains(u'?')) return m;
    // An extension typed on its own ("txt", ".txt") means the files of that
    // type; as a name it would match no file of the walk.
    if (m.startsWith(u'.')) return u'*' + m;
    if (!m.contains(u'.')) return QStringLiteral("*.") + m;
    return m;
}

QStringList TFormAddArch::selection() const {
    QStringList rows;
    for (int i = 0; i < ListBoxZip->count(); ++i) rows.append(ListBoxZip->item(i)->text());
    return rows;
}

bool TFormAddArch::addEntry(const QString& entry) {
    const QString key = foldKey(entry);
    if (keys_.contains(key)) return false;
    keys_.insert(key, 1);
    ListBoxZip->addItem(new SelectionRow(entry));
    return true;
}

void TFormAddArch::addEntries(const QList<int>& rows) {
    if (rows.isEmpty()) return;
    const QString folder = dirtree1->Directory();
    if (folder.isEmpty() || folder == u"?") return;
    const QString m = mask();
    QStringList entries;
    for (int r : rows) {
        const QListWidgetItem* item = ListView1->item(r);
        QString entry = folder + item->text();
        if (item->data(FolderRole).toBool()) entry += u'\\' + m;
        entries.append(entry);
    }
    // Many rows at once: sort once at the end instead of at every insertion.
    ListBoxZip->setSortingEnabled(false);
    for (const QString& entry : entries) {
        const QString key = foldKey(entry);
        if (keys_.contains(key)) continue;
        keys_.insert(key, 1);
        ListBoxZip->addItem(new SelectionRow(entry));
    }
    ListBoxZip->setSortingEnabled(true);
    ListBoxZip->sortItems();
    updateExtent();
}

void TFormAddArch::ButtonAddClick() {
    QList<int> rows;
    for (int i = 0; i < ListView1->count(); ++i)
        if (ListView1->item(i)->isSelected()) rows.append(i);
    addEntries(rows);
}

void TFormAddArch::ButtonAddAllClick() {
    QList<int> rows;
    for (int i = 0; i < ListView1->count(); ++i) rows.append(i);
    addEntries(rows);
}

void TFormAddArch::dropFromTree() {
    const QString folder = dirtree1->Directory();
    if (folder.isEmpty() || folder == u"?") return;
    addEntry(folder + mask());
    updateExtent();
}

void TFormAddArch::rebuildKeys() {
    keys_.clear();
    for (int i = 0; i < ListBoxZip->count(); ++i) keys_[foldKey(ListBoxZip->item(i)->text())] += 1;
}

void TFormAddArch::ButtonDellClick() {
    if (ListBoxZip->selectedItems().isEmpty()) return;
    if (ui_.message(MessageKind::Confirmation, "Supprimer le(s) fichier(s) sélectionné(s) ?",
                    Buttons::YesCancel) == Answer::Cancel)
        return;
    for (int i = ListBoxZip->count() - 1; i >= 0; --i)
        if (ListBoxZip->item(i)->isSelected()) delete ListBoxZip->takeItem(i);
    rebuildKeys();
    updateExtent();
}

void TFormAddArch::ButtonDellAllClick() {
    if (ListBoxZip->count() == 0) return;
    if (ui_.message(MessageKind::Confirmation, "Supprimer tous les fichiers ?",
                    Buttons::YesCancel) == Answer::Cancel)
        return;
    clearSelectionList();
    updateExtent();
}

void TFormAddArch::clearSelectionList() {
    ListBoxZip->clear();
    keys_.clear();
}

void TFormAddArch::insertRows(const QStringList& rows) {
    ListBoxZip->setSortingEnabled(false);
    for (const QString& row : rows) ListBoxZip->addItem(new SelectionRow(row));
    ListBoxZip->setSortingEnabled(true);
    ListBoxZip->sortItems();
    rebuildKeys();
}

void TFormAddArch::updateExtent() {
    const QFontMetrics fm(ListBoxZip->font());
    int widest = 0;
    for (int i = 0; i < ListBoxZip->count(); ++i)
        widest = std::max(widest, fm.horizontalAdvance(ListBoxZip->item(i)->text()));
    extent_ = 0;
    extent_ = widest + 20;
    // Every row claims the extent (at least the visible width), so the list scrolls that far.
    zipDelegate_->setExtent(std::max(extent_, 1));
    ListBoxZip->doItemsLayout();
}

QMenu* TFormAddArch::prepareZipMenu() {
    MenuSupprimer->setEnabled(!ListBoxZip->selectedItems().isEmpty());
    MenuSupprimerTout->setEnabled(ListBoxZip->count() > 0);
    MenuSauver->setEnabled(ListBoxZip->count() > 0);
    return PopupZip;
}

// ----- scripts -----

namespace {

FileDialogRequest scriptRequest(const char* title) {
    FileDialogRequest request;
    request.title = QString::fromUtf8(title);
    request.filter = QStringLiteral("Fichiers sélection (*.kvl)");
    request.defaultExtension = QStringLiteral("kvl");
    request.initialFolder = QString::fromStdString(TFormDellSelect::scriptFolder());
    request.askOverwrite = false;
    return request;
}

}  // namespace

void TFormAddArch::ButtonSaveListClick() {
    auto chosen = Chooser::instance().saveFile(this, scriptRequest("Sauver une sélection"));
    if (!chosen) return;
    std::string path = chosen->toStdString();
    const std::size_t slash = path.rfind('\\');
    if (path.find('.', slash == std::string::npos ? 0 : slash) == std::string::npos) path += ".kvl";
    if (platform().fileExists(path) &&
        ui_.message(MessageKind::Confirmation,
                    "Le fichier < " + path + " > existe déjà !\rremplacer le fichier existant ?",
                    Buttons::YesNo) != Answer::Yes)
        return;
    std::vector<std::string> lines;
    for (const QString& row : selection()) lines.push_back(row.toStdString());
    WriteSelectionScript(path, lines);
}

void TFormAddArch::ButtonLoadListClick() {
    auto chosen = Chooser::instance().openFile(this, scriptRequest("Ouvrir une sélection"));
    if (!chosen) return;
    const std::vector<std::string> lines = ReadSelectionScript(chosen->toStdString());
    clearSelectionList();
    QStringList rows;
    for (const std::string& line : lines) rows.append(QString::fromStdString(line));
    insertRows(rows);
    updateExtent();
}

void TFormAddArch::DellScriptsClick() {
    TFormDellSelect::showScripts(ui_, this);
}

void TFormAddArch::ButtonHelpClick() {
    ShowHelpPage("addfile.htm", helpAvailable_, ui_);
}

// ----- layout -----

int TFormAddArch::lowerHeight() const {
    return SplitterH->sizes().value(1);
}

bool TFormAddArch::setLowerHeight(int h) {
    if (h < MinLowerHeight || h >= height() - 100) return false;
    lastLowerHeight_ = h;
    const QList<int> sizes = SplitterH->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    if (sizes.value(1) != h) SplitterH->setSizes({total - h, h});
    return true;
}

void TFormAddArch::placeBottomButtons() {
    const int w = PanelBottom->width();
    const int y = (PanelBottom->height() - ButtonClose->height()) / 2;
    const int x = (w - ButtonClose->width()) / 2;
    ButtonClose->move(x, y);
    ButtonOk->move(x - 83, y);
    ButtonHelp->move(x + 83, y);
}

bool TFormAddArch::eventFilter(QObject* watched, QEvent* event) {
    if (watched == PanelBottom && event->type() == QEvent::Resize) placeBottomButtons();
    return QDialog::eventFilter(watched, event);
}

void TFormAddArch::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (width() < MinWidth || height() < MinHeight)
        resize(std::max(width(), MinWidth), std::max(height(), MinHeight));
    updateExtent();
}

void TFormAddArch::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    clearSelectionList();
    updateExtent();
    // The folder may have changed since it was last listed (the archive a run
    // just wrote, files made meanwhile): it is read afresh for every showing,
    // unless the caller's choice of folder has just listed it.
    if (!event->spontaneous() && !listedSinceHidden_) guarded([this] { listFolder(); });
    if (!event->spontaneous()) {
        if (QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
    }
}

void TFormAddArch::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous()) listedSinceHidden_ = false;
}

}  // namespace kv
