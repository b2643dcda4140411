#include "base/atomic_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/temporary_names.h"

namespace kl::settings {
namespace {

bool writeAll(int fd, std::string_view content) {
    const char* p = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// The rename is only durable once the folder entry itself is on disk.
void syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Like mkstemp, a name nobody else has (O_EXCL), but with the mode any new
// file gets, 0666 less the umask: mkstemp's 0600 would leave a drawing or
// a GeoJSON that others sharing the folder cannot open.
int createTemporary(const std::filesystem::path& target, std::string& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = platform::temporarySibling(target.string());
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Names the file as the caller gave it: a tool writing two files, or a
// message read later, must say which one failed.
std::string failureText(const std::filesystem::path& path, const char* what) {
    return "Nie udalo sie zapisac pliku " + path.string() + " (" + what + ")";
}

FileWriteResult failure(const std::filesystem::path& temp, const std::filesystem::path& path, const char* what) {
    std::error_code ec;
    std::filesystem::remove(temp, ec);
    return {false, failureText(path, what)};
}

}  // namespace

FileWriteResult replaceFileAtomically(const std::filesystem::path& path, std::string_view content) {
    // A symlinked file is the user's arrangement: the file it points to is
    // replaced, and the link stays.
    std::error_code statusError, linkError;
    const bool linked = std::filesystem::is_symlink(std::filesystem::symlink_status(path, statusError));
    const std::filesystem::path target = linked ? std::filesystem::weakly_canonical(path, linkError) : path;
    if (linkError) return {false, failureText(path, "nie mozna ustalic celu dowiazania")};
    const auto folder = target.parent_path();
    std::string pattern;
    const int fd = createTemporary(target, pattern);
    if (fd < 0) return {false, failureText(path, "tworzenie pliku tymczasowego")};
    const std::filesystem::path temp(pattern);
    // A file that is replaced keeps its own permissions.
    struct stat old{};
    if (::stat(target.c_str(), &old) == 0 && ::fchmod(fd, old.st_mode & 07777) != 0) {
        ::close(fd);
        return failure(temp, path, "uprawnienia");
    }
    const bool written = writeAll(fd, content);
    const bool synced = written && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written) return failure(temp, path, "zapis");
    if (!synced || !closed) return failure(temp, path, "zrzut na dysk");
    if (::rename(temp.c_str(), target.c_str()) != 0) return failure(temp, path, "zamiana pliku");
    syncFolder(folder);
    return {true, {}};
}

}  // namespace kl::settings
