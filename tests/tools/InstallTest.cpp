// `make install` into a temporary DESTDIR: the program folder, the launchers,
// the desktop entry (checked by desktop-file-validate), the icon theme files,
// and the type of .kvr archives as the desktop's own tools see it
// (update-mime-database, xdg-mime) with XDG_DATA_DIRS on the staged prefix.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/ArchiveFormat.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Standard output of a shell command; its exit status in status.
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
    status = pclose(pipe);
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

class Install : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        const char* bin = std::getenv("KORVELT_BIN");
        ASSERT_NE(bin, nullptr);
        build_ = fs::path(bin).parent_path();
        dest_ = fs::temp_directory_path() / ("kv-install-" + std::to_string(::getpid()));
        fs::remove_all(dest_);
        int status = -1;
        const std::string log = run("DESTDIR='" + dest_.string() + "' cmake --install '" +
                                        build_.string() + "' --prefix /opt/korvelt",
                                    status);
        ASSERT_EQ(status, 0) << log;
        prefix_ = dest_ / "opt" / "korvelt";
    }
    static void TearDownTestSuite() { fs::remove_all(dest_); }

    // A shell command run with the desktop's data and settings on the staged
    // prefix and in the test's own folders only.
    static std::string desktop(const std::string& command, int& status) {
        const std::string home = (dest_ / "home").string();
        fs::create_directories(home);
        return run("HOME='" + home + "' XDG_CONFIG_HOME='" + home + "/.config' XDG_DATA_HOME='" +
                       home + "/.local/share' XDG_CONFIG_DIRS='" + home +
                       "/xdg' XDG_CURRENT_DESKTOP= XDG_DATA_DIRS='" + (prefix_ / "share").string() +
                       "' " + command,
                   status);
    }

    static inline fs::path build_, dest_, prefix_;
};

TEST_F(Install, PutsTheProgramFolderUnderThePrefixWithLaunchersOnThePath) {
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
}

TEST_F(Install, TheDesktopEntryValidatesAndStartsTheInstalledProgram) {
    const fs::path entry = prefix_ / "share" / "applications" / "korvelt.desktop";
    const std::string text = slurp(entry);
    EXPECT_NE(text.find("\nName=Korvelt\n"), std::string::npos);
    EXPECT_NE(text.find("\nComment=Sauvegarder ses documents"), std::string::npos);
    EXPECT_NE(text.find("\nExec=\"/opt/korvelt/lib/korvelt/Korvelt\" %f\n"), std::string::npos);
    EXPECT_NE(text.find("\nCategories=Utility;Archiving;\n"), std::string::npos);
    EXPECT_NE(text.find("\nMimeType=application/x-korvelt-archive;\n"), std::string::npos);
    EXPECT_NE(text.find("\nIcon=korvelt\n"), std::string::npos);
    int status = -1;
    const std::string out = run("desktop-file-validate '" + entry.string() + "'", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, "");
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

TEST_F(Install, ArchivesAreKnownByNameAndByHeaderAndOpenWithKorvelt) {
    int status = -1;
    std::string out =
        run("update-mime-database '" + (prefix_ / "share" / "mime").string() + "'", status);
    ASSERT_EQ(status, 0) << out;
    out = run("update-desktop-database '" + (prefix_ / "share" / "applications").string() + "'",
              status);
    ASSERT_EQ(status, 0) << out;

    // An empty archive: the header alone, here without its .kvr name too.
    std::string header = std::string("\x11") + "[File Korvelt V1]";
    header.resize(kv::format::HeaderSize, '\0');
    std::ofstream(dest_ / "Sauvegarde.kvr", std::ios::binary) << header;
    std::ofstream(dest_ / "sans-extension", std::ios::binary) << header;
    std::ofstream(dest_ / "texte.txt") << "du texte\n";
    for (const char* name : {"Sauvegarde.kvr", "sans-extension"})
        EXPECT_EQ(
            trimmed(desktop("xdg-mime query filetype '" + (dest_ / name).string() + "'", status)),
            "application/x-korvelt-archive")
            << name;
    EXPECT_NE(trimmed(desktop("xdg-mime query filetype '" + (dest_ / "texte.txt").string() + "'",
                              status)),
              "application/x-korvelt-archive");

    EXPECT_EQ(trimmed(desktop("xdg-mime query default application/x-korvelt-archive", status)),
              "korvelt.desktop");
    const std::string types =
        slurp(prefix_ / "share" / "mime" / "application" / "x-korvelt-archive.xml");
    EXPECT_NE(types.find("Archive Korvelt"), std::string::npos);
    EXPECT_NE(types.find("Korvelt archive"), std::string::npos);
}

}  // namespace
