#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/HostPlatform.h"
#include "platform/WindowClassListener.h"
#include "tests/support/FaultPlatform.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

class EnvGuard {
  public:
    explicit EnvGuard(const char* name) : name_(name) {
        if (const char* v = getenv(name)) old_ = v;
    }
    ~EnvGuard() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

class HostShell : public testing::Test {
  protected:
    test::TempDrives drives;
    Platform& p = hostPlatform();
    std::string c = drives.root('C');

    // Waits for a file that a started program writes (it runs detached).
    bool appears(const std::string& host) {
        for (int i = 0; i < 500; ++i) {
            if (fs::exists(host) && fs::file_size(host) > 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
};

TEST_F(HostShell, AnExecutableIsStartedInTheGivenFolder) {
    drives.writeFile("C:\\Prog\\run.sh", "#!/bin/sh\npwd > started.txt\n");
    chmod(drives.hostPath("C:\\Prog\\run.sh").c_str(), 0755);
    drives.makeFolder("C:\\Work");
    EXPECT_EQ(p.openDocument("C:\\prog\\RUN.sh", "C:\\Work"), 42);
    ASSERT_TRUE(appears(c + "/Work/started.txt"));
    EXPECT_EQ(drives.readFile("C:\\Work\\started.txt"), fs::canonical(c + "/Work").string() + "\n");
}

TEST_F(HostShell, ADocumentGoesToTheOpener) {
    EnvGuard guard("KORVELT_OPENER");
    drives.writeFile("C:\\Help\\index.htm", "<html>");
    drives.writeFile("C:\\opener.sh",
                     "#!/bin/sh\necho \"$1\" > \"$(dirname \"$0\")/opened.txt\"\n");
    chmod(drives.hostPath("C:\\opener.sh").c_str(), 0755);
    setenv("KORVELT_OPENER", drives.hostPath("C:\\opener.sh").c_str(), 1);
    // A name without a drive is taken in the folder.
    EXPECT_EQ(p.openDocument("index.htm", "C:\\HELP"), 42);
    ASSERT_TRUE(appears(c + "/opened.txt"));
    EXPECT_EQ(drives.readFile("C:\\opened.txt"), c + "/Help/index.htm\n");
}

TEST_F(HostShell, FailuresGiveTheShellCodes) {
    EnvGuard guard("KORVELT_OPENER");
    EnvGuard path("PATH");
    drives.writeFile("C:\\Help\\index.htm", "<html>");
    EXPECT_EQ(p.openDocument("absent.htm", "C:\\Help"), 2);
    EXPECT_EQ(p.openDocument("index.htm", "C:\\NoHelp"), 3);
    EXPECT_EQ(p.openDocument("C:\\NoHelp\\index.htm", ""), 3);
    EXPECT_EQ(p.openDocument("C:\\Help\\absent.htm", ""), 2);
    unsetenv("KORVELT_OPENER");
    setenv("PATH", "/nonexistent", 1);
    EXPECT_EQ(p.openDocument("index.htm", "C:\\Help"), 31);  // nothing to open it with
}

TEST_F(HostShell, ShortcutIsADesktopEntryThatStartsTheTarget) {
    drives.writeFile("C:\\Program Files\\Vantrel.exe", "");
    ASSERT_TRUE(p.writeShortcut("C:\\Program Files\\Vantrel.exe",
                                "C:\\Autostart\\Automate de Korvelt.lnk"));
    const std::string entry = drives.readFile("C:\\Autostart\\Automate de Korvelt.lnk");
    EXPECT_EQ(entry, "[Desktop Entry]\nType=Application\nName=Automate de Korvelt\nExec=\"" + c +
                         "/Program Files/Vantrel.exe\"\n");
    // Characters the shell quoting and the entry's string syntax both care about.
    drives.writeFile("C:\\100% $x\\a.exe", "");
    ASSERT_TRUE(p.writeShortcut("C:\\100% $x\\a.exe", "C:\\s.lnk"));
    EXPECT_NE(drives.readFile("C:\\s.lnk").find("Exec=\"" + c + "/100%% \\\\$x/a.exe\"\n"),
              std::string::npos);
    EXPECT_FALSE(p.writeShortcut("C:\\x.exe", "Q:\\a.lnk"));
}

TEST_F(HostShell, ShellFoldersFollowTheDesktopsConventions) {
    EnvGuard config("XDG_CONFIG_HOME");
    EnvGuard home("HOME");
    setenv("XDG_CONFIG_HOME", (c + "/cfg").c_str(), 1);
    setenv("HOME", (c + "/home").c_str(), 1);
    EXPECT_EQ(p.shellFolder("STARTUP"), "C:\\cfg\\autostart");
    EXPECT_EQ(p.shellFolder("startup"), "C:\\cfg\\autostart");
    EXPECT_EQ(p.shellFolder("AppData"), "C:\\cfg");
    EXPECT_EQ(p.shellFolder("Personal"), "C:\\home");
    EXPECT_EQ(p.shellFolder("DESKTOP"), "C:\\home\\Desktop");
    EXPECT_EQ(p.shellFolder("Fonts"), "");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(p.shellFolder("STARTUP"), "C:\\home\\.config\\autostart");
}

TEST_F(HostShell, DisplayNamesOfFiles) {
    drives.writeFile("C:\\Docs\\Lettre.DOC", "x");
    EXPECT_EQ(p.displayName("C:\\docs\\lettre.doc"), "Lettre.DOC");
    EXPECT_EQ(p.displayName("C:\\DOCS"), "Docs");
    EXPECT_EQ(p.displayName("C:\\none"), "");
}

TEST(WindowClass, FindAndCloseReachTheListener) {
    const std::string name = "TFormTest" + std::to_string(getpid());
    Platform& p = hostPlatform();
    EXPECT_FALSE(p.findWindowClass(name));
    EXPECT_FALSE(p.closeWindowClass(name));
    WindowClassListener listener(name);
    ASSERT_TRUE(listener.listening());
    EXPECT_FALSE(WindowClassListener(name).listening());  // the class has one owner

    EXPECT_TRUE(p.findWindowClass(name));
    pollfd pfd{listener.fd(), POLLIN, 0};
    ASSERT_EQ(poll(&pfd, 1, 5000), 1);
    EXPECT_FALSE(listener.takeCloseRequest());  // looking is not asking to close

    bool closed = false;
    std::thread owner([&] {
        pollfd q{listener.fd(), POLLIN, 0};
        if (poll(&q, 1, 5000) == 1) closed = listener.takeCloseRequest();
    });
    EXPECT_TRUE(p.closeWindowClass(name));
    owner.join();
    EXPECT_TRUE(closed);
}

}  // namespace
}  // namespace kv
