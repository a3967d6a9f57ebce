#pragma once
// TFormView: the modal window a file is previewed in, as text or formatted
// RTF in a read-only text pane, or as a picture when its extension is one of
// the image extensions. From it the user finds text, copies, prints, saves
// the text as TXT or RTF, toggles word wrap, and copies the picture or saves
// it as JPEG or BMP. ShowFile is the one way a file is previewed.
//
// The text pane loads at most the first MaxTextBytes (2 MB) of a file and
// then says in the bottom panel that the preview is cut; saving saves what is
// shown. Qt's text layout takes seconds a megabyte, so a larger share would
// freeze the window.
// Messages go through the Ui; save dialogs through the Chooser; the window
// itself is run through the DialogRunner.

#include <QDialog>
#include <QImage>
#include <QStringList>
#include <string>

#include "util/Ui.h"

class QFrame;
class QLabel;
class QMenu;
class QTextEdit;

namespace kv {

class TFindDialog;
class TVX_Button;

class TFormView : public QDialog {
    Q_OBJECT
  public:
    static constexpr qint64 MaxTextBytes = qint64(2) << 20;

    // imageExtensions: the main window's ImageExtensions (".JPG", ...).
    TFormView(Ui& ui, const QStringList& imageExtensions, QWidget* parent = nullptr);
    ~TFormView() override;

    // The show-file operation: a window for the file at path (a Windows
    // path), captioned with shownName (the stored file's own name; the
    // path's file name when empty), shown maximised and modally; returns
    // when it has been closed and destroyed.
    static void ShowFile(const std::string& path, const QString& shownName,
                         const QStringList& imageExtensions, Ui& ui, QWidget* parent = nullptr);

    // Steps 2 to 6 of the show-file operation: caption, mode and contents.
    void loadFile(const std::string& path, const QString& shownName);

    // Commands of the two context menus.
    void CopierClick();
    void SelectAllClick();
    void Rechercherdutexte1Click();
    void FindDialog1Find();
    void Imprimer1Click();
    void SaveRichEditAsClick();
    void RetourLigne1Click();
    void CopyImageClick();
    void SaveJPGClick();
    void SaveBMPClick();
    void FormResize();

    QTextEdit* richEditView() const { return richEditView_; }
    QLabel* image1() const { return image1_; }
    QString panelText() const;
    TVX_Button* buttonClose() const { return buttonClose_; }
    TFindDialog* findDialog() const { return findDialog_; }
    QMenu* popupCopyRich() const { return popupCopyRich_; }
    QMenu* popupCopyImage() const { return popupCopyImage_; }
    const QImage& picture() const { return picture_; }
    bool pictureMode() const { return pictureMode_; }
    bool formatted() const { return formatted_; }  // the pane is in RTF mode
    bool cut() const { return cut_; }              // the text shown is the file's start
    QString shownFileName() const { return shownFileName_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool loadText(const std::string& path, bool formatted);
    bool loadPicture(const std::string& path);
    void saveImage(bool jpeg);
    // Asks before replacing an existing file; false when the user stops.
    bool mayReplace(const QString& path, const std::string& question);
    bool writeFile(const QString& windowsPath, const QByteArray& bytes);
    QString baseName() const;  // ShownFileName without its extension
    void buildMenus();

    Ui& ui_;
    QStringList imageExtensions_;
    QLabel* image1_ = nullptr;
    QFrame* panelRich_ = nullptr;
    QTextEdit* richEditView_ = nullptr;
    QFrame* panel1_ = nullptr;
    QLabel* panelLabel_ = nullptr;
    TVX_Button* buttonClose_ = nullptr;
    TFindDialog* findDialog_ = nullptr;
    QMenu* popupCopyRich_ = nullptr;
    QMenu* popupCopyImage_ = nullptr;
    QAction* copier_ = nullptr;
    QAction* retourLigne_ = nullptr;
    QList<QAction*> textActions_;
    QList<QAction*> imageActions_;
    QImage picture_;
    QString shownFileName_;
    bool pictureMode_ = false;
    bool formatted_ = false;
    bool cut_ = false;
};

}  // namespace kv
