#include "viewer/TFormView.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QFileInfo>
#include <QFrame>
#include <QImageWriter>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QSaveFile>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

#include "controls/TVX_Button.h"
#include "gui/Chooser.h"
#include "gui/DialogRunner.h"
#include "gui/HourGlass.h"
#include "gui/Printers.h"
#include "platform/Platform.h"
#include "text/Text.h"
#include "util/RtfReader.h"
#include "util/RtfWriter.h"
#include "viewer/PictureLoader.h"
#include "viewer/RtfTextDocument.h"
#include "viewer/TFindDialog.h"

namespace kv {
namespace {

const QColor Navy(0, 0, 128);
const QColor Grey(128, 128, 128);

// The first-line indent of the pane's paragraphs: 5 points at 96 dpi.
constexpr double FirstIndentPixels = 5.0 * 96.0 / 72.0;

// Rounds num / den to the nearest integer, halves to even (den > 0).
int roundHalfEven(int64_t num, int64_t den) {
    int64_t q = num / den;
    const int64_t twice = 2 * (num % den);
    if (twice > den || (twice == den && (q & 1))) ++q;
    return static_cast<int>(q);
}

// Drops a character that the cut at MaxTextBytes split in two.
void trimSplitCharacter(std::string& bytes) {
    std::size_t i = bytes.size();
    std::size_t back = 0;
    while (i > 0 && back < 4 && (static_cast<unsigned char>(bytes[i - 1]) & 0xC0) == 0x80) {
        --i;
        ++back;
    }
    if (i == 0) return;
    const auto lead = static_cast<unsigned char>(bytes[i - 1]);
    const std::size_t need = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (need > back) bytes.resize(i - 1);
}

// A file's bytes as the plain-text pane shows them: UTF-8 when they are UTF-8,
// else Windows-1252; control characters other than tab and line ends as blanks.
QString plainTextOf(const std::string& bytes) {
    QString text = QString::fromStdString(text::decodeTextFile(bytes));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u == '\r')
            c = QLatin1Char('\n');
        else if (u < 0x20 && u != '\t' && u != '\n')
            c = QLatin1Char(' ');
    }
    return text;
}

}  // namespace

TFormView::TFormView(Ui& ui, const QStringList& imageExtensions, QWidget* parent)
    : QDialog(parent), ui_(ui), imageExtensions_(imageExtensions) {
    setObjectName(QStringLiteral("FormView"));
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    resize(452, 433);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    panelRich_ = new QFrame(this);
    panelRich_->setObjectName(QStringLiteral("PanelRich"));
    panelRich_->setFrameShape(QFrame::Panel);
    panelRich_->setFrameShadow(QFrame::Sunken);
    panelRich_->setLineWidth(1);
    auto* richLayout = new QVBoxLayout(panelRich_);
    richLayout->setContentsMargins(1, 1, 1, 1);
    richEditView_ = new QTextEdit(panelRich_);
    richEditView_->setObjectName(QStringLiteral("RichEditView"));
    richEditView_->setFrameShape(QFrame::NoFrame);
    richEditView_->setReadOnly(true);
    richEditView_->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                           Qt::TextSelectableByKeyboard);
    richEditView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    richEditView_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    richEditView_->setAcceptRichText(false);
    richEditView_->setLineWrapMode(QTextEdit::NoWrap);
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(13);
    richEditView_->setFont(arial);
    richEditView_->document()->setDefaultFont(arial);
    // The selection stays visible when the pane loses the focus.
    QPalette pane = richEditView_->palette();
    pane.setColor(QPalette::Inactive, QPalette::Highlight,
                  pane.color(QPalette::Active, QPalette::Highlight));
    pane.setColor(QPalette::Inactive, QPalette::HighlightedText,
                  pane.color(QPalette::Active, QPalette::HighlightedText));
    richEditView_->setPalette(pane);
    richLayout->addWidget(richEditView_);
    // In picture mode the hidden pane keeps its room, so the bottom panel stays at the bottom.
    QSizePolicy keep = panelRich_->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    panelRich_->setSizePolicy(keep);
    layout->addWidget(panelRich_, 1);

    panel1_ = new QFrame(this);
    panel1_->setObjectName(QStringLiteral("Panel1"));
    panel1_->setFixedHeight(21);
    panelLabel_ = new QLabel(panel1_);
    panelLabel_->setObjectName(QStringLiteral("Panel1Text"));
    QPalette navy = panelLabel_->palette();
    navy.setColor(QPalette::WindowText, Navy);
    panelLabel_->setPalette(navy);
    panelLabel_->setGeometry(2, 0, 400, 21);
    layout->addWidget(panel1_);

    buttonClose_ = new TVX_Button(panel1_);
    buttonClose_->setObjectName(QStringLiteral("ButtonClose"));
    buttonClose_->setCaption(QStringLiteral("Fermer"));
    buttonClose_->resize(75, 17);
    buttonClose_->move(0, 2);
    buttonClose_->setCursor(Qt::PointingHandCursor);
    buttonClose_->setBorder(true);
    buttonClose_->setBorderColor(Grey);
    buttonClose_->setNormalColor(Qt::white);
    buttonClose_->setDownColor(Grey);
    buttonClose_->setOverColor(Qt::white);
    buttonClose_->setOverFontColor(Navy);
    buttonClose_->setCadreColor(Navy);
    buttonClose_->setMargin(22);
    buttonClose_->setImageMask(Qt::white);
    connect(buttonClose_, &TVX_Button::clicked, this, &QDialog::reject);

    image1_ = new QLabel(this);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setGeometry(0, 0, 100, 73);
    image1_->hide();

    findDialog_ = new TFindDialog(this);
    connect(findDialog_, &TFindDialog::findNext, this, [this] { FindDialog1Find(); });

    buildMenus();
    qApp->installEventFilter(this);
}

