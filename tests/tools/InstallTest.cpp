// `make install` as a package build does it: staged into DESTDIR with a
// prefix of the test's own, then reached at the prefix through a link (as a
// package install would put it there). Checked with the desktop's own tools:
// the program folder and launchers, the desktop entry (desktop-file-validate,
// and opened through xdg-open's generic mode and gio), the icon theme, the
// archive type (xdg-mime) with no step by hand, the manual pages (man -l),
// the completion, the AppStream metadata (appstreamcli validate); then the
// installed programs run by an ordinary user keep their settings and journal
// in that user's XDG folders; and `make uninstall` leaves the prefix empty.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "engine/ArchiveFormat.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string quote(const std::string& text) {
    return "'" + text + "'";
}

// Standard output and error of a shell command; its exit status in status.
std::string run(const std::string& command, int& status) {
    std::string out;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) {
        status = -1;
        return out;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int raw = pclose(pipe);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

// Width and height of a PNG file, from its IHDR chunk.
std::pair<int, int> pngSize(const fs::path& path) {
    const std::string bytes = slurp(path);
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return {0, 0};
    auto be32 = [&](size_t at) {
        return (uint8_t(bytes[at]) << 24) | (uint8_t(bytes[at + 1]) << 16) |
               (uint8_t(bytes[at + 2]) << 8) | uint8_t(bytes[at + 3]);
    };
    return {int(be32(16)), int(be32(20))};
}

// Every file and link below a folder, as paths relative to it.
std::vector<std::string> filesBelow(const fs::path& folder) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& e : fs::recursive_directory_iterator(folder, error))
        if (!e.is_directory() || e.is_symlink()) files.push_back(fs::relative(e.path(), folder));
    std::sort(files.begin(), files.end());
    return files;
}

class Install : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        const char* bin = std::getenv("KORVELT_BIN");
        ASSERT_NE(bin, nullptr);
        build_ = fs::path(bin).parent_path();
        base_ = fs::temp_directory_path() / ("kv-install-" + std::to_string(::getpid()));
        fs::remove_all(base_);
        fs::create_directories(base_);
        fs::permissions(base_, fs::perms::owner_all | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read |
                                   fs::perms::others_exec);
        stage_ = base_ / "stage";
        prefix_ = base_ / "usr";
        // The build's own manifest (a real install's) comes back at the end.
        manifest_ = build_ / "install_manifest.txt";
        if (fs::exists(manifest_)) savedManifest_ = slurp(manifest_);
        int status = -1;
        const std::string log =
            run("DESTDIR=" + quote(stage_.string()) + " cmake --install " + quote(build_.string()) +
                    " --prefix " + quote(prefix_.string()),
                status);
        ASSERT_EQ(status, 0) << log;
        staged_ = fs::path(stage_.string() + prefix_.string());
        fs::create_directory_symlink(staged_, prefix_);
    }
    static void TearDownTestSuite() {
        if (savedManifest_)
            write(manifest_, *savedManifest_);
        else
            fs::remove(manifest_);
        std::error_code ignored;
        for (const auto& e : fs::recursive_directory_iterator(base_, ignored))
            if (!e.is_symlink())
                fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(base_, ignored);
    }

    // The environment of a desktop session whose data come from the prefix
    // only, with the test's own home.
    static std::string desktop() {
        const std::string home = (base_ / "root-home").string();
        fs::create_directories(home);
        return "HOME=" + quote(home) + " XDG_CONFIG_HOME=" + quote(home + "/.config") +
               " XDG_DATA_HOME=" + quote(home + "/.local/share") +
               " XDG_CONFIG_DIRS=" + quote(home + "/xdg") +
               " XDG_CURRENT_DESKTOP= XDG_DATA_DIRS=" + quote((prefix_ / "share").string()) + " ";
    }

    // An empty archive: the header alone.
    static std::string emptyArchive() {
        std::string header = std::string("\x11") + "[File Korvelt V1]";
        header.resize(kv::format::HeaderSize, '\0');
        return header;
    }

    static inline fs::path build_, base_, stage_, prefix_, staged_, manifest_;
    static inline std::optional<std::string> savedManifest_;
};

