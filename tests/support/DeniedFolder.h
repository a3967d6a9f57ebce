#pragma once
// A folder the test process may not read, as the host denies another user's:
//   test::DeniedFolder secret(drives.hostPath("C:\\Root\\Secret"));
// The folder gets mode 000 for the scope. Modes do not stop root, so a test
// run as root becomes the user "nobody" (effective ids) for the scope, and the
// folders above the denied one are opened to others for reading where they
// are not. The code under test may then only read: "nobody" owns nothing in
// the test tree.

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kv::test {

class DeniedFolder {
  public:
    explicit DeniedFolder(const std::string& hostFolder) : folder_(hostFolder) {
        namespace fs = std::filesystem;
        if (::geteuid() == 0) {
            for (fs::path up = fs::path(hostFolder).parent_path(); up.has_relative_path();
                 up = up.parent_path()) {
                struct stat st;
                if (::stat(up.c_str(), &st) != 0) break;
                if ((st.st_mode & 0005) == 0005) continue;
                opened_.push_back({up.string(), st.st_mode & 07777});
                ::chmod(up.c_str(), (st.st_mode & 07777) | 0005);
            }
        }
        ::chmod(hostFolder.c_str(), 0);
        if (::geteuid() == 0) dropped_ = ::setegid(Nobody) == 0 && ::seteuid(Nobody) == 0;
    }
    ~DeniedFolder() {
        if (dropped_) {
            (void)::seteuid(0);
            (void)::setegid(0);
        }
        ::chmod(folder_.c_str(), 0755);
        for (const Opened& o : opened_) ::chmod(o.path.c_str(), o.mode);
    }
    DeniedFolder(const DeniedFolder&) = delete;
    DeniedFolder& operator=(const DeniedFolder&) = delete;

  private:
    static constexpr uid_t Nobody = 65534;
    struct Opened {
        std::string path;
        mode_t mode;
    };
    std::string folder_;
    std::vector<Opened> opened_;
    bool dropped_ = false;
};

}  // namespace kv::test
