// The main window's actions (ActionList1), its main menu (MainMenu1) and the
// catalog's popup menu (PopupArch).

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QTreeView>

#include "app/TMainKorvelt2002.h"
#include "controls/Hint.h"
#include "gui/FormBitmap.h"

namespace kv {

QAction* TMainKorvelt2002::makeAction(const char* name, const char* category, const char* caption,
                                      const QKeySequence& shortcut, const char* hint, Command kind,
                                      void (TMainKorvelt2002::*handler)()) {
    return makeAction(name, category, caption, shortcut, hint, kind,
                      [this, handler] { (this->*handler)(); });
}

QAction* TMainKorvelt2002::makeAction(const char* name, const char* category, const char* caption,
                                      const QKeySequence& shortcut, const char* hint, Command kind,
                                      std::function<void()> handler) {
    auto* action = new QAction(QString::fromUtf8(caption), this);
    action->setObjectName(QString::fromLatin1(name));
    action->setProperty("category", QString::fromLatin1(category));
    const QString hintText = QString::fromUtf8(hint);
    action->setProperty("hint", hintText);
    action->setToolTip(hintShort(hintText));
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    auto run = [this, handler = std::move(handler), kind] { guarded(kind, handler); };
    connect(action, &QAction::triggered, this, run);
    runs_.insert(action, std::move(run));
    addAction(action);
    actions_.insert(action->objectName(), action);
    return action;
}

// A toolbar button's own action for a command: the command's hint, handler
// and kind, but never disabled: the buttons stay live while the menus grey
// their items, and each handler checks what it needs.
QAction* TMainKorvelt2002::buttonActionFor(QAction* command) {
    auto* item = new QAction(this);
    item->setToolTip(command->toolTip());
    connect(item, &QAction::triggered, this, runs_.value(command));
    return item;
}

void TMainKorvelt2002::buildActions() {
    using W = TMainKorvelt2002;
    const auto R = Command::Reads;
    const auto C = Command::Changes;
    const QKeySequence none;
    makeAction("New_Arch", "Fichier", "Nouvelle archive", QKeySequence(Qt::CTRL | Qt::Key_N),
               "Créer une nouvelle archive", C, &W::New_ArchExecute);
    makeAction("Open_Arch", "Fichier", "Ouvrir une archive", QKeySequence(Qt::CTRL | Qt::Key_O),
               "Ouvrir une archive existante", C, &W::Open_ArchExecute);
    makeAction("SaveAs_Arch", "Fichier", "Enregistrer l'archive sous...",
               QKeySequence(Qt::CTRL | Qt::Key_S), "", C, &W::SaveAs_ArchExecute);
    makeAction("Move_Arch", "Fichier", "Déplacer l'archive", none, "", C, &W::Move_ArchExecute);
    makeAction("Close_Arch", "Fichier", "Fermer l'archive", none, "", C, &W::Close_ArchExecute);
    makeAction("Dell_Arch", "Fichier", "Supprimer l'archive", none, "", C, &W::Dell_ArchExecute);
    makeAction("SaveText_Arch", "Fichier", "Enregistrer le contenu en texte", none,
               "Enregistrer le contenu de l'archive en texte", R, &W::SaveText_ArchExecute);
    makeAction("Print_Arch", "Fichier", "Imprimer le contenu", QKeySequence(Qt::CTRL | Qt::Key_I),
               "", R, &W::Print_ArchExecute);
    makeAction("CloseAppli", "Fichier", "Quitter Korvelt", QKeySequence(Qt::ALT | Qt::Key_X),
               "Quitter Korvelt", R, &W::CloseAppliExecute);
    makeAction("SelectAll_Arch", "Edition", "Sélectionner tout", QKeySequence(Qt::CTRL | Qt::Key_A),
               "", R, &W::SelectAll_ArchExecute);
    makeAction("SelectNone_Arch", "Edition", "Tout désélectionner", none, "", R,
               &W::SelectNone_ArchExecute);
    makeAction("InvertSelect", "Edition", "Inverser la sélection", none, "", R,
               &W::InvertSelectExecute);
    makeAction("CopyPath", "Edition", "Copier le chemin de ce fichier", none, "", R,
               &W::CopyPathExecute);
    makeAction("SearchFile_Arch", "Edition", "Rechercher un fichier dans l'archive",
               QKeySequence(Qt::CTRL | Qt::Key_F), "Rechercher un fichier dans l'archive", R,
               &W::SearchFile_ArchExecute);
    makeAction("AddFile", "Action", "Ajouter des fichiers", QKeySequence(Qt::Key_F2),
               "Ajouter le(s) fichier(s)", C, &W::AddFileExecute);
    makeAction("DellFile_Arch", "Action", "Supprimer des fichiers", QKeySequence(Qt::Key_F3),
               "Supprimer le(s) fichier(s) sélectionné(s)", C, &W::DellFile_ArchExecute);
    makeAction("Archiver", "Action", "Archiver", QKeySequence(Qt::Key_F4), "Démarrer l'archivage",
               C, &W::ArchiverExecute);
    makeAction("Restaure", "Action", "Restaurer des fichiers", QKeySequence(Qt::Key_F5),
               "Restaurer des fichiers", C, &W::RestaureExecute);
    makeAction("RestaureManquants", "Action", "Restaurer les fichiers manquants",
               QKeySequence(Qt::SHIFT | Qt::Key_F5),
               "Restaurer les fichiers manquants|Remettre dans leurs dossiers d'origine les "
               "fichiers qui n'existent plus sur le disque",
               C, &W::RestaureManquantsExecute);
    makeAction("SelfExtractor", "Action", "Créer une archive auto-extractible",
               QKeySequence(Qt::Key_F6), "Créer une archive auto-extractible", C,
               &W::SelfExtractorExecute);
    makeAction("Voir_FichierArch", "Action", "Aperçu du fichier", QKeySequence(Qt::Key_F7),
               "Aperçu du fichier", C, &W::Voir_FichierArchExecute);
    makeAction("ModiEnTete", "Action", "Mettre à jour l'en-tête seulement", none, "", C,
               &W::ModiEnTeteExecute);
    makeAction("Reparer_Arch", "Action", "Réparer l'archive", none,
               "Réparer l'archive|Ecrire une nouvelle archive avec toutes les entrées intactes "
               "d'une archive endommagée, l'ancienne étant conservée",
               C, &W::Reparer_ArchExecute);
    makeAction("Verifier_Arch", "Action", "Vérifier l'archive", QKeySequence(Qt::Key_F11),
               "Vérifier l'archive|Décompresser chaque fichier archivé et le comparer avec le "
               "fichier sur le disque",
               C, &W::VerifierExecute);
    makeAction("Tester_Arch", "Action", "Tester l'archive", QKeySequence(Qt::SHIFT | Qt::Key_F11),
               "Tester l'archive|Décompresser chaque fichier archivé et vérifier qu'il est "
               "intact, sans le comparer avec le disque",
               C, &W::TesterExecute);
    makeAction("DellScript", "Script", "Supprimer des scripts", QKeySequence(Qt::Key_F8), "", R,
               &W::DellScriptExecute);
    makeAction("Option1", "Outils", "Options", QKeySequence(Qt::Key_F9), "", C, &W::Option1Execute);
    makeAction("FileHelp", "Aide", "Aide", QKeySequence(Qt::Key_F1), "", R, &W::FileHelpExecute);
    makeAction("AProposde", "Outils", "A propos de...", none, "Info sur l'auteur", R,
               &W::AProposdeExecute);
    buildStatusActions();
}

void TMainKorvelt2002::buildStatusActions() {
    struct Item {
        const char* name;
        const char* caption;
        StatusFilter filter;
        Qt::Key key;
        const char* hint;
    };
    // The letters follow the captions, and "I" the legend's "Fichiers inexistant".
    const Item shows[] = {
        {"Afficher_Tous", "Tous", StatusFilter::All, Qt::Key_T, "Afficher tous les fichiers"},
        {"Afficher_Modifies", "Modifiés", StatusFilter::Modified, Qt::Key_M,
         "Afficher les fichiers modifiés|N'afficher que les fichiers modifiés sur le disque "
         "depuis leur sauvegarde"},
        {"Afficher_Manquants", "Manquants", StatusFilter::Missing, Qt::Key_I,
         "Afficher les fichiers manquants|N'afficher que les fichiers qui n'existent plus sur "
         "le disque"},
        {"Afficher_Nouveaux", "Nouveaux", StatusFilter::New, Qt::Key_N,
         "Afficher les fichiers nouveaux|N'afficher que les fichiers ajoutés, pas encore "
         "archivés"},
        {"Afficher_AVerifier", "À vérifier", StatusFilter::ToCheck, Qt::Key_V,
         "Afficher les fichiers à vérifier|N'afficher que les fichiers modifiés, manquants, "
         "nouveaux, différents de leur copie ou endommagés"},
    };
    showActions_ = new QActionGroup(this);
    showActions_->setExclusive(true);
    for (const Item& i : shows) {
        const StatusFilter filter = i.filter;
        QAction* item =
            makeAction(i.name, "Edition", i.caption, QKeySequence(Qt::CTRL | Qt::SHIFT | i.key),
                       i.hint, Command::Reads, [this, filter] { AfficherClick(filter); });
        item->setCheckable(true);
        item->setChecked(filter == StatusFilter::All);
        item->setData(static_cast<int>(filter));
        showActions_->addAction(item);
    }
    const Item selects[] = {
        {"Selectionner_Modifies", "Modifiés", StatusFilter::Modified, Qt::Key_M,
         "Sélectionner les fichiers modifiés|Sélectionner, parmi les fichiers affichés, ceux "
         "qui ont été modifiés"},
        {"Selectionner_Manquants", "Manquants", StatusFilter::Missing, Qt::Key_I,
         "Sélectionner les fichiers manquants|Sélectionner, parmi les fichiers affichés, ceux "
         "qui n'existent plus sur le disque"},
        {"Selectionner_Nouveaux", "Nouveaux", StatusFilter::New, Qt::Key_N,
         "Sélectionner les fichiers nouveaux|Sélectionner, parmi les fichiers affichés, ceux "
         "qui ne sont pas encore archivés"},
        {"Selectionner_AVerifier", "À vérifier", StatusFilter::ToCheck, Qt::Key_V,
         "Sélectionner les fichiers à vérifier|Sélectionner, parmi les fichiers affichés, "
         "ceux qui sont modifiés, manquants, nouveaux, différents de leur copie ou "
         "endommagés"},
    };
    for (const Item& i : selects) {
        const StatusFilter filter = i.filter;
        selectActions_.push_back(
            makeAction(i.name, "Edition", i.caption, QKeySequence(Qt::CTRL | Qt::ALT | i.key),
                       i.hint, Command::Reads, [this, filter] { SelectionnerClick(filter); }));
    }
}

QMenu* TMainKorvelt2002::actionMenu(QWidget* parent, const char* title, const char* name,
                                    const QList<QAction*>& actions) {
    auto* menu = new QMenu(QString::fromUtf8(title), parent);
    menu->setObjectName(QLatin1String(name));
    menu->addActions(actions);
    return menu;
}

// A menu's own item for an action that is never disabled: the menu may grey
// its item while the action, its shortcut and the popup's item stay live.
QAction* TMainKorvelt2002::menuItemFor(QAction* action, const char* name) {
    QString text = action->text();
    if (!action->shortcut().isEmpty())
        text += QLatin1Char('\t') + action->shortcut().toString(QKeySequence::NativeText);
    auto* item = new QAction(text, this);
    item->setObjectName(QString::fromLatin1(name));
    item->setIcon(action->icon());
    item->setToolTip(action->toolTip());
    connect(item, &QAction::triggered, action, &QAction::trigger);
    actions_.insert(item->objectName(), item);
    return item;
}

QMenu* TMainKorvelt2002::sortMenu(QWidget* parent, const char* nameSuffix) {
    auto* menu = new QMenu(QStringLiteral("Trier par"), parent);
    menu->setObjectName(QStringLiteral("Trierpar") + QLatin1String(nameSuffix));
    const struct {
        const char* caption;
        const char* name;
        int tag;
    } items[] = {{"Nom", "Nom", 1}, {"Dossier", "Dossier", 2}};
    for (const auto& i : items) {
        QAction* item = menu->addAction(QString::fromUtf8(i.caption));
        item->setObjectName(QLatin1String(i.name) + QLatin1String(nameSuffix));
        item->setCheckable(true);
        item->setData(i.tag);
        const int tag = i.tag;
        connect(item, &QAction::triggered, this,
                [this, tag] { guarded(Command::Changes, [&] { TrierLaListeClick(tag); }); });
        sortItems_.push_back(item);
    }
    return menu;
}

void TMainKorvelt2002::buildMenus() {
    auto a = [this](const char* name) { return action(name); };
    const QList<QAction*> showActions = showActions_->actions();
    const QList<QAction*> selectActions(selectActions_.begin(), selectActions_.end());
    const auto& icons = TFormBitmap::imageList();
    auto icon = [&](int index) { return index < icons.size() ? icons[index] : QIcon(); };
    a("New_Arch")->setIcon(icon(TFormBitmap::ImageNewArchive));
    a("Open_Arch")->setIcon(icon(TFormBitmap::ImageOpenArchive));
    a("SaveAs_Arch")->setIcon(icon(TFormBitmap::ImageSave));
    a("Move_Arch")->setIcon(icon(TFormBitmap::ImageMove));
    a("Close_Arch")->setIcon(icon(TFormBitmap::ImageClose));
    a("Dell_Arch")->setIcon(icon(TFormBitmap::ImageDelete));
    a("SaveText_Arch")->setIcon(icon(TFormBitmap::ImageText));
    a("Print_Arch")->setIcon(icon(TFormBitmap::ImagePrint));
    a("CloseAppli")->setIcon(icon(TFormBitmap::ImageQuit));
    a("SearchFile_Arch")->setIcon(icon(TFormBitmap::ImageSearchFile));
    a("AddFile")->setIcon(icon(TFormBitmap::ImageAddFiles));
    a("DellFile_Arch")->setIcon(icon(TFormBitmap::ImageRemoveFiles));
    a("Archiver")->setIcon(icon(TFormBitmap::ImageArchive));
    a("Restaure")->setIcon(icon(TFormBitmap::ImageRestore));
    a("RestaureManquants")->setIcon(icon(TFormBitmap::ImageRestore));
    a("SelfExtractor")->setIcon(icon(TFormBitmap::ImageSelfExtractor));
    a("Voir_FichierArch")->setIcon(icon(TFormBitmap::ImagePreview));
    a("Verifier_Arch")->setIcon(icon(TFormBitmap::ImageVerify));
    a("Tester_Arch")->setIcon(icon(TFormBitmap::ImageVerify));
    a("Option1")->setIcon(icon(TFormBitmap::ImageOptions));
    a("FileHelp")->setIcon(icon(TFormBitmap::ImageHelp));
    a("AProposde")->setIcon(icon(TFormBitmap::ImageAbout));

    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    menuFichier_ = bar->addMenu(QStringLiteral("&Fichier"));
    menuFichier_->setObjectName(QStringLiteral("Fichier1"));
    menuFichier_->addActions({a("New_Arch"), a("Open_Arch")});
    menuFichier_->addSeparator();
    menuFichier_->addActions({a("SaveAs_Arch"), a("Move_Arch"), a("Close_Arch"), a("Dell_Arch")});
    menuFichier_->addSeparator();
    menuFichier_->addActions({a("SaveText_Arch"), a("Print_Arch")});
    menuFichier_->addSeparator();
    menuFichier_->addAction(a("CloseAppli"));
    connect(menuFichier_, &QMenu::aboutToShow, this,
            [this] { guarded(Command::Reads, [this] { Fichier1Click(); }); });

    menuEdition_ = bar->addMenu(QStringLiteral("&Edition"));
    menuEdition_->setObjectName(QStringLiteral("Edition1"));
    menuEdition_->addActions({a("SelectAll_Arch"), a("SelectNone_Arch"), a("InvertSelect")});
    menuEdition_->addMenu(actionMenu(menuEdition_, "Sélectionner", "Selectionner1", selectActions));
    menuEdition_->addSeparator();
    menuEdition_->addMenu(actionMenu(menuEdition_, "Afficher", "Afficher1", showActions));
    menuEdition_->addMenu(sortMenu(menuEdition_, "1"));
    menuEdition_->addSeparator();
    menuEdition_->addAction(a("CopyPath"));
    menuEdition_->addSeparator();
    searchFileItem_ = menuItemFor(a("SearchFile_Arch"), "SearchFileArch1");
    menuEdition_->addAction(searchFileItem_);
    connect(menuEdition_, &QMenu::aboutToShow, this,
            [this] { guarded(Command::Reads, [this] { Edition1Click(); }); });

    menuAction_ = bar->addMenu(QStringLiteral("&Action"));
    menuAction_->setObjectName(QStringLiteral("Action1"));
    menuAction_->addAction(a("AddFile"));
    dellFileItem_ = menuItemFor(a("DellFile_Arch"), "DellFileArch1");
    menuAction_->addAction(dellFileItem_);
    menuAction_->addSeparator();
    menuAction_->addActions({a("Archiver"), a("Restaure"), a("RestaureManquants"),
                             a("SelfExtractor"), a("ModiEnTete")});
    menuAction_->addSeparator();
    menuAction_->addActions({a("Verifier_Arch"), a("Tester_Arch"), a("Reparer_Arch")});
    menuAction_->addSeparator();
    viewFileItem_ = menuItemFor(a("Voir_FichierArch"), "ViewFileArch");
    menuAction_->addAction(viewFileItem_);
    connect(menuAction_, &QMenu::aboutToShow, this,
            [this] { guarded(Command::Reads, [this] { Action1Click(); }); });

    menuScripts_ = bar->addMenu(QStringLiteral("Scripts"));
    menuScripts_->setObjectName(QStringLiteral("Scripts1"));
    menuScripts_->addAction(a("DellScript"));
    menuScripts_->addSeparator();
    QAction* available = menuScripts_->addAction(QStringLiteral("Scripts disponibles :"));
    available->setObjectName(QStringLiteral("Scriptsdisponibles1"));
    connect(menuScripts_, &QMenu::aboutToShow, this,
            [this] { guarded(Command::Reads, [this] { Scripts1Click(); }); });

    QMenu* tools = bar->addMenu(QStringLiteral("Outils"));
    tools->setObjectName(QStringLiteral("Outils1"));
    tools->addAction(a("Option1"));

    QMenu* help = bar->addMenu(QStringLiteral("?"));
    help->setObjectName(QStringLiteral("Aide1"));
    help->addAction(a("FileHelp"));
    help->addSeparator();
    help->addAction(a("AProposde"));
    help->addSeparator();
    QMenu* legend = help->addMenu(QStringLiteral("Légende"));
    legend->setObjectName(QStringLiteral("Legende1"));
    // One entry per EntryStatus; the last two only a verify or a test shows.
    const char* legendCaptions[] = {"Fichiers compressés",
                                    "Fichiers modifiés",
                                    "Fichiers inexistant",
                                    "Fichiers nouveaux",
                                    "Fichiers différents de leur copie archivée",
                                    "Fichiers endommagés dans l'archive"};
    for (int i = 0; i < 6; ++i) {
        QAction* item = legend->addAction(icon(TFormBitmap::statusImage(i)),
                                          QString::fromUtf8(legendCaptions[i]));
        item->setObjectName(QStringLiteral("Legende%1").arg(i));
    }

    popupArch_ = new QMenu(this);
    popupArch_->setObjectName(QStringLiteral("PopupArch"));
    popupArch_->addActions({a("SelectAll_Arch"), a("SelectNone_Arch")});
    popupArch_->addMenu(actionMenu(popupArch_, "Sélectionner", "Selectionner2", selectActions));
    popupArch_->addSeparator();
    popupArch_->addMenu(actionMenu(popupArch_, "Afficher", "Afficher2", showActions));
    popupArch_->addMenu(sortMenu(popupArch_, "2"));
    popupArch_->addSeparator();
    popupArch_->addActions({a("AddFile"), a("DellFile_Arch")});
    popupArch_->addSeparator();
    popupArch_->addActions(
        {a("Archiver"), a("Restaure"), a("RestaureManquants"), a("SelfExtractor")});
    popupArch_->addSeparator();
    popupArch_->addActions({a("CopyPath"), a("SearchFile_Arch"), a("Voir_FichierArch")});
    connect(popupArch_, &QMenu::aboutToShow, this,
            [this] { guarded(Command::Reads, [this] { PopupArchPopup(); }); });

    listView_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(listView_.get(), &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        popupArch_->popup(listView_->viewport()->mapToGlobal(pos));
    });
}

}  // namespace kv
