// kvr COMMAND ARGUMENTS...: runs one engine command from the terminal.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <string_view>

#include "tools/kvr/KvrCommon.h"
#include "tools/kvr/ProgressLine.h"
#include "util/CommandGuard.h"
#include "util/Version.h"

namespace {

// One line per command.
const kvr::Command commands[] = {
    {"list", "[--json] ARCHIVE", "une ligne par entrée de l'archive",
     "Une ligne par entrée, dans l'ordre du fichier :\n"
     "  nom;dossier;taille;taille compressée;jj/mm/aaaa hh:mm;type;position\n"
     "Un champ qui contient « ; », « \" » ou une fin de ligne est écrit entre guillemets,\n"
     "les guillemets qu'il contient doublés. Les caractères de contrôle sont écrits \\xHH.\n"
     "\n"
     "  --json   un tableau JSON d'objets (FileName, Folder, FileSize, CompressedSize,\n"
     "           FileDate, TypeName, Offset), les noms tels qu'ils sont.\n",
     kvr::listCommand, false},
    {"test", "[-q] ARCHIVE", "vérifie chaque entrée (CRC-32 et longueur)",
     "Décompresse chaque entrée sans rien écrire et vérifie son CRC-32 et sa longueur ;\n"
     "une ligne par entrée endommagée, puis le décompte.\n",
     kvr::testCommand, true},
    {"verify", "[-q] ARCHIVE", "compare chaque fichier avec sa copie archivée",
     "Vérifie chaque entrée (CRC-32 et longueur) et compare le fichier sur le disque avec\n"
     "elle (CRC-32 et longueur) ; une ligne par fichier qui n'est pas identique à sa copie\n"
     "(contenu différent, modifié, endommagé, absent, illisible), puis le décompte.\n"
     "N'écrit rien. Code de sortie 0 seulement quand chaque fichier est identique.\n",
     kvr::verifyCommand, true},
    {"update",
     "ARCHIVE [CHEMIN...] [--script FICHIER]... [--drop-missing] [--comment TEXTE]\n"
     "             [--date-comment] [--recompress] [--threads N] [-q]",
     "crée ou met à jour l'archive",
     "Crée l'archive si elle n'existe pas, sinon la met à jour : chaque fichier de\n"
     "l'archive encore présent est archivé de nouveau, les fichiers disparus sont repris\n"
     "de l'archive. Puis ajoute :\n"
     "  CHEMIN...          des fichiers et des dossiers (avec leurs sous-dossiers, sauf\n"
     "                     les dossiers cachés) ;\n"
     "  --script FICHIER   les lignes d'un script de sélection (.kvl).\n"
     "\n"
     "  --drop-missing     laisse de côté les fichiers disparus au lieu de les reprendre\n"
     "  --comment TEXTE    le commentaire de l'archive (80 caractères au plus)\n"
     "  --date-comment     un nouveau commentaire commence par la date du jour\n"
     "  --recompress       compresse chaque fichier, même inchangé\n"
     "  --threads N        compresse jusqu'à N fichiers à la fois\n"
     "  -q, --quiet        sans ligne de progression\n",
     kvr::updateCommand, true},
    {"comment", "ARCHIVE TEXTE", "remplace le commentaire de l'archive",
     "Réécrit l'en-tête de l'archive seulement ; les entrées restent telles quelles.\n",
     kvr::commentCommand, false},
    {"extract",
     "ARCHIVE (--origin | --to DOSSIER [--tree]) [--overwrite older|always|never]\n"
     "              [CHEMIN...] [-q]",
     "restaure des fichiers de l'archive",
     "Restaure toutes les entrées, ou celles dont le chemin complet (C:\\...) est donné :\n"
     "  --origin           dans les dossiers d'où elles viennent\n"
     "  --to DOSSIER       dans ce dossier\n"
     "  --tree             avec leurs dossiers, sous DOSSIER\n"
     "  --overwrite RÈGLE  un fichier déjà là : older (par défaut) le remplace sauf s'il\n"
     "                     est plus récent que la copie archivée, always le remplace,\n"
     "                     never le garde\n"
     "  -q, --quiet        sans ligne de progression\n",
     kvr::extractCommand, true},
    {"sfx", "ARCHIVE SORTIE", "crée une archive auto-extractible",
     "Écrit SORTIE : le programme d'extraction suivi de l'archive.\n", kvr::sfxCommand, false},
    {"repair", "ARCHIVE", "répare une archive endommagée",
     "Réécrit l'archive avec chaque entrée saine ; l'ancienne est gardée à côté sous\n"
     "le nom ARCHIVE.bak et le rapport nomme ce qui est perdu.\n",
     kvr::repairCommand, false},
};

constexpr const char* ExitStatuses =
    "Codes de sortie : 0 tout a été fait ; 1 quelque chose a échoué, a été laissé de côté\n"
    "ou est endommagé ; 2 commande ou arguments incorrects ; 3 l'archive est en cours\n"
    "d'écriture par un autre programme.\n";

void usage(std::ostream& out) {
    out << "Usage : kvr [-q] COMMANDE ARGUMENTS...\n"
           "        kvr COMMANDE --help\n"
           "        kvr --version\n\n"
           "Commandes :\n";
    for (const auto& command : commands) {
        std::string name = command.name;
        name.resize(9, ' ');
        out << "  " << name << command.summary << '\n';
    }
    out << "\nLes chemins qui commencent par une lettre de lecteur (C:\\...) sont des chemins\n"
           "Windows ; les autres sont des chemins de ce système. Voir « man kvr ».\n\n"
        << ExitStatuses;
}

void commandHelp(const kvr::Command& command) {
    std::cout << "Usage : kvr " << command.name << ' ' << command.usage << "\n\n"
              << command.details << '\n'
              << ExitStatuses;
}

bool isHelp(std::string_view arg) {
    return arg == "--help" || arg == "-h";
}

bool isQuiet(std::string_view arg) {
    return arg == "-q" || arg == "--quiet";
}

// Standard output must have taken every byte: a listing cut short by a full
// disk is a failure, said on standard error.
int checkedOutput(int status) {
    if (std::cout.good()) errno = 0;
    std::cout.flush();
    const bool failed = !std::cout.good() || std::fflush(stdout) != 0 || std::ferror(stdout);
    if (!failed) return status;
    const bool full = errno == ENOSPC || errno == EDQUOT;
    kvr::printError(std::string("Erreur d'écriture sur la sortie standard") +
                    (full ? " : le disque est plein." : "."));
    return status == kvr::ExitOk ? kvr::ExitFailure : status;
}

}  // namespace