TEST_F(Install, StagesEverythingUnderDestdir) {
    // Nothing went to the prefix itself: it is only the link made afterwards.
    EXPECT_TRUE(fs::is_symlink(prefix_));
    const fs::path folder = prefix_ / "lib" / "korvelt";
    for (const char* program : {"Korvelt", "kvr", "sfx.bin", "Vantrel.exe"}) {
        const fs::path path = folder / program;
        ASSERT_TRUE(fs::is_regular_file(path)) << path;
        EXPECT_NE(fs::status(path).permissions() & fs::perms::owner_exec, fs::perms::none);
    }
    for (const char* page : {"index.htm", "addfile.htm", "restaure.htm", "option.htm", "search.htm",
                             "printarch.htm", "korvelt.css", "images/korvelt.png"})
        EXPECT_TRUE(fs::is_regular_file(folder / "Help" / page)) << page;
    EXPECT_EQ(fs::read_symlink(prefix_ / "bin" / "korvelt"), "../lib/korvelt/Korvelt");
    EXPECT_TRUE(fs::is_regular_file(prefix_ / "bin" / "korvelt"));
    EXPECT_TRUE(fs::is_regular_file(prefix_ / "bin" / "kvr"));
    // Nothing the program writes at run time (settings, scripts) is installed.
    EXPECT_FALSE(fs::exists(folder / "Korvelt.cfg"));
    EXPECT_FALSE(fs::exists(folder / "Script"));
    // The caches were made for the prefix by the install itself.
    EXPECT_TRUE(fs::is_regular_file(prefix_ / "share" / "mime" / "mime.cache"));
    EXPECT_TRUE(fs::is_regular_file(prefix_ / "share" / "applications" / "mimeinfo.cache"));
    EXPECT_TRUE(fs::is_regular_file(prefix_ / "share" / "icons" / "hicolor" / "icon-theme.cache"));
}

TEST_F(Install, TheDesktopEntryValidatesAndOpensArchivesWithXdgOpenAndGio) {
    const fs::path entry = prefix_ / "share" / "applications" / "korvelt.desktop";
    const std::string program = (prefix_ / "lib" / "korvelt" / "Korvelt").string();
    const std::string text = slurp(entry);
    EXPECT_NE(text.find("\nName=Korvelt\n"), std::string::npos);
    EXPECT_NE(text.find("\nComment=Sauvegarder ses documents"), std::string::npos);
    // Unquoted: xdg-open's generic mode takes the first word, quotes and all.
    EXPECT_NE(text.find("\nExec=" + program + " %f\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nCategories=Utility;Archiving;\n"), std::string::npos);
    EXPECT_NE(text.find("\nMimeType=application/x-korvelt-archive;\n"), std::string::npos);
    EXPECT_NE(text.find("\nIcon=korvelt\n"), std::string::npos);
    int status = -1;
    std::string out = run("desktop-file-validate " + quote(entry.string()), status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, "");

    // The program the entry names, stood in for by one that writes down its
    // arguments, is what both openers start, with the archive.
    const fs::path archive = base_ / "une sauvegarde.kvr";
    write(archive, emptyArchive());
    const fs::path opened = base_ / "opened.txt";
    const fs::path real = base_ / "Korvelt.real";
    fs::rename(program, real);
    write(program, "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > " + quote(opened.string()) + "\n");
    fs::permissions(program, fs::perms::owner_all);
    const auto openedBy = [&](const std::string& opener) {
        fs::remove(opened);
        int ignored = 0;
        const std::string log = run(desktop() + opener + " " + quote(archive.string()), ignored);
        for (int i = 0; i < 200 && !fs::exists(opened); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return slurp(opened) + log;
    };
    const std::string expected = program + "\n" + archive.string() + "\n";
    // xdg-open in its generic mode (no desktop named; it wants a display to be set).
    EXPECT_EQ(openedBy("DISPLAY=:0 xdg-open"), expected);
    EXPECT_EQ(openedBy("gio open"), expected);
    fs::remove(program);
    fs::rename(real, program);
}

TEST_F(Install, TheIconThemeGetsTheSvgAndEveryPngSize) {
    const fs::path hicolor = prefix_ / "share" / "icons" / "hicolor";
    EXPECT_NE(slurp(hicolor / "scalable" / "apps" / "korvelt.svg").find("<svg"), std::string::npos);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const fs::path png =
            hicolor / (std::to_string(size) + "x" + std::to_string(size)) / "apps" / "korvelt.png";
        EXPECT_EQ(pngSize(png), std::make_pair(size, size)) << png;
    }
}

