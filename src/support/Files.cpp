#include "support/Files.h"
#include "support/Translate.h"

#include "support/PlatformError.h"

#include <cerrno>
#include <cstdlib>
#include <glib.h>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tarn::files {

namespace {

const char* const kWrite = N_("Could not write “%1”: %2");
const char* const kRead = N_("Could not read “%1”: %2");
const char* const kCreateFolder = N_("Could not create the folder “%1”: %2");

// `pattern` names the path as %1 and the system's reason as %2.
[[noreturn]] void fail(const char* pattern, const fs::path& path, int error) {
    throw PlatformError(tr::format(_(pattern), {path.string(), std::strerror(error)}), error);
}

// Follows a chain of symbolic links to the path that finally holds the data (which may not exist yet).
fs::path resolveLinks(fs::path path) {
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
        fs::path target = fs::read_symlink(path, ec);
        if (ec) return path;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    fail(kWrite, path, ELOOP);
}

mode_t defaultFileMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { if (fd_ >= 0) ::close(fd_); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    int release() { int fd = fd_; fd_ = -1; return fd; }

private:
    int fd_;
};

}  // namespace

void writeAtomically(const fs::path& requested, std::string_view contents) {
    const fs::path target = resolveLinks(requested);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");

    mode_t mode = defaultFileMode();
    struct stat existing {};
    bool replacing = ::stat(target.c_str(), &existing) == 0;
    if (replacing) {
        if (S_ISDIR(existing.st_mode)) fail(kWrite, target, EISDIR);
        mode = existing.st_mode & 07777;
    }

    std::string pattern = (folder / ("." + target.filename().string() + ".tarn-XXXXXX")).string();
    FileDescriptor fd(::mkstemp(pattern.data()));
    if (fd.get() < 0) fail(kWrite, target, errno);
    const fs::path temp = pattern;

    auto abandon = [&](int error) {
        ::close(fd.release());
        ::unlink(temp.c_str());
        fail(kWrite, target, error);
    };

    const char* data = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        ssize_t n = ::write(fd.get(), data, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            abandon(errno);
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fchmod(fd.get(), mode) != 0) abandon(errno);
    if (replacing && (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())) {
        // Keep the owner where we may (as root); elsewhere the new file is ours, as any editor's would be.
        if (::fchown(fd.get(), existing.st_uid, existing.st_gid) != 0 && errno != EPERM) abandon(errno);
    }
    if (::fsync(fd.get()) != 0) abandon(errno);
    if (::close(fd.release()) != 0) {
        int error = errno;
        ::unlink(temp.c_str());
        fail(kWrite, target, error);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        int error = errno;
        ::unlink(temp.c_str());
        fail(kWrite, target, error);
    }
    // Make the rename itself durable.
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

std::string readFile(const fs::path& path, std::size_t limit) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) fail(kRead, path, errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) fail(kRead, path, errno);
    if (S_ISDIR(st.st_mode)) fail(kRead, path, EISDIR);
    if (static_cast<std::size_t>(st.st_size) > limit) {
        throw PlatformError(tr::format(_("Could not read “%1”: the file is larger than %2 MB."),
                                       {path.string(), std::to_string(limit / (1024 * 1024))}));
    }
    std::string out;
    out.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    while (true) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(kRead, path, errno);
        }
        if (n == 0) break;
        out.append(buffer, static_cast<std::size_t>(n));
        if (out.size() > limit) {
            throw PlatformError(tr::format(_("Could not read “%1”: the file is too large."), {path.string()}));
        }
    }
    return out;
}

std::filesystem::path userFolder(const char* variable, const char* fallback) {
    const char* base = std::getenv(variable);
    if (base && *base && std::filesystem::path(base).is_absolute()) return std::filesystem::path(base) / "tarn";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : g_get_home_dir()) / fallback / "tarn";
}

void createDirectories(const fs::path& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec) throw PlatformError(tr::format(_(kCreateFolder), {path.string(), ec.message()}), ec.value());
    if (!fs::is_directory(path, ec)) fail(kCreateFolder, path, ENOTDIR);
}

bool exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace tarn::files