TFormView::~TFormView() {
    qApp->removeEventFilter(this);
}

void TFormView::buildMenus() {
    struct Item {
        const char* name;
        const char* caption;
        QKeySequence shortcut;
        void (TFormView::*handler)();
    };
    auto build = [this](QMenu* menu, std::initializer_list<Item> items, QList<QAction*>& keep) {
        for (const Item& i : items) {
            if (!i.name) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromUtf8(i.caption));
            action->setObjectName(QString::fromLatin1(i.name));
            action->setShortcut(i.shortcut);
            action->setShortcutContext(Qt::WindowShortcut);
            const auto handler = i.handler;
            connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
            keep.append(action);
        }
    };
    const QKeySequence none;
    popupCopyRich_ = new QMenu(this);
    popupCopyRich_->setObjectName(QStringLiteral("PopupCopyRich"));
    build(
        popupCopyRich_,
        {{"Copier", "Copier la sélection dans le presse papier", QKeySequence(Qt::CTRL | Qt::Key_C),
          &TFormView::CopierClick},
         {"SelectAll", "Sélectionner tout", QKeySequence(Qt::CTRL | Qt::Key_A),
          &TFormView::SelectAllClick},
         {nullptr, nullptr, none, nullptr},
         {"Rechercherdutexte1", "Rechercher du texte", QKeySequence(Qt::CTRL | Qt::Key_F),
          &TFormView::Rechercherdutexte1Click},
         {nullptr, nullptr, none, nullptr},
         {"Imprimer1", "Imprimer", QKeySequence(Qt::CTRL | Qt::Key_I), &TFormView::Imprimer1Click},
         {"SaveRichEditAs", "Enregistrer le texte sous...", QKeySequence(Qt::CTRL | Qt::Key_S),
          &TFormView::SaveRichEditAsClick},
         {nullptr, nullptr, none, nullptr},
         {"RetourLigne1", "Retour à la ligne", none, &TFormView::RetourLigne1Click},
         {nullptr, nullptr, none, nullptr},
         {"Fermerlafiche2", "Fermer la fiche", none, &QDialog::reject}},
        textActions_);
    copier_ = textActions_[0];
    retourLigne_ = textActions_[5];
    retourLigne_->setCheckable(true);
    connect(popupCopyRich_, &QMenu::aboutToShow, this, [this] {
        copier_->setEnabled(richEditView_->textCursor().hasSelection());
        retourLigne_->setChecked(richEditView_->lineWrapMode() != QTextEdit::NoWrap);
    });

    popupCopyImage_ = new QMenu(this);
    popupCopyImage_->setObjectName(QStringLiteral("PopupCopyImage"));
    build(popupCopyImage_,
          {{"CopyImage", "Copier l'image dans le presse papier", QKeySequence(Qt::CTRL | Qt::Key_C),
            &TFormView::CopyImageClick},
           {nullptr, nullptr, none, nullptr},
           {"SaveJPG", "Enregistrer l'image en JPG", none, &TFormView::SaveJPGClick},
           {"SaveBMP", "Enregistrer l'image en BMP", none, &TFormView::SaveBMPClick},
           {nullptr, nullptr, none, nullptr},
           {"Fermerlafiche1", "Fermer la fiche", none, &QDialog::reject}},
          imageActions_);
    imageActions_[0]->setToolTip(QStringLiteral("Copier  l'image vers le presse papier"));

    richEditView_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(richEditView_, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        popupCopyRich_->popup(richEditView_->viewport()->mapToGlobal(p));
    });
    image1_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(image1_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { popupCopyImage_->popup(image1_->mapToGlobal(p)); });
}

