#pragma once
// TFormOptions: the program's settings on two pages.
//
//   "Général"  the Work folder (EditDir, chosen with SpeedBDir or put back with
//              ButtonDefaut) and the free space of its drive (LabelSpace), the
//              open archive's name and size (EditFileName, LabelSizeArchive),
//              the dated-comment option (CheckDate);
//   "Automate" the archive and the script of the automatic mode (EditArchAuto,
//              EditScriptAuto with their "Changer" and "Aucune"/"Aucun"
//              buttons), the day (ComboJour) and hour (EditHeure) of the run,
//              the journal (ButtonJournal) and the switch (CheckExecuteAuto).
//
// The dialog stores nothing: the options command fills its controls, shows it
// and reads them back after OK. Only the journal viewer it opens writes a file.
//
// The hour box keeps its text to the form hh:mm by four rules: typed
// characters other than digits, backspace, the colon and Enter are refused
// with "Saisie non valide !" (a colon silently when the box is empty or has
// its colon already; editing keys with Ctrl pass, paste excepted); a text that
// grows to two digits without a colon gets one at once (Backspace can remove
// it, and a third digit then goes behind a new one); on leaving, the text is
// read as a time of day and written back "hh:mm", or refused with the hour
// message and emptied; and it has no context menu (nor any other way to paste).

#include <QDialog>
#include <QString>

#include "util/Format.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QToolButton;

namespace kv {

class TVX_Line;
class Ui;

class TFormOptions : public QDialog {
    Q_OBJECT
  public:
    // Messages go through ui; sizes take the locale's separators; the help
    // button warns when the help pages are missing (helpAvailable false).
    TFormOptions(Ui& ui, const LocaleSeparators& separators, bool helpAvailable,
                 QWidget* parent = nullptr);

    // The message of an hour that cannot be read.
    static const char* const HourMessage;

    // "Espace libre : N Mo" for the folder's drive (N: free bytes divided by a
    // million, rounded down, thousands grouped), with "- " before it when
    // withDash.
    static QString freeSpaceText(const QString& folder, bool withDash,
                                 const LocaleSeparators& separators);
    // "- Taille du fichier : X Ko (Y octets)".
    static QString sizeText(int64_t bytes, const LocaleSeparators& separators);
    // The day index ComboJour shows (0 when the stored one cannot be chosen).
    void setDay(int day);

    // The handlers, under the names of their components.
    void SpeedBDirClick();
    void ButtonDefautClick();
    void ButtonChangeArchClick();
    void ButtonNulArchClick();
    void ButtonChangeScriptClick();
    void ButtonNullScriptClick();
    void ButtonJournalClick();
    void ButtonHelpClick();
    // The hour box: whether a typed character passes (refused ones may show the message).
    bool EditHeureKeyPress(QChar key);
    void EditHeureChange();
    void EditHeureExit();

    QTabWidget* PageControl1;
    QWidget* Tab1;
    QLabel* Label1;
    QLineEdit* EditDir;
    QToolButton* SpeedBDir;
    QLabel* LabelSpace;
    QLabel* Label2;
    QPushButton* ButtonDefaut;
    TVX_Line* VX_Line1;
    QLabel* Label3;
    QLineEdit* EditFileName;
    QLabel* LabelSizeArchive;
    TVX_Line* VX_Line2;
    QCheckBox* CheckDate;

    QWidget* Tab2;
    QLabel* Label4;
    QLineEdit* EditArchAuto;
    QPushButton* ButtonChangeArch;
    QPushButton* ButtonNulArch;
    TVX_Line* VX_Line4;
    QLabel* Label5;
    QLineEdit* EditScriptAuto;
    QPushButton* ButtonChangeScript;
    QPushButton* ButtonNullScript;
    TVX_Line* VX_Line3;
    QLabel* Label6;
    QComboBox* ComboJour;
    QLabel* Label7;
    QLineEdit* EditHeure;
    TVX_Line* VX_Line5;
    QPushButton* ButtonJournal;
    QCheckBox* CheckExecuteAuto;

    QPushButton* ButtonOk;
    QPushButton* ButtonCancel;
    QPushButton* ButtonHelp;

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildGeneralPage();
    void buildAutomationPage();
    void refreshSpace(bool withDash);

    Ui& ui_;
    LocaleSeparators separators_;
    bool helpAvailable_;
    bool checkingHour_ = false;
    qsizetype hourLength_ = 0;  // the hour box's length before its last change
};

}  // namespace kv