TEST_F(Install, ArchivesAreKnownByNameAndByHeaderWithNoStepByHand) {
    write(base_ / "Sauvegarde.kvr", emptyArchive());
    write(base_ / "sans-extension", emptyArchive());
    write(base_ / "texte.txt", "du texte\n");
    int status = -1;
    for (const char* name : {"Sauvegarde.kvr", "sans-extension"})
        EXPECT_EQ(
            trimmed(run(desktop() + "xdg-mime query filetype " + quote((base_ / name).string()),
                        status)),
            "application/x-korvelt-archive")
            << name;
    EXPECT_NE(
        trimmed(run(desktop() + "xdg-mime query filetype " + quote((base_ / "texte.txt").string()),
                    status)),
        "application/x-korvelt-archive");
    EXPECT_EQ(
        trimmed(run(desktop() + "xdg-mime query default application/x-korvelt-archive", status)),
        "korvelt.desktop");
    const std::string types =
        slurp(prefix_ / "share" / "mime" / "application" / "x-korvelt-archive.xml");
    EXPECT_NE(types.find("Archive Korvelt"), std::string::npos);
}

TEST_F(Install, ManualPagesCompletionAndMetadata) {
    const fs::path share = prefix_ / "share";
    int status = -1;
    for (const char* page : {"kvr", "korvelt"}) {
        const std::string out =
            run("MANWIDTH=80 man --warnings -l " +
                    quote((share / "man" / "man1" / (std::string(page) + ".1")).string()),
                status);
        EXPECT_EQ(status, 0) << out;
        EXPECT_NE(out.find("NOM"), std::string::npos) << out;
        EXPECT_NE(out.find("SYNOPSIS"), std::string::npos);
        // groff says nothing about the source.
        EXPECT_EQ(out.find("warning"), std::string::npos) << out;
    }
    EXPECT_NE(run("MANWIDTH=80 man -l " + quote((share / "man/man1/kvr.1").string()), status)
                  .find("CODES DE SORTIE"),
              std::string::npos);

    // bash completes the commands and an update's options.
    const std::string completion = (share / "bash-completion" / "completions" / "kvr").string();
    const std::string out = run(
        "bash -c " + quote("source " + completion +
                           "; COMP_WORDS=(kvr up); COMP_CWORD=1; _kvr; echo \"${COMPREPLY[*]}\";"
                           " COMP_WORDS=(kvr update a.kvr --dr); COMP_CWORD=3; _kvr; echo "
                           "\"${COMPREPLY[*]}\""),
        status);
    EXPECT_EQ(out, "update\n--drop-missing\n");

    const fs::path metainfo = share / "metainfo" / "org.korvelt.korvelt.metainfo.xml";
    const std::string validation =
        run("appstreamcli validate --no-net " + quote(metainfo.string()), status);
    EXPECT_EQ(status, 0) << validation;
    EXPECT_NE(slurp(metainfo).find("<release version=\"3.00\""), std::string::npos);
}

// An ordinary user, for whom the installed program's folder is not theirs to
// write, in a session with no display and no notification bus.
class ForAUser {
  public:
    explicit ForAUser(const fs::path& home, const fs::path& programFolder)
        : home_(home), programs_(programFolder) {
        fs::create_directories(home_);
        if (::geteuid() == 0)
            // The super-user writes everywhere: the programs run as nobody.
            user_ = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
        else
            fs::permissions(programs_, fs::perms::owner_write, fs::perm_options::remove);
        own();
    }
    ~ForAUser() { fs::permissions(programs_, fs::perms::owner_write, fs::perm_options::add); }

    // Gives the user what the test wrote into the home folder.
    void own() const {
        if (user_.empty()) return;
        EXPECT_EQ(::chown(home_.c_str(), 65534, 65534), 0);
        for (const auto& e : fs::recursive_directory_iterator(home_))
            EXPECT_EQ(::lchown(e.path().c_str(), 65534, 65534), 0);
    }

    // A program of the installed program folder, run as the user.
    std::string run(const std::string& command, int& status) const {
        const std::string h = home_.string();
        return ::run(user_ + "env -i PATH=/usr/bin:/bin LANG=C.UTF-8 HOME=" + quote(h) +
                         " XDG_CONFIG_HOME=" + quote(h + "/.config") +
                         " XDG_DATA_HOME=" + quote(h + "/.local/share") +
                         " KORVELT_DRIVES=C=/ QT_QPA_PLATFORM=offscreen"
                         " DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent " +
                         quote(programs_.string()) + "/" + command,
                     status);
    }

  private:
    fs::path home_, programs_;
    std::string user_;
};

// The Windows path of a host path (C: is "/").
std::string windows(const fs::path& host) {
    std::string w = "C:" + host.string();
    for (char& c : w)
        if (c == '/') c = '\\';
    return w;
}

