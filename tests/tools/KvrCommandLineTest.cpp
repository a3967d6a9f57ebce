// kvr as a command-line user meets it: help and version, host paths and
// folders given to update, the listing for scripts (quoted fields, JSON) and
// for terminals (no control character raw), a failed write to standard
// output, paths named as typed, and the progress line on a terminal.

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "tests/tools/KvrFixture.h"
#include "tools/kvr/ProgressLine.h"

namespace kv::test {
namespace {

class KvrCommandLine : public KvrFixture {
  protected:
    // kvr in a shell command line of the test's own (redirections, pipes),
    // from the test folder; "KVR" in it stands for the program.
    Outcome shell(std::string line) const {
        const std::string kvr = quote((bin_ / "kvr").string());
        for (std::size_t at; (at = line.find("KVR")) != std::string::npos;)
            line.replace(at, 3, environment() + " " + kvr);
        put("command.sh", line + "\n");
        return run("/bin/sh", "command.sh");
    }

    // Entries whose names hold what a terminal or a line-based reader trips on.
    void writeAwkwardArchive() const {
        writeArchive("a.kvr",
                     {Entry("plain.txt", "un"), Entry("semi;colon \"q\".txt", "deux"),
                      Entry("two\nlines.txt", "trois"), Entry("esc\x1b]0;pwned\x07.txt", "quatre"),
                      Entry("c1\xC2\x9B"
                            "2J.txt",
                            "cinq")});
    }
};

TEST_F(KvrCommandLine, HelpAndVersionGoToStandardOutputWithStatusZero) {
    for (const char* arguments : {"--help", "-h", "help"}) {
        SCOPED_TRACE(arguments);
        const Outcome o = kvr(arguments);
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.err, "");
        EXPECT_EQ(o.out.rfind("Usage : kvr [-q] COMMANDE ARGUMENTS...\n", 0), 0u) << o.out;
        for (const char* command : {"list", "test", "update", "comment", "extract", "sfx"})
            EXPECT_NE(o.out.find(std::string("\n  ") + command), std::string::npos) << command;
        EXPECT_NE(o.out.find("Codes de sortie : 0"), std::string::npos);
    }
    // Each command's own help, asked in every way, even with other arguments.
    for (const char* arguments :
         {"list --help", "test -h", "update a.kvr Docs --help", "comment -h", "extract --help",
          "sfx -h", "help update", "-q update --help"}) {
        SCOPED_TRACE(arguments);
        const Outcome o = kvr(arguments);
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.err, "");
        std::istringstream words(arguments);
        std::string command;
        while (words >> command && (command == "help" || command == "-q")) {
        }
        EXPECT_EQ(o.out.rfind("Usage : kvr " + command + " ", 0), 0u) << o.out;
    }
    EXPECT_FALSE(exists("a.kvr"));

    const Outcome version = kvr("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "kvr (Korvelt) 3.00\n");

    // Mistakes still go to standard error with status 2.
    for (const char* arguments : {"", "frobnicate", "list", "list --jsn a.kvr", "update"}) {
        SCOPED_TRACE(arguments);
        const Outcome o = kvr(arguments);
        EXPECT_EQ(o.status, 2);
        EXPECT_EQ(o.out, "");
        EXPECT_NE(o.err.find("Usage : kvr"), std::string::npos) << o.err;
    }
}

TEST_F(KvrCommandLine, UpdateTakesHostPathsAndWholeFolders) {
    put("home/Documents/lettre.txt", "chère Jeanne");
    put("home/Documents/Projets/plan.txt", "le plan");
    put("home/Documents/.cache/vignette", "cache");
    put("home/notes.txt", "notes");
    // "~" is the shell's: the test's own HOME for the one command.
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    setenv("HOME", (root_ / "home").c_str(), 1);
    const Outcome o = kvr("update A.kvr ~/Documents home/notes.txt");
    setenv("HOME", savedHome.c_str(), 1);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.lastErrLine(), counts(3, 0, 0));
    // The folder with its subfolders; hidden folders are not walked.
    EXPECT_EQ(listed("A.kvr"), (std::vector<std::string>{"lettre.txt", "plan.txt", "notes.txt"}));

    // A path that names nothing is said as typed and counted; the rest is done.
    put("home/Documents/nouveau.txt", "neuf");
    const Outcome missing = kvr("update A.kvr home/Documents home/absent.txt");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Le fichier ou le dossier < home/absent.txt > n'existe pas.\n"),
              std::string::npos)
        << missing.err;
    EXPECT_EQ(missing.lastErrLine(), counts(4, 0, 1));
    EXPECT_EQ(listed("A.kvr").size(), 4u);

    // "--" ends the options: a name may start with a dash.
    put("-moins.txt", "tiret");
    EXPECT_EQ(kvr("update A.kvr -- -moins.txt").status, 0);
    EXPECT_EQ(listed("A.kvr").back(), "-moins.txt");
}

