// The main window's life cycle, settings, catalog view, menus and drop.

#include <QAction>
#include <QClipboard>
#include <QDropEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QTest>
#include <QToolTip>
#include <QTreeView>
#include <QUrl>
#include <filesystem>

#include "engine/CatalogReader.h"
#include "tests/app/WindowFixture.h"
#include "util/IniFile.h"

namespace kv::test {
namespace {

class MainWindow : public WindowTest {};

// The keys of an INI file in file order, as "Section.Key".
std::vector<std::string> keysInOrder(const std::string& text) {
    std::vector<std::string> keys;
    std::string section;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == '[')
            section = line.substr(1, line.size() - 2);
        else if (line.find('=') != std::string::npos)
            keys.push_back(section + "." + line.substr(0, line.find('=')));
        start = end + 1;
    }
    return keys;
}

TEST_F(MainWindow, FirstRunTakesTheDefaultsAndWritesTheElevenKeysInOrder) {
    TMainKorvelt2002& w = makeWindow();
    EXPECT_EQ(w.size(), QSize(640, 480));
    EXPECT_FALSE(w.isMaximized());
    const int widths[] = {100, 150, 60, 80, 120, 60};
    for (int c = 0; c < 6; ++c) EXPECT_EQ(w.listView()->header()->sectionSize(c), widths[c]);
    EXPECT_EQ(w.archive().sortKey, 1);
    EXPECT_TRUE(w.options().dateComment);
    EXPECT_FALSE(w.options().recompressAll);
    EXPECT_FALSE(w.options().verifyUnchanged);
    EXPECT_EQ(w.options().workFolder, platform().tempFolder());
    EXPECT_EQ(w.windowTitle(), "Korvelt");
    EXPECT_TRUE(platform().directoryExists("C:\\Korvelt\\Script"));

    w.listView()->header()->resizeSection(1, 222);
    window.reset();
    const std::string text = drives.readFile("C:\\Korvelt\\Korvelt.cfg");
    const std::vector<std::string> expected = {"Window.WidthSize",
                                               "Window.HeightSize",
                                               "Application.temporary",
                                               "Application.DateComment",
                                               "List.A_Col0",
                                               "List.A_Col1",
                                               "List.A_Col2",
                                               "List.A_Col3",
                                               "List.A_Col4",
                                               "List.A_Col5",
                                               "List.Tri"};
    EXPECT_EQ(keysInOrder(text), expected);
    IniFile ini("C:\\Korvelt\\Korvelt.cfg");
    EXPECT_EQ(ini.readInteger("Window", "WidthSize", 0), 640);
    EXPECT_EQ(ini.readInteger("List", "A_Col1", 0), 222);
    EXPECT_EQ(ini.readInteger("List", "Tri", 0), 1);
    EXPECT_EQ(ini.readString("Application", "temporary", ""), platform().tempFolder());
}

TEST_F(MainWindow, SettingsThatCannotBeWrittenAreSaidNamingTheFile) {
    makeWindow();
    FaultPlatform fp;
    fp.install();
    // Neither the file nor a new one beside it can be written (a folder the
    // user may not write).
    fp.failOpen("C:\\Korvelt\\*", OpenMode::Create);
    window.reset();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Erreur");
    EXPECT_EQ(boxes[0].text,
              "Impossible d'enregistrer les réglages dans le fichier C:\\Korvelt\\Korvelt.cfg.\n"
              "Les réglages de cette session sont perdus.");
    EXPECT_FALSE(platform().fileExists("C:\\Korvelt\\Korvelt.cfg"));
}

TEST_F(MainWindow, CommentBoxFollowsTheToolbarWidth) {
    TMainKorvelt2002& w = makeWindow();
    w.show();
    w.resize(900, 500);
    QApplication::processEvents();
    auto* panel = w.findChild<QWidget*>("PanelIcone");
    auto* edit = w.findChild<QWidget*>("EditComment");
    ASSERT_TRUE(panel && edit);
    EXPECT_EQ(panel->height(), 41);
    EXPECT_EQ(edit->width(), panel->width() - 376);
    EXPECT_TRUE(edit->isVisible());
}

