// kvr COMMAND ARGUMENTS...: runs one engine command from the terminal.

#include <cstring>
#include <iostream>

#include "tools/kvr/KvrCommon.h"
#include "util/CommandGuard.h"

namespace {

// One line per command.
const kvr::Command commands[] = {
    {"list", "ARCHIVE", kvr::listCommand},
    {"test", "ARCHIVE", kvr::testCommand},
    {"update",
     "ARCHIVE [--script FICHIER]... [--drop-missing] [--comment TEXTE] [--date-comment] "
     "[--recompress] [--threads N]",
     kvr::updateCommand},
    {"comment", "ARCHIVE TEXTE", kvr::commentCommand},
    {"extract", "ARCHIVE (--origin | --to DOSSIER [--tree]) [CHEMIN...]", kvr::extractCommand},
    {"sfx", "ARCHIVE SORTIE", kvr::sfxCommand},
    {"repair", "ARCHIVE", kvr::repairCommand},
};

int usage()
{
    std::cerr << "Usage :\n";
    for (const auto& command : commands)
        std::cerr << "  kvr " << command.name << ' ' << command.usage << '\n';
    return kvr::ExitUsage;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    for (const auto& command : commands) {
        if (std::strcmp(argv[1], command.name) != 0)
            continue;
        return kv::runProgram([&] { return command.run(kvr::Args(argv + 2, argv + argc)); },
                              kvr::printError, kvr::ExitFailure);
    }
    std::cerr << "Commande inconnue : " << argv[1] << '\n';
    return usage();
}