void TFormView::ShowFile(const std::string& path, const QString& shownName,
                         const QStringList& imageExtensions, Ui& ui, QWidget* parent) {
    TFormView view(ui, imageExtensions, parent);
    view.loadFile(path, shownName);
    // Maximised; the screen's work area too, for a desktop without a window
    // manager to maximise it.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        view.setGeometry(screen->availableGeometry());
    view.setWindowState(view.windowState() | Qt::WindowMaximized);
    DialogRunner::exec(view);
}

void TFormView::loadFile(const std::string& path, const QString& shownName) {
    const QString fileName = QString::fromStdString(path).section(QLatin1Char('\\'), -1);
    shownFileName_ = shownName.isEmpty() ? fileName : shownName;
    setWindowTitle(QStringLiteral("Aperçu de [") + shownFileName_ + QStringLiteral("]"));
    richEditView_->setLineWrapMode(QTextEdit::WidgetWidth);

    const QString suffix = QFileInfo(fileName).suffix();
    const QString extension = suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix.toUpper();
    if (!extension.isEmpty() && imageExtensions_.contains(extension) && loadPicture(path)) {
        pictureMode_ = true;
        panelRich_->hide();
        image1_->show();
        addActions(imageActions_);
    } else {
        if (!extension.isEmpty() && imageExtensions_.contains(extension))
            ui_.message(MessageKind::Error, "Fichier image non compatible !");
        const bool rich =
            !pictureMode_ && !imageExtensions_.contains(extension) &&
            (extension == QLatin1String(".RTF") || extension == QLatin1String(".DOC"));
        image1_->hide();
        if (!loadText(path, rich))
            ui_.message(MessageKind::Error, "Ne peut ouvrir le fichier : " + path);
        panelRich_->show();
        addActions(textActions_);
    }
    FormResize();
}

bool TFormView::loadText(const std::string& path, bool formatted) {
    formatted_ = formatted;
    richEditView_->clear();
    auto file = platform().open(path, OpenMode::Read);
    if (!file) return false;
    const int64_t size = file->size();
    if (size < 0) return false;
    cut_ = size > MaxTextBytes;
    std::string bytes(static_cast<std::size_t>(std::min<int64_t>(size, MaxTextBytes)), '\0');
    int64_t got = 0;
    while (got < static_cast<int64_t>(bytes.size())) {
        const int64_t n = file->read(bytes.data() + got, static_cast<int64_t>(bytes.size()) - got);
        if (n < 0) return false;
        if (n == 0) break;
        got += n;
    }
    bytes.resize(static_cast<std::size_t>(got));
    if (cut_) trimSplitCharacter(bytes);

    QTextDocument* doc = richEditView_->document();
    if (formatted && rtf::looksLikeRtf(bytes)) {
        fillTextDocument(*doc, rtf::readRtf(bytes));
    } else {
        // Text that is not RTF shows as plain text, in either mode.
        doc->clear();
        QTextCursor cursor(doc);
        QTextBlockFormat block;
        block.setTextIndent(FirstIndentPixels);
        cursor.setBlockFormat(block);
        cursor.insertText(plainTextOf(bytes));
    }
    richEditView_->moveCursor(QTextCursor::Start);
    if (cut_)
        panelLabel_->setText(
            QStringLiteral(" Aperçu coupé : seuls les %1 premiers Mo du fichier sont affichés")
                .arg(MaxTextBytes >> 20));
    return true;
}