TEST_F(MainWindow, StoredSettingsAreReadAndAScreenWideWindowStartsMaximised) {
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    IniFile ini("C:\\Korvelt\\Korvelt.cfg");
    ini.writeInteger("Window", "WidthSize", screen.width());
    ini.writeInteger("Window", "HeightSize", 300);
    ini.writeInteger("List", "Tri", 2);
    ini.writeBool("Application", "DateComment", false);
    ini.writeString("Application", "temporary", "C:\\nulle\\part\\");
    ini.writeBool("Application", "RecompressAll", true);
    ini.writeBool("Application", "VerifyUnchanged", true);
    TMainKorvelt2002& w = makeWindow();
    EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(w.archive().sortKey, 2);
    EXPECT_FALSE(w.options().dateComment);
    EXPECT_TRUE(w.options().recompressAll);
    EXPECT_TRUE(w.options().verifyUnchanged);
    EXPECT_EQ(w.options().workFolder,
              platform().tempFolder());  // a vanished folder gives the default
}

TEST_F(MainWindow, CommandLineJoinsItsArgumentsAndOpensOnlyAnExistingArchive) {
    makeWindow();
    writeSized("C:\\mes docs\\a.txt", 10);
    archiveThroughWindow("C:\\mes docs\\Ma Sauvegarde.KVR", {"C:\\mes docs\\a.txt"});
    window.reset();
    boxes.clear();

    struct Case {
        QStringList arguments;
        bool opens;
    } cases[] = {
        {{"C:\\mes", "docs\\Ma", "Sauvegarde.KVR"}, true},
        {{"C:\\mes docs\\Ma Sauvegarde.KVR", "", ""}, true},
        {{"C:\\mes docs\\a.txt"}, false},
        {{"C:\\mes docs\\absente.kvr"}, false},
        {{"/autosave"}, false},
    };
    for (const Case& c : cases) {
        TMainKorvelt2002& w = makeWindow();
        w.setCommandLine(c.arguments);
        showWindow();
        EXPECT_EQ(w.archiveOpen(), c.opens) << c.arguments.join(' ').toStdString();
        if (c.opens) {
            EXPECT_EQ(w.windowTitle(), "Korvelt - [ Ma Sauvegarde.KVR ]");
            EXPECT_EQ(w.archive().rows.size(), 1u);
        }
        window.reset();
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainWindow, EscapeWithNothingRunningSaysNothing) {
    TMainKorvelt2002& w = makeWindow();
    w.show();
    writeSized("C:\\d\\a.txt", 1);
    chooser.files.push_back(QString("C:\\e.kvr"));
    drop({"C:\\d\\a.txt"});  // an add operation that has ended
    EXPECT_FALSE(w.keepGoing());
    QTest::keyClick(w.listView(), Qt::Key_Escape);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainWindow, EscapeWaitingInTheQueueStopsADrop) {
    for (int i = 0; i < 5; ++i) writeSized("C:\\d\\f" + std::to_string(i) + ".txt", 1);
    TMainKorvelt2002& w = makeWindow();
    w.show();
    chooser.files.push_back(QString("C:\\n.kvr"));
    trigger("New_Arch");
    // The drop lets events run before it starts: the Escape is seen there.
    sendDrop({"C:\\d"});
    QApplication::postEvent(w.listView(),
                            new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    QApplication::processEvents();
    EXPECT_TRUE(w.archive().rows.empty());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Korvelt");
    EXPECT_EQ(boxes[0].text, "Opération abandonnée");
    EXPECT_FALSE(w.keepGoing());
    EXPECT_TRUE(w.archive().listChanged);
}

TEST_F(MainWindow, ABusyWindowDoesNotClose) {
    TMainKorvelt2002& w = makeWindow();
    w.show();
    {
        BusyScope busy(w);
        EXPECT_FALSE(w.close());
    }
    EXPECT_TRUE(w.close());
}

TEST_F(MainWindow, ClosingAsksOnlyWhenAnOpenArchiveHasChanges) {
    TMainKorvelt2002& w = makeWindow();
    w.show();
    w.archive().listChanged = true;  // no archive open: no question
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(boxes.empty());

    writeSized("C:\\d\\a.txt", 5);
    TMainKorvelt2002& w2 = makeWindow();
    w2.show();
    chooser.files.push_back(QString("C:\\d\\n.kvr"));
    trigger("New_Arch");
    drop({"C:\\d\\a.txt"});
    answers = {QMessageBox::Cancel};
    EXPECT_FALSE(w2.close());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "Le contenue de la liste a changé,\nvoulez-vous archiver les changements avant de "
              "quitter Korvelt ?");
    answers = {QMessageBox::Yes};  // archive first, then close
    EXPECT_TRUE(w2.close());
    EXPECT_TRUE(platform().fileExists("C:\\d\\n.kvr"));
}

TEST_F(MainWindow, DroppedFoldersAddEveryFileBelowThemButNeverTheArchive) {
    writeSized("C:\\data\\a.txt", 1500);
    writeSized("C:\\data\\sous\\b.txt", 2500);
    writeSized("C:\\data\\sous\\plus\\c.doc", 1);
    TMainKorvelt2002& w = makeWindow();
    w.show();
    archiveThroughWindow("C:\\data\\arch.kvr", {"C:\\data\\a.txt"});
    ASSERT_TRUE(platform().fileExists("C:\\data\\arch.kvr"));
    ASSERT_FALSE(w.archive().listChanged);

    QMimeData mime;
    mime.setUrls(
        {QUrl::fromLocalFile(QString::fromStdString(drives.hostPath("C:\\data"))),
         QUrl::fromLocalFile(QString::fromStdString(drives.hostPath("C:\\data\\arch.kvr")))});
    QDragEnterEvent enter(QPoint(50, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &drop);
    QApplication::processEvents();

    std::vector<std::string> paths;
    for (const CatalogRow& r : w.archive().rows) paths.push_back(r.fullPath());
    const std::vector<std::string> expected = {"C:\\data\\a.txt", "C:\\data\\sous\\b.txt",
                                               "C:\\data\\sous\\plus\\c.doc"};
    EXPECT_EQ(paths, expected);
    EXPECT_EQ(w.catalogModel().rowCount(), 3);
    EXPECT_EQ(w.archive().rows[1].status, New);
    EXPECT_EQ(w.archive().rows[1].size, 2500);
    EXPECT_TRUE(w.archive().listChanged);
    // The catalog summary counts the rows as they are now.
    EXPECT_EQ(w.statusText(0), " 3 fichier(s)  4,00 Ko");
}

TEST_F(MainWindow, DropWithNoArchiveAsksForANewOneFirst) {
    writeSized("C:\\d\\a.txt", 3);
    TMainKorvelt2002& w = makeWindow();
    drop({"C:\\d\\a.txt"});  // the new-archive dialog is cancelled
    EXPECT_TRUE(w.archive().rows.empty());
    EXPECT_FALSE(w.archive().listChanged);
    ASSERT_EQ(chooser.requests.size(), 1u);
    EXPECT_EQ(chooser.requests[0].title, "Créer une nouvelle archive KVR");

    chooser.files.push_back(QString("C:\\d\\neuve.kvr"));
    drop({"C:\\d\\a.txt"});
    EXPECT_EQ(w.windowTitle(), "Korvelt - [ neuve.kvr ]");
    EXPECT_EQ(w.archive().rows.size(), 1u);
    EXPECT_TRUE(w.archive().listChanged);
}

// A file of 3 GiB (sparse: it takes no space) dropped on the window: its row
// and the selection summary count it whole.
TEST_F(MainWindow, RowAndSummaryOfAFileOf3GiB) {
    writeSized("C:\\d\\film.mkv", 1);
    std::filesystem::resize_file(drives.hostPath("C:\\d\\film.mkv"), int64_t(3) << 30);
    writeSized("C:\\d\\a.txt", 1500);
    TMainKorvelt2002& w = makeWindow();
    chooser.files.push_back(QStringLiteral("C:\\d\\x.kvr"));
    trigger("New_Arch");
    drop({"C:\\d\\film.mkv", "C:\\d\\a.txt"});
    ASSERT_EQ(w.archive().rows.size(), 2u);
    EXPECT_EQ(w.catalogModel().data(w.catalogModel().index(0, 2), Qt::DisplayRole).toString(),
              QStringLiteral("3221225472"));
    trigger("SelectAll_Arch");
    const std::string group = w.environment().separators.thousands;
    EXPECT_EQ(w.statusText(1),
              QString::fromStdString(" 2 sélectionné(s) 3" + group + "221" + group + "226" +
                                     w.environment().separators.decimal + "97 Ko"));
}

TEST_F(MainWindow, SelectionSummaryCopyPathAndRemovingRows) {
    writeSized("C:\\d\\a.txt", 1500);
    writeSized("C:\\d\\s\\b.txt", 2500);
    writeSized("C:\\d\\c.txt", 7);
    TMainKorvelt2002& w = makeWindow();
    archiveThroughWindow("C:\\d\\x.kvr", {"C:\\d\\a.txt", "C:\\d\\s\\b.txt", "C:\\d\\c.txt"});
    EXPECT_EQ(w.statusText(0), " 3 fichier(s)  4,01 Ko");
    EXPECT_EQ(w.statusText(1), " 0 sélectionné(s) 0,00 Ko");

    // Sorted by name after the load: a, b, c.
    ASSERT_EQ(w.archive().rows[1].name, "b.txt");
    QItemSelectionModel* selection = w.listView()->selectionModel();
    selection->select(w.catalogModel().index(0, 0),
                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->select(w.catalogModel().index(1, 0),
                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(w.statusText(1), " 2 sélectionné(s) 4,00 Ko");

    QGuiApplication::clipboard()->setText("avant");
    trigger("CopyPath");  // two rows: nothing
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "avant");
    trigger("InvertSelect");
    EXPECT_EQ(w.selectedRows(), std::vector<size_t>{2});
    trigger("CopyPath");  // the folder as this host names it, for a terminal
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QString::fromStdString(drives.root('C') + "/d/"));
    trigger("SelectAll_Arch");
    EXPECT_EQ(w.selectedRows().size(), 3u);
    trigger("SelectNone_Arch");
    EXPECT_TRUE(w.selectedRows().empty());

    selection->select(w.catalogModel().index(0, 0),
                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->select(w.catalogModel().index(2, 0),
                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    answers = {QMessageBox::Cancel};
    trigger("DellFile_Arch");
    EXPECT_EQ(w.archive().rows.size(), 3u);
    EXPECT_EQ(boxes.back().text, "Supprimer le(s) fichier(s) sélectionné(s) ?");
    trigger("DellFile_Arch");  // Yes
    ASSERT_EQ(w.archive().rows.size(), 1u);
    EXPECT_EQ(w.archive().rows[0].name, "b.txt");
    EXPECT_EQ(w.catalogModel().rowCount(), 1);
    EXPECT_TRUE(w.archive().listChanged);
    EXPECT_TRUE(action("Restaure")->isEnabled());
    EXPECT_EQ(w.statusText(0), " 1 fichier(s)  2,50 Ko");
}

TEST_F(MainWindow, ACellCutByItsColumnShowsItsWholeTextAsATooltip) {
    const std::string folder = "C:\\Documents de travail\\Comptabilité 2026\\Factures\\";
    writeSized(folder + "a.txt", 10);
    TMainKorvelt2002& w = makeWindow();
    w.resize(900, 400);
    w.show();
    chooser.files.push_back(QString("C:\\x.kvr"));
    trigger("New_Arch");
    drop({QString::fromStdString(folder + "a.txt")});
    ASSERT_EQ(w.archive().rows.size(), 1u);
    QTreeView* list = w.listView();
    QApplication::processEvents();
    const auto tipOver = [&](int column) {
        QToolTip::hideText();  // hidden after a short delay
        EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
        const QRect cell = list->visualRect(w.catalogModel().index(0, column));
        QHelpEvent help(QEvent::ToolTip, cell.center(),
                        list->viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(list->viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    // "Dossier" is 150 pixels wide: the folder is cut, the tooltip holds it whole.
    EXPECT_EQ(tipOver(CatalogModel::ColFolder), QString::fromStdString(folder));
    // A name shown whole has no tooltip; cut by a narrowed column, it has one.
    EXPECT_EQ(tipOver(CatalogModel::ColName), QString());
    list->header()->resizeSection(CatalogModel::ColName, 12);
    EXPECT_EQ(tipOver(CatalogModel::ColName), "a.txt");
    QToolTip::hideText();
}

TEST_F(MainWindow, SortByFolderComparesFoldersOnly) {
    writeSized("C:\\b\\z.txt", 1);
    writeSized("C:\\a\\y.txt", 1);
    writeSized("C:\\b\\a.txt", 1);
    TMainKorvelt2002& w = makeWindow();
    chooser.files.push_back(QString("C:\\x.kvr"));
    trigger("New_Arch");
    drop({"C:\\b\\z.txt", "C:\\a\\y.txt", "C:\\b\\a.txt"});
    trigger("Dossier1");
    std::vector<std::string> order;
    for (const CatalogRow& r : w.archive().rows) order.push_back(r.fullPath());
    EXPECT_EQ(order, (std::vector<std::string>{"C:\\a\\y.txt", "C:\\b\\z.txt", "C:\\b\\a.txt"}));
    EXPECT_EQ(w.archive().sortKey, 2);
    openMenu("Edition1");
    for (const char* name : {"Dossier1", "Dossier2"})
        EXPECT_TRUE(w.findChild<QAction*>(name)->isChecked());
    for (const char* name : {"Nom1", "Nom2"})
        EXPECT_FALSE(w.findChild<QAction*>(name)->isChecked());
}

TEST_F(MainWindow, EnabledStatesFollowTheThreeWindowStates) {
    writeSized("C:\\d\\a.txt", 10);
    TMainKorvelt2002& w = makeWindow();
    auto enabled = [&](const char* name) {
        if (QAction* a = action(name)) return a->isEnabled();
        return w.findChild<QAction*>(QString::fromLatin1(name))->isEnabled();
    };
    auto openAll = [&] {
        openMenu("Fichier1");
        openMenu("Edition1");
        openMenu("Action1");
    };

    // No archive; the menus' opening runs the rules.
    emit w.findChild<QMenu*>("Fichier1")->aboutToShow();
    EXPECT_FALSE(enabled("SaveAs_Arch"));
    openAll();
    for (const char* name :
         {"SaveText_Arch", "Print_Arch", "Close_Arch", "SaveAs_Arch", "Dell_Arch", "Move_Arch",
          "SelectAll_Arch", "SelectNone_Arch", "CopyPath", "SearchFileArch1", "AddFile", "Archiver",
          "DellFileArch1", "Restaure", "SelfExtractor", "ViewFileArch", "ModiEnTete"})
        EXPECT_FALSE(enabled(name)) << name;
    // Never disabled: the actions behind the greyed menu items stay live.
    for (const char* name :
         {"New_Arch", "Open_Arch", "DellFile_Arch", "SearchFile_Arch", "Voir_FichierArch"})
        EXPECT_TRUE(enabled(name)) << name;

    // A new archive, not on disk yet, with one row.
    chooser.files.push_back(QString("C:\\d\\n.kvr"));
    trigger("New_Arch");
    drop({"C:\\d\\a.txt"});
    openAll();
    for (const char* name : {"SaveText_Arch", "Print_Arch", "Close_Arch", "SelectAll_Arch",
                             "SearchFileArch1", "AddFile", "Archiver"})
        EXPECT_TRUE(enabled(name)) << name;
    for (const char* name :
         {"SaveAs_Arch", "Dell_Arch", "Move_Arch", "Restaure", "SelfExtractor", "ModiEnTete"})
        EXPECT_FALSE(enabled(name)) << name;

    // On disk, one row selected.
    trigger("Archiver");
    ASSERT_TRUE(w.archiveExists());
    trigger("SelectAll_Arch");
    openAll();
    for (const char* name :
         {"SaveAs_Arch", "Dell_Arch", "Move_Arch", "Restaure", "SelfExtractor", "ModiEnTete",
          "SelectNone_Arch", "InvertSelect", "CopyPath", "DellFileArch1", "ViewFileArch"})
        EXPECT_TRUE(enabled(name)) << name;

    // An archive on disk whose catalog is empty has no contents to save as
    // text, whichever menu opened last (the popup holds no such item).
    trigger("SelectAll_Arch");
    answers = {QMessageBox::Yes};
    trigger("DellFile_Arch");
    openMenu("Fichier1");
    EXPECT_FALSE(enabled("SaveText_Arch"));
    openMenu("PopupArch");
    EXPECT_FALSE(enabled("SaveText_Arch"));
    EXPECT_FALSE(enabled("Restaure"));
    EXPECT_FALSE(enabled("SelectAll_Arch"));
    EXPECT_TRUE(enabled("Archiver"));
}

TEST_F(MainWindow, ActionsCarryTheirCategoriesCaptionsShortcutsAndHints) {
    makeWindow();
    struct Row {
        const char* name;
        const char* category;
        const char* caption;
        const char* shortcut;
        const char* tooltip;
    } rows[] = {
        {"New_Arch", "Fichier", "Nouvelle archive", "Ctrl+N", "Créer une nouvelle archive"},
        {"SaveAs_Arch", "Fichier", "Enregistrer l'archive sous...", "Ctrl+S", ""},
        {"CloseAppli", "Fichier", "Quitter Korvelt", "Alt+X", "Quitter Korvelt"},
        {"SelectAll_Arch", "Edition", "Sélectionner tout", "Ctrl+A", ""},
        {"SearchFile_Arch", "Edition", "Rechercher un fichier dans l'archive", "Ctrl+F",
         "Rechercher un fichier dans l'archive"},
        {"DellFile_Arch", "Action", "Supprimer des fichiers", "F3",
         "Supprimer le(s) fichier(s) sélectionné(s)"},
        {"Archiver", "Action", "Archiver", "F4", "Démarrer l'archivage"},
        {"SelfExtractor", "Action", "Créer une archive auto-extractible", "F6",
         "Créer une archive auto-extractible"},
        {"ModiEnTete", "Action", "Mettre à jour l'en-tête seulement", "", ""},
        {"DellScript", "Script", "Supprimer des scripts", "F8", ""},
        {"Option1", "Outils", "Options", "F9", ""},
        {"FileHelp", "Aide", "Aide", "F1", ""},
        {"AProposde", "Outils", "A propos de...", "", "Info sur l'auteur"},
        {"RestaureManquants", "Action", "Restaurer les fichiers manquants", "Shift+F5",
         "Restaurer les fichiers manquants|Remettre dans leurs dossiers d'origine les fichiers "
         "qui n'existent plus sur le disque"},
        {"Reparer_Arch", "Action", "Réparer l'archive", "",
         "Réparer l'archive|Ecrire une nouvelle archive avec toutes les entrées intactes d'une "
         "archive endommagée, l'ancienne étant conservée"},
        {"Verifier_Arch", "Action", "Vérifier l'archive", "F11",
         "Vérifier l'archive|Décompresser chaque fichier archivé et le comparer avec le fichier "
         "sur le disque"},
        {"Tester_Arch", "Action", "Tester l'archive", "Shift+F11",
         "Tester l'archive|Décompresser chaque fichier archivé et vérifier qu'il est intact, "
         "sans le comparer avec le disque"},
        {"Afficher_Tous", "Edition", "Tous", "Ctrl+Shift+T", "Afficher tous les fichiers"},
        {"Afficher_AVerifier", "Edition", "À vérifier", "Ctrl+Shift+V",
         "Afficher les fichiers à vérifier|N'afficher que les fichiers modifiés, manquants, "
         "nouveaux, différents de leur copie ou endommagés"},
        {"Selectionner_Manquants", "Edition", "Manquants", "Ctrl+Alt+I",
         "Sélectionner les fichiers manquants|Sélectionner, parmi les fichiers affichés, ceux "
         "qui n'existent plus sur le disque"},
    };
    for (const Row& r : rows) {
        QAction* a = action(r.name);
        ASSERT_TRUE(a) << r.name;
        EXPECT_EQ(a->property("category").toString(), r.category);
        EXPECT_EQ(a->text(), QString::fromUtf8(r.caption));
        EXPECT_EQ(a->shortcut().toString(QKeySequence::PortableText), r.shortcut);
        EXPECT_EQ(a->property("hint").toString(), QString::fromUtf8(r.tooltip));
    }
    // The menus in their order.
    auto captions = [](QMenu* menu) {
        QStringList list;
        for (QAction* a : menu->actions())
            list << (a->isSeparator() ? QString("-") : a->text().section('\t', 0, 0));
        return list;
    };
    EXPECT_EQ(captions(window->findChild<QMenu*>("Action1")),
              QStringList({"Ajouter des fichiers", "Supprimer des fichiers", "-", "Archiver",
                           "Restaurer des fichiers", "Restaurer les fichiers manquants",
                           "Créer une archive auto-extractible",
                           "Mettre à jour l'en-tête seulement", "-", "Vérifier l'archive",
                           "Tester l'archive", "Réparer l'archive", "-", "Aperçu du fichier"}));
    EXPECT_EQ(captions(window->findChild<QMenu*>("Edition1")),
              QStringList({"Sélectionner tout", "Tout désélectionner", "Inverser la sélection",
                           "Sélectionner", "-", "Afficher", "Trier par", "-",
                           "Copier le chemin de ce fichier", "-",
                           "Rechercher un fichier dans l'archive"}));
    EXPECT_EQ(captions(window->findChild<QMenu*>("Afficher1")),
              QStringList({"Tous", "Modifiés", "Manquants", "Nouveaux", "À vérifier"}));
    EXPECT_EQ(captions(window->findChild<QMenu*>("Selectionner2")),
              QStringList({"Modifiés", "Manquants", "Nouveaux", "À vérifier"}));
    EXPECT_EQ(
        captions(window->findChild<QMenu*>("PopupArch")),
        QStringList({"Sélectionner tout", "Tout désélectionner", "Sélectionner", "-", "Afficher",
                     "Trier par", "-", "Ajouter des fichiers", "Supprimer des fichiers", "-",
                     "Archiver", "Restaurer des fichiers", "Restaurer les fichiers manquants",
                     "Créer une archive auto-extractible", "-", "Copier le chemin de ce fichier",
                     "Rechercher un fichier dans l'archive", "Aperçu du fichier"}));
    EXPECT_EQ(captions(window->findChild<QMenu*>("Legende1")),
              QStringList({"Fichiers compressés", "Fichiers modifiés", "Fichiers inexistant",
                           "Fichiers nouveaux", "Fichiers différents de leur copie archivée",
                           "Fichiers endommagés dans l'archive"}));
}

TEST_F(MainWindow, BusyWindowRefusesCommandsThatChangeTheCatalog) {
    TMainKorvelt2002& w = makeWindow();
    int ran = 0;
    {
        BusyScope busy(w);
        w.guarded(TMainKorvelt2002::Command::Changes, [&] { ++ran; });
        w.guarded(TMainKorvelt2002::Command::Reads, [&] { ++ran; });
    }
    EXPECT_EQ(ran, 1);
    w.guarded(TMainKorvelt2002::Command::Changes, [&] { throw Error("disque plein"); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Erreur");
    EXPECT_EQ(boxes[0].text, "disque plein");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace kv::test