int main(int argc, char** argv) {
    kvr::Args args(argv + 1, argv + argc);
    bool quiet = false;
    while (!args.empty() && isQuiet(args.front())) {
        quiet = true;
        args.erase(args.begin());
    }
    if (args.empty()) {
        usage(std::cerr);
        return kvr::ExitUsage;
    }
    if (args.front() == "help" && args.size() > 1) {
        // "kvr help COMMAND" is "kvr COMMAND --help".
        args.erase(args.begin());
        args.push_back("--help");
    } else if (isHelp(args.front()) || args.front() == "help") {
        usage(std::cout);
        return checkedOutput(kvr::ExitOk);
    }
    if (args.front() == "--version" || args.front() == "-V") {
        std::cout << "kvr (Korvelt) " << kv::ProgramVersion << '\n';
        return checkedOutput(kvr::ExitOk);
    }
    for (const auto& command : commands) {
        if (args.front() != command.name) continue;
        kvr::Args rest(args.begin() + 1, args.end());
        // Options end at "--": what follows may be a name such as "-q".
        auto options = std::find(rest.begin(), rest.end(), "--");
        if ((!rest.empty() && isHelp(rest.front())) ||
            std::find(rest.begin(), options, "--help") != options) {
            commandHelp(command);
            return checkedOutput(kvr::ExitOk);
        }
        if (command.showsProgress) {
            const auto quietArgs = std::remove_if(rest.begin(), options, isQuiet);
            quiet = quiet || quietArgs != options;
            rest.erase(quietArgs, options);
        }
        kvr::ProgressLine::setQuiet(quiet);
        const int status =
            kv::runProgram([&] { return command.run(rest); }, kvr::printError, kvr::ExitFailure);
        return checkedOutput(status);
    }
    kvr::printError("Commande inconnue : " + args.front());
    usage(std::cerr);
    return kvr::ExitUsage;
}