bool TFormView::loadPicture(const std::string& path) {
    const auto host = platform().toHost(path);
    if (!host) return false;
    QImage image;
    QString error;
    if (!PictureLoader::global().loadFromFile(QString::fromStdString(*host), image, error))
        return false;
    picture_ = std::move(image);
    image1_->setScaledContents(false);
    image1_->setPixmap(QPixmap::fromImage(picture_));
    image1_->resize(picture_.size());
    return true;
}

void TFormView::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FormResize();
}

void TFormView::FormResize() {
    if (pictureMode_ && !picture_.isNull()) {
        // The room is the client area above the bottom panel: the window's
        // frame and title bar are no room, and a picture laid over the panel
        // would hide the "Fermer" button.
        const QSize client = size();
        const int r = panel1_->height() + 5;
        const int w = client.width();
        const int h = client.height() - r;
        const int pw = picture_.width();
        const int ph = picture_.height();
        int width = pw;
        int height = ph;
        if (pw > w || ph > h) {
            // Fitted inside both sides, keeping the picture's proportions.
            image1_->setScaledContents(true);
            if (int64_t(pw) * h > int64_t(ph) * w) {
                width = w;
                height = roundHalfEven(int64_t(ph) * w, pw);
            } else {
                height = h;
                width = roundHalfEven(int64_t(pw) * h, ph);
            }
        } else {
            image1_->setScaledContents(false);
        }
        image1_->setGeometry((client.width() - width) / 2, (client.height() - height - r) / 2,
                             std::max(width, 1), std::max(height, 1));
        image1_->raise();
        panelLabel_->setText(QStringLiteral(" %1 / %2 pixels").arg(pw).arg(ph));
    }
    buttonClose_->move((panel1_->width() - buttonClose_->width()) / 2, 2);
}

QString TFormView::panelText() const {
    return panelLabel_->text();
}

