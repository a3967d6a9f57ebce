#pragma once
// TFormSearchFile: finds catalog rows by their path (folder + name) and
// selects them in the catalog view, one match per click of "Rechercher" or
// every match at once with "Tout rechercher". It reads the rows as the view
// holds them and never opens the archive.
//
// NextIndex is the row the next step starts at. It goes back to 0 when the
// dialog is shown, when the searched text changes, when either check box is
// clicked, on "Tout désélectionner", and after a step that found nothing
// (which says "Korvelt a terminé la recherche").
//
// A match is added to the view's selection (rows selected before stay
// selected), and the view scrolls so that the last match sits 20 pixels below
// the top. The selection model gets the whole new selection as ranges in one
// call, so a step over 100,000 rows stays well under a second.

#include <QDialog>
#include <functional>
#include <vector>

#include "engine/Catalog.h"
#include "util/Ui.h"

class QAbstractItemView;
class QCheckBox;
class QLineEdit;
class QPushButton;

namespace kv {

class TFormSearchFile : public QDialog {
    Q_OBJECT
  public:
    // The catalog row the list shows at a row of its model, null past the end.
    using RowAt = std::function<const CatalogRow*(int row)>;

    // rowAt reads the rows of view, the main window's list; the list outlives
    // the dialog. Messages go through ui.
    TFormSearchFile(Ui& ui, RowAt rowAt, QAbstractItemView& view, QWidget* parent = nullptr);

    // Whether the help pages exist (the main window's HelpAvailable).
    void setHelpAvailable(bool available) { helpAvailable_ = available; }
    // What "Tout désélectionner" calls after clearing the selection: the main
    // window's refresh of its selection totals.
    void setSelectionRefresh(std::function<void()> refresh) { refresh_ = std::move(refresh); }

    int nextIndex() const { return nextIndex_; }

    // Whether a row's path matches the text: contained in it with only the
    // letters A to Z folded, or (exact) equal to it without regard to case.
    static bool matches(const std::string& path, const std::string& text, bool exact);

    QLineEdit* editSearch() const { return editSearch_; }
    QCheckBox* checkAllSearch() const { return checkAllSearch_; }
    QCheckBox* checkOccurence() const { return checkOccurence_; }
    QPushButton* buttonSearch() const { return buttonSearch_; }
    QPushButton* buttonSelectNone() const { return buttonSelectNone_; }
    QPushButton* buttonClose() const { return buttonClose_; }
    QPushButton* buttonHelp() const { return buttonHelp_; }

  public slots:
    void ButtonSearchClick();
    void ButtonSelectNoneClick();
    void ButtonHelpClick();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    int rowCount() const;
    // Adds the rows (ascending) to the view's selection and scrolls to the last.
    void selectRows(const std::vector<int>& rows);
    void scrollNearTop(int row);

    Ui& ui_;
    RowAt rowAt_;
    QAbstractItemView& view_;
    std::function<void()> refresh_;
    bool helpAvailable_ = false;
    int nextIndex_ = 0;  // NextIndex

    QLineEdit* editSearch_;
    QCheckBox* checkAllSearch_;
    QCheckBox* checkOccurence_;
    QPushButton* buttonSelectNone_;
    QPushButton* buttonSearch_;
    QPushButton* buttonClose_;
    QPushButton* buttonHelp_;
};

}  // namespace kv
