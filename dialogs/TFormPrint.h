#pragma once
// TFormPrint: the options of the printed listing. "Imprimer toute la liste"
// or "Imprimer la sélection", each with the pages it needs (64 rows a page),
// the printer set-up ("Configurer", the page set-up dialog of the printer the
// listing goes to), OK, Cancel and the help page "printarch.htm".
//
// Created for one print: prepare() fills the two choices from the row and
// selection counts. With no selected row the selection choice is disabled
// and the whole list chosen; with a selection, the selection is chosen.

#include <QDialog>

#include "util/Ui.h"

class QPrinter;
class QPushButton;
class QRadioButton;

namespace kv {

class TFormPrint : public QDialog {
    Q_OBJECT
  public:
    // The printer is the one the listing will be printed on; "Configurer"
    // changes its page set-up. It outlives the dialog. Messages go through ui.
    TFormPrint(Ui& ui, QPrinter& printer, QWidget* parent = nullptr);

    void setHelpAvailable(bool available) { helpAvailable_ = available; }

    // Fills the two choices for a catalog of rows rows, selected of them selected.
    void prepare(std::size_t rows, std::size_t selected);

    // True when "Imprimer la sélection" is the chosen button.
    bool selectionChosen() const;

    QRadioButton* radioSelect() const { return radioSelect_; }
    QRadioButton* radioTout() const { return radioTout_; }
    QPushButton* buttonConfigure() const { return buttonConfigure_; }
    QPushButton* buttonOk() const { return buttonOk_; }
    QPushButton* buttonCancel() const { return buttonCancel_; }
    QPushButton* buttonHelp() const { return buttonHelp_; }

  public slots:
    void ButtonConfigureClick();
    void ButtonHelpClick();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    Ui& ui_;
    QPrinter& printer_;
    bool helpAvailable_ = false;

    QRadioButton* radioSelect_;
    QRadioButton* radioTout_;
    QPushButton* buttonConfigure_;
    QPushButton* buttonOk_;
    QPushButton* buttonCancel_;
    QPushButton* buttonHelp_;
};

}  // namespace kv