TEST_F(Install, AnOrdinaryUserKeepsSettingsAndJournalInTheirXdgFolders) {
    const fs::path home = base_ / "home";
    const fs::path archive = home / "docs.kvr";
    const fs::path config = home / ".config" / "korvelt";
    const fs::path scripts = home / ".local" / "share" / "korvelt" / "Script";
    write(home / "Documents" / "lettre.txt", "chère Jeanne");
    const ForAUser user(home, prefix_ / "lib" / "korvelt");

    // The scheduler finds no settings yet; the user's folders are made, theirs alone.
    int status = -1;
    std::string out = user.run("Vantrel.exe --status", status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("le fichier AutoSave.cfg est absent"), std::string::npos) << out;
    for (const fs::path& folder : {config, scripts.parent_path()}) {
        ASSERT_TRUE(fs::is_directory(folder)) << folder;
        EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all)
            << folder;
    }

    out = user.run(
        "kvr update " + quote(archive.string()) + " " + quote((home / "Documents").string()),
        status);
    ASSERT_EQ(status, 0) << out;

    // The settings the options dialog writes, planning a run two minutes from now.
    write(scripts / "docs.kvl", windows(home / "Documents") + "\\*.*\r\n");
    const std::time_t planned = (std::time(nullptr) + 120) / 60 * 60;
    std::tm at{};
    localtime_r(&planned, &at);
    char hour[8], now[32];
    std::strftime(hour, sizeof hour, "%H:%M", &at);
    const std::time_t later = planned + 30;
    localtime_r(&later, &at);
    std::strftime(now, sizeof now, "%Y-%m-%d %H:%M:%S", &at);
    write(config / "AutoSave.cfg",
          "[Archive]\r\nAuto_Arch=" + windows(archive) +
              "\r\n[Script]\r\nAuto_Script=" + windows(scripts / "docs.kvl") +
              "\r\n[Execute]\r\nAuto_Exec=1\r\n[Periode]\r\nFJour=0\r\n"
              "[Heure]\r\nFHeure=" +
              hour + "\r\n");
    // The window's settings of an earlier session, read at the start and written back at the end.
    write(config / "Korvelt.cfg", "[Window]\r\nWidthSize=700\r\nHeightSize=500\r\n");
    write(home / "Documents" / "nouveau.txt", "neuf");
    user.own();

    // The scheduler reads the settings there, and the run it makes finds them there too.
    out = user.run("Vantrel.exe --status", status);
    EXPECT_NE(out.find("Prochaine sauvegarde automatique"), std::string::npos) << out;
    out = user.run("Vantrel.exe --once --now " + quote(now), status);
    EXPECT_EQ(status, 0) << out;

    out = user.run("kvr list " + quote(archive.string()), status);
    EXPECT_NE(out.find("nouveau.txt;"), std::string::npos) << out;
    const std::string journal = slurp(scripts / "Journal_AutoSave.txt");
    EXPECT_NE(journal.find("Fin de la sauvegarde automatique : réussie (code 0)"),
              std::string::npos)
        << journal;
    const std::string settings = slurp(config / "Korvelt.cfg");
    EXPECT_NE(settings.find("WidthSize=700\r\nHeightSize=500\r\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("[List]"), std::string::npos) << settings;
    // The program folder got nothing.
    EXPECT_EQ(filesBelow(prefix_ / "lib" / "korvelt"), filesBelow(staged_ / "lib" / "korvelt"));
    EXPECT_FALSE(fs::exists(prefix_ / "lib" / "korvelt" / "Korvelt.cfg"));
    EXPECT_FALSE(fs::exists(prefix_ / "lib" / "korvelt" / "Script"));
}

// Last in the file: the uninstall takes the prefix away from the other tests.
TEST_F(Install, UninstallLeavesThePrefixEmpty) {
    ASSERT_FALSE(filesBelow(staged_).empty());
    const fs::path source = fs::path(KORVELT_DOCS).parent_path();
    int status = -1;
    const std::string log =
        run("make -s -C " + quote(source.string()) + " uninstall BUILD=" + quote(build_.string()) +
                " PREFIX=" + quote(prefix_.string()) + " DESTDIR=" + quote(stage_.string()),
            status);
    ASSERT_EQ(status, 0) << log;
    EXPECT_EQ(filesBelow(staged_), std::vector<std::string>{});
    EXPECT_TRUE(fs::is_directory(staged_));
}

}  // namespace