TEST_F(KvrCommandLine, ListQuotesFieldsAndShowsNoControlCharacterRaw) {
    writeAwkwardArchive();
    const Outcome o = kvr("list a.kvr");
    EXPECT_EQ(o.status, 0) << o.err;
    // One line per entry, whatever the names hold; nothing a terminal obeys.
    EXPECT_EQ(std::count(o.out.begin(), o.out.end(), '\n'), 5);
    for (char c : o.out) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);
    EXPECT_EQ(o.out.find("\xC2\x9B"), std::string::npos);
    // The name and what follows, up to the compressed size; then the date and type.
    const char* starts[] = {"plain.txt;K:\\Docs\\;2;", "\"semi;colon \"\"q\"\".txt\";K:\\Docs\\;4;",
                            "two\\x0Alines.txt;K:\\Docs\\;5;",
                            "\"esc\\x1B]0;pwned\\x07.txt\";K:\\Docs\\;6;",
                            "c1\\u009B2J.txt;K:\\Docs\\;4;"};
    std::istringstream lines(o.out);
    for (const char* start : starts) {
        std::string line;
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_EQ(line.rfind(start, 0), 0u) << line;
        EXPECT_NE(line.find(";01/01/2025 00:00;Document;"), std::string::npos) << line;
    }
}

TEST_F(KvrCommandLine, ListAsJsonReadsBackInPythonWithTheNamesExact) {
    writeAwkwardArchive();
    // Python prints each name as hexadecimal UTF-8, then the other fields.
    const Outcome o = shell(
        "KVR list --json a.kvr | python3 -c '"
        "import json, sys\n"
        "for e in json.load(sys.stdin):\n"
        "    print(e[\"FileName\"].encode().hex(), e[\"Folder\"], e[\"FileSize\"], "
        "e[\"CompressedSize\"] > 0, e[\"FileDate\"], e[\"TypeName\"], e[\"Offset\"] >= 102)'");
    EXPECT_EQ(o.status, 0) << o.err;
    const auto hex = [](const std::string& text) {
        std::string out;
        for (unsigned char c : text) {
            out += "0123456789abcdef"[c >> 4];
            out += "0123456789abcdef"[c & 15];
        }
        return out;
    };
    std::string expected;
    const std::pair<const char*, int> entries[] = {{"plain.txt", 2},
                                                   {"semi;colon \"q\".txt", 4},
                                                   {"two\nlines.txt", 5},
                                                   {"esc\x1b]0;pwned\x07.txt", 6},
                                                   {"c1\xC2\x9B"
                                                    "2J.txt",
                                                    4}};
    for (const auto& [name, size] : entries)
        expected += hex(name) + " K:\\Docs\\ " + std::to_string(size) +
                    " True 2025-01-01T00:00:00 Document True\n";
    EXPECT_EQ(o.out, expected);

    // An empty archive is an empty array.
    writeArchive("vide.kvr", {});
    EXPECT_EQ(kvr("list --json vide.kvr").out, "[]\n");
}

TEST_F(KvrCommandLine, AFailedWriteToStandardOutputIsAFailure) {
    writeArchive("a.kvr", {Entry("a.txt", "alpha"), Entry("b.txt", "beta")});
    for (const char* command : {"list", "test", "list --json"}) {
        SCOPED_TRACE(command);
        const Outcome o = shell(std::string("KVR ") + command + " a.kvr >/dev/full");
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.err, "Erreur d'écriture sur la sortie standard : le disque est plein.\n");
    }
    EXPECT_EQ(shell("KVR --help >/dev/full").status, 1);
    // Written whole, the same commands succeed.
    EXPECT_EQ(shell("KVR test a.kvr >/dev/null").status, 0);
}

TEST_F(KvrCommandLine, ErrorsNameThePathsAsTyped) {
    EXPECT_EQ(kvr("list absent.kvr").err, "Le fichier < absent.kvr > n'existe pas.\n");
    EXPECT_EQ(kvr("test Docs/../absent.kvr").err,
              "Le fichier < Docs/../absent.kvr > n'existe pas.\n");
    EXPECT_EQ(kvr("extract " + quote((root_ / "nulle.kvr").string()) + " --to Docs").err,
              "Le fichier < " + (root_ / "nulle.kvr").string() + " > n'existe pas.\n");
    // A Windows path stays as typed too.
    EXPECT_EQ(kvr("list 'K:\\absent.kvr'").err, "Le fichier < K:\\absent.kvr > n'existe pas.\n");
}

TEST_F(KvrCommandLine, AProgressLineOnATerminalOnly) {
    put("Docs/a.txt", std::string(300000, 'a'));
    put("Docs/b.txt", std::string(200000, 'b'));
    // script(1) gives kvr a terminal; its standard error lands in the typescript.
    const auto onTerminal = [&](const std::string& arguments) {
        put("command.sh",
            environment() + " " + quote((bin_ / "kvr").string()) + " " + arguments + "\n");
        return run("script", "-qefc 'sh command.sh' /dev/null").out;
    };
    const std::string shown = onTerminal("update A.kvr Docs");
    EXPECT_NE(shown.find("\r0/2 fichiers  0,00 Ko/500,00 Ko\x1b[K"), std::string::npos) << shown;
    // Erased before the last line.
    EXPECT_NE(shown.find("\r\x1b[KFichiers archivés : 2,"), std::string::npos) << shown;

    const std::string quiet = onTerminal("update -q A.kvr Docs");
    EXPECT_EQ(quiet.find("fichiers "), std::string::npos) << quiet;
    EXPECT_NE(quiet.find("Fichiers archivés : 2,"), std::string::npos) << quiet;
    EXPECT_EQ(onTerminal("-q test A.kvr").find("\x1b[K"), std::string::npos);
    EXPECT_NE(onTerminal("test A.kvr").find(" fichiers  "), std::string::npos);

    // Not a terminal: nothing but the messages.
    const Outcome plain = kvr("update A.kvr Docs");
    EXPECT_EQ(plain.err, counts(2, 0, 0) + "\n");
}

}  // namespace
}  // namespace kv::test