bool TFormView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this) {
            switch (static_cast<QKeyEvent*>(event)->key()) {
                case Qt::Key_F4:
                case Qt::Key_Return:
                case Qt::Key_Enter:
                case Qt::Key_Escape:
                case Qt::Key_Space:
                    reject();
                    return true;
                default:
                    break;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

QString TFormView::baseName() const {
    const qsizetype dot = shownFileName_.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? shownFileName_ : shownFileName_.left(dot);
}

void TFormView::CopierClick() {
    richEditView_->copy();
}

void TFormView::SelectAllClick() {
    richEditView_->selectAll();
}

void TFormView::RetourLigne1Click() {
    const bool wrap = richEditView_->lineWrapMode() == QTextEdit::NoWrap;
    richEditView_->setLineWrapMode(wrap ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
}

void TFormView::Rechercherdutexte1Click() {
    findDialog_->setFindText(richEditView_->textCursor().selectedText());
    findDialog_->show();
    findDialog_->raise();
}

void TFormView::FindDialog1Find() {
    const QTextCursor selection = richEditView_->textCursor();
    const int start = selection.hasSelection() ? selection.selectionEnd() : 0;
    QTextDocument::FindFlags flags;
    if (findDialog_->matchCase()) flags |= QTextDocument::FindCaseSensitively;
    if (findDialog_->wholeWord()) flags |= QTextDocument::FindWholeWords;
    const QTextCursor found =
        richEditView_->document()->find(findDialog_->findText(), start, flags);
    if (found.isNull()) {
        ui_.message(MessageKind::Information, "Korvelt a terminé la recherche du document");
        return;
    }
    richEditView_->setTextCursor(found);
}

bool TFormView::mayReplace(const QString& path, const std::string& question) {
    if (!platform().fileExists(path.toStdString())) return true;
    const MessageKind kind =
        question.starts_with("Ecraser") ? MessageKind::Confirmation : MessageKind::Information;
    return ui_.message(kind, question, Buttons::YesCancel) == Answer::Yes;
}

bool TFormView::writeFile(const QString& windowsPath, const QByteArray& bytes) {
    const auto host = platform().toHost(windowsPath.toStdString());
    // Written beside the file and renamed over it once complete, so a failure
    // never leaves a half-written or lost file.
    QSaveFile file(host ? QString::fromStdString(*host) : QString());
    if (host && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
        file.commit())
        return true;
    ui_.message(MessageKind::Error,
                "Impossible d'enregistrer le fichier < " + windowsPath.toStdString() + " >");
    return false;
}

void TFormView::SaveRichEditAsClick() {
    FileDialogRequest request;
    request.defaultExtension = QStringLiteral("txt");
    request.filter =
        QStringLiteral("Fichiers textes (*.txt);;Fichiers RTF (*rtf);;Tous les fichiers (*.*)");
    request.title = QStringLiteral("Enregistrer le texte sous...");
    request.filterIndex = 1;
    request.initialName = baseName();
    request.askOverwrite = false;
    int chosen = request.filterIndex;
    request.chosenFilter = &chosen;
    const auto path = Chooser::instance().saveFile(this, request);
    if (!path) return;
    if (!mayReplace(*path, "Ecraser le fichier existant ?")) return;
    QByteArray bytes;
    if (chosen == 2) {
        bytes = QByteArray::fromStdString(
            rtf::writeRtf(modelOfTextDocument(*richEditView_->document()), "Arial"));
    } else {
        QString text = richEditView_->document()->toPlainText();
        text.replace(QChar::LineSeparator, QLatin1Char('\n'));
        text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        bytes = text.toUtf8();
    }
    writeFile(*path, bytes);
}

void TFormView::Imprimer1Click() {
    const QString title = baseName();
    if (ui_.message(MessageKind::Confirmation, "Imprimer < " + title.toStdString() + " > ?",
                    Buttons::YesCancel) != Answer::Yes)
        return;
    PrintTarget target = PrintTarget::choose(ui_, this);
    if (!target) return;
    HourGlass glass;
    target.printer().setDocName(title);
    richEditView_->document()->print(&target.printer());
    glass.restore();
    target.finish(ui_);
}

void TFormView::CopyImageClick() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!picture_.isNull() && clipboard) {
        clipboard->setImage(picture_);
        if (!clipboard->image().isNull()) {
            ui_.message(MessageKind::Notice, "L'image a été copiée dans le presse papier");
            return;
        }
    }
    ui_.message(MessageKind::Error, "Erreur lors de la copie de l'image");
}

void TFormView::SaveJPGClick() {
    saveImage(true);
}

void TFormView::SaveBMPClick() {
    saveImage(false);
}

void TFormView::saveImage(bool jpeg) {
    FileDialogRequest request;
    request.defaultExtension = jpeg ? QStringLiteral("jpg") : QStringLiteral("bmp");
    request.filter =
        jpeg ? QStringLiteral("Fichiers JPEG (*.jpg)") : QStringLiteral("Fichiers BMP (*.bmp)");
    request.title = jpeg ? QStringLiteral("Enregistrer l'image en JPG")
                         : QStringLiteral("Enregistrer l'image en BMP");
    request.initialName = baseName();
    request.askOverwrite = false;
    const auto path = Chooser::instance().saveFile(this, request);
    if (!path) return;
    const std::string name = path->section(QLatin1Char('\\'), -1).toStdString();
    if (!mayReplace(*path, "Le fichier < " + name + " > existe déjà,\rEcraser le fichier ?"))
        return;
    HourGlass glass;
    // A 24-bit copy of the picture; what is transparent shows on white.
    QImage canvas(picture_.size(), QImage::Format_RGB888);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        painter.drawImage(0, 0, picture_);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, jpeg ? "jpeg" : "bmp");
    if (!writer.write(canvas)) {
        glass.restore();
        ui_.message(MessageKind::Error,
                    "Impossible d'enregistrer le fichier < " + path->toStdString() + " >");
        return;
    }
    writeFile(*path, bytes);
}

}  // namespace kv
