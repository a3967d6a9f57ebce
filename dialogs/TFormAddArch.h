#pragma once
// TFormAddArch: where the user picks what to add to the open archive. The upper
// half is a small file explorer (the folder tree dirtree1, the content of the
// chosen folder in ListView1); the lower half is the selection list ListBoxZip,
// whose rows are selection lines: a file's full path, or a folder's full path, a
// backslash and a mask ("C:\DOCS\*.*"). Rows come from the buttons or by
// dragging from the explorer; the list can be saved as a selection script and
// loaded from one. The caller reads the list after OK.
//
// Created once and reused; each showing empties the selection list.

#include <QDialog>
#include <QHash>
#include <QStringList>
#include <string>

class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QAction;
class QPushButton;
class QSplitter;
class QWidget;

namespace kv {

class TDirTree;
class Ui;
class PictureRowDelegate;

class TFormAddArch : public QDialog {
    Q_OBJECT
  public:
    // ui answers the dialog's questions and shows its errors.
    explicit TFormAddArch(Ui& ui, QWidget* parent = nullptr);
    ~TFormAddArch() override;

    // The MIME format of a drag that starts in the file list (the selected names).
    static constexpr const char* ListDragFormat = "application/x-korvelt-filelist";

    // The selection list's rows, in the order it shows them.
    QStringList selection() const;
    // The mask the buttons and drops use: EditMask's text, "*.*" when empty;
    // an extension typed without wildcard ("txt" or ".txt") becomes "*.txt".
    // A text with a wildcard, or a whole name ("a.txt"), stays as typed.
    QString mask() const;

    // Folders first, then names compared without regard to letter case in the
    // user's locale: <0, 0, >0.
    static int CompareNames(const QString& a, bool aFolder, const QString& b, bool bFolder);

    // Handlers, under the names of their components.
    void listFolder();  // dirtree1's OnChange
    void ListView1DblClick();
    void ButtonAddClick();     // the selected items of the file list
    void ButtonAddAllClick();  // every item of the file list
    void ButtonDellClick();
    void ButtonDellAllClick();
    void ButtonLoadListClick();
    void ButtonSaveListClick();
    void ButtonHelpClick();
    void DellScriptsClick();
    // A drop from the tree: the folder entry of Directory + the mask.
    void dropFromTree();
    // Recomputes the selection list's horizontal extent (widest row + 20).
    void updateExtent();
    int horizontalExtent() const { return extent_; }
    // The selection list's context menu, enabled as it is when it opens.
    QMenu* prepareZipMenu();

    // The smallest size, and the limits of the lower part's height.
    static constexpr int MinWidth = 450;
    static constexpr int MinHeight = 360;
    static constexpr int MinLowerHeight = 156;
    // Applies the splitter's rule to a wanted lower height: accepted when at
    // least 156 and less than the form's height - 100; false leaves it as it was.
    bool setLowerHeight(int height);
    int lowerHeight() const;

    TDirTree* dirtree1;
    QListWidget* ListView1;
    QListWidget* ListBoxZip;
    QPushButton* ButtonAdd;
    QPushButton* ButtonAddAll;
    QPushButton* ButtonDell;
    QPushButton* ButtonDellAll;
    QPushButton* ButtonLoadList;
    QPushButton* ButtonSaveList;
    QLineEdit* EditMask;
    QPushButton* ButtonOk;
    QPushButton* ButtonClose;
    QPushButton* ButtonHelp;
    QSplitter* SplitterH;  // upper part | lower part
    QSplitter* SplitterV;  // tree | file list
    QWidget* PanelBottom;
    QMenu* PopupListView;
    QMenu* PopupZip;
    QAction* MenuSupprimer;
    QAction* MenuSupprimerTout;
    QAction* MenuOuvrir;
    QAction* MenuSauver;
    QAction* MenuDellScripts;

  protected:
    // Each showing empties the selection list and reads the folder afresh.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void addEntries(const QList<int>& rows);
    bool addEntry(const QString& entry);
    void insertRows(const QStringList& rows);
    void clearSelectionList();
    void rebuildKeys();
    void placeBottomButtons();
    template <class F>
    void guarded(F&& body);

    Ui& ui_;
    bool helpAvailable_ = false;
    PictureRowDelegate* zipDelegate_ = nullptr;
    int extent_ = 0;
    int listGeneration_ = 0;
    int lastLowerHeight_ = 155;
    QString listedFolder_;
    bool listedSinceHidden_ = false;  // the file list was read since the dialog was last hidden
    QHash<QString, int> keys_;        // folded rows of the selection list, with their counts
};

}  // namespace kv
