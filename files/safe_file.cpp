#include "files/safe_file.h"

#include "base/file_names.h"
#include "base/text_format.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <string>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace orv {

std::string readRefusalMessage(FileRefusal why, const std::string& name, bool bare) {
    const char* format = "cannot read file '%s'";
    switch (why) {
    case FileRefusal::None:
    case FileRefusal::Missing: format = "file '%s' not found"; break;
    case FileRefusal::Folder: format = "'%s' is a folder"; break;
    case FileRefusal::NotRegular: format = "'%s' is not a regular file"; break;
    case FileRefusal::ReadOnly: format = "file '%s' cannot be read: permission denied"; break;
    case FileRefusal::TooLarge: format = "cannot allocate buffer to read file '%s'"; break;
    case FileRefusal::Failed: break;
    }
    return (bare ? "" : "Error: ") + formatText(format, name.c_str());
}

std::string writeRefusalMessage(FileRefusal why, const std::string& name) {
    return formatText(why == FileRefusal::NotRegular || why == FileRefusal::Failed
                          ? "Error: file '%s' could not be written"
                          : "Error: file '%s' could not be opened",
                      name.c_str());
}

FileRefusal openedOrMissing(FileRefusal why) {
    return why == FileRefusal::TooLarge || why == FileRefusal::Failed ? why : FileRefusal::Missing;
}

FileRefusal readRefusal(const std::string& path) {
    FileRefusal why = FileRefusal::None;
    if (std::FILE* file = openForReading(path, why)) std::fclose(file);
    return why;
}

bool refusedWhereItIs(const std::string& path, const std::string& name, std::string& message) {
    const FileRefusal why = readRefusal(path);
    if (why == FileRefusal::None || why == FileRefusal::Missing) return false;
    message = readRefusalMessage(why, name);
    return true;
}

namespace {

// The rest of an open file, as readWhole takes it.
FileRefusal readRest(std::FILE* file, std::size_t limit, std::string& bytes) {
    const long long size = openFileSize(file);
    try {
        if (size > 0)
            bytes.reserve(static_cast<std::size_t>(
                std::min<unsigned long long>(static_cast<unsigned long long>(size), limit)));
        char block[16384];
        while (bytes.size() <= limit) {
            // One byte past the limit tells a file that is longer.
            const std::size_t room = limit - bytes.size();
            const std::size_t n = std::fread(block, 1, room >= sizeof block ? sizeof block : room + 1, file);
            if (n == 0) break;
            bytes.append(block, n);
        }
    } catch (const std::exception&) { // bad_alloc or length_error: more than memory holds
        bytes.clear();
        return FileRefusal::TooLarge;
    }
    if (std::ferror(file) ||
        (bytes.size() <= limit && size > 0 && bytes.size() < static_cast<unsigned long long>(size))) {
        bytes.clear();
        return FileRefusal::Failed;
    }
    if (bytes.size() > limit) {
        bytes.resize(limit);
        return FileRefusal::TooLarge;
    }
    return FileRefusal::None;
}

} // namespace

bool readWhole(const std::string& path, std::size_t limit, std::string& bytes, FileRefusal& why) {
    bytes.clear();
    std::FILE* file = openForReading(path, why);
    if (!file) return false;
    why = readRest(file, limit, bytes);
    std::fclose(file);
    return why == FileRefusal::None;
}

#ifndef _WIN32

namespace {

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a chain of symbolic links ends at (which need not exist yet: saving through a dangling
// link creates the file it names).
std::string followLinks(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t length = ::readlink(current.c_str(), link.data(), link.size());
        if (length < 0) return current;
        link.resize(static_cast<std::size_t>(length));
        current = !link.empty() && link.front() == '/' ? link : folderOf(current) + "/" + link;
    }
    return current;
}

// A temporary name beside the target: short enough for any name the target itself may have.
std::string temporaryStem(const std::string& target) {
    return folderOf(target) + "/." + bareName(target).substr(0, 200);
}

FileRefusal refusalOf(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR: return FileRefusal::Missing;
    case EACCES:
    case EPERM:
    case EROFS: return FileRefusal::ReadOnly;
    default: return FileRefusal::Failed;
    }
}

} // namespace

long long openFileSize(std::FILE* file) {
    struct stat st {};
    return ::fstat(::fileno(file), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

namespace {

bool writeFully(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The finished content, read back from the temporary file, over the target itself: hard links
// see the change. Only done after the whole content has been written once.
bool copyInto(std::FILE* from, const std::string& target) {
    const int to = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (to < 0) return false;
    struct stat st {
    }, source{};
    bool ok = ::fstat(to, &st) == 0 && S_ISREG(st.st_mode) && ::fstat(::fileno(from), &source) == 0 &&
              std::fseek(from, 0, SEEK_SET) == 0;
#if defined(__linux__) && defined(FALLOC_FL_KEEP_SIZE)
    // The space is taken before the first byte is overwritten: a disk that fills up now leaves the
    // old content as it was. File systems that cannot reserve space are written to all the same.
    if (ok && source.st_size > 0 && ::fallocate(to, FALLOC_FL_KEEP_SIZE, 0, source.st_size) != 0)
        ok = errno == EOPNOTSUPP || errno == ENOSYS;
#endif
    off_t total = 0;
    char buffer[65536];
    while (ok) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, from);
        if (n == 0) break;
        ok = writeFully(to, buffer, n);
        total += static_cast<off_t>(n);
    }
    ok = ok && !std::ferror(from) && ::ftruncate(to, total) == 0 && ::fsync(to) == 0;
    return ::close(to) == 0 && ok;
}

} // namespace

std::FILE* openForReading(const std::string& path, FileRefusal& why) {
    // Refused before any open: opening a device may act on it, and a FIFO would wait for a writer.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        why = refusalOf(errno);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        why = S_ISDIR(st.st_mode) ? FileRefusal::Folder : FileRefusal::NotRegular;
        return nullptr;
    }
    // Non-blocking as well, in case something else took the name meanwhile.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        why = errno == EISDIR ? FileRefusal::Folder : refusalOf(errno);
        return nullptr;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        why = FileRefusal::NotRegular;
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        why = FileRefusal::Failed;
        return nullptr;
    }
    why = FileRefusal::None;
    return file;
}

bool namesSpecialFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return true;
    return folderOf(path) == "/dev";
}

bool replacingOpen(ReplacingFile& out, const std::string& path, FileRefusal& why) {
    out = ReplacingFile();
    out.target = followLinks(path);
    struct stat st {};
    if (::stat(out.target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            why = FileRefusal::NotRegular;
            return false;
        }
        // Write bits are checked as well as access(): a privileged user may write anything, but a file
        // whose owner took every write bit away is meant to stay as it is.
        if ((st.st_mode & 0222) == 0 || ::access(out.target.c_str(), W_OK) != 0) {
            why = FileRefusal::ReadOnly;
            return false;
        }
        out.existed = true;
        out.inPlace = st.st_nlink > 1;
        out.mode = st.st_mode & 07777;
        out.owner = st.st_uid;
        out.group = st.st_gid;
    } else if (errno != ENOENT) {
        why = refusalOf(errno);
        return false;
    }

    const std::string folder = folderOf(out.target);
    int fd = -1;
#ifdef O_TMPFILE
    // An unnamed file is given its name through /proc at commit; without /proc it could never be.
    if (::access("/proc/self/fd", X_OK) == 0)
        fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
#endif
    if (fd < 0) {
        std::string pattern = temporaryStem(out.target) + ".XXXXXX";
        fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) {
            why = refusalOf(errno);
            return false;
        }
        out.temporary = pattern;
        // mkostemp makes the file private; a new file gets the usual mode a plain create would give.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    out.file = ::fdopen(fd, "w+b");
    if (!out.file) {
        ::close(fd);
        if (!out.temporary.empty()) ::unlink(out.temporary.c_str());
        why = FileRefusal::Failed;
        return false;
    }
    why = FileRefusal::None;
    return true;
}

bool replacingCommit(ReplacingFile& out) {
    if (!out.file) return false;
    const int fd = ::fileno(out.file);
    bool ok = std::fflush(out.file) == 0 && !std::ferror(out.file);
    if (ok && out.inPlace) {
        ok = copyInto(out.file, out.target);
        replacingDiscard(out);
        return ok;
    }
    if (ok && out.existed) {
        // The owner first: changing it may clear set-id bits, which the mode then restores.
        if (::fchown(fd, out.owner, out.group) != 0) {
            // Not ours to give away; the file stays the writer's, as any other save would.
        }
        ok = ::fchmod(fd, out.mode) == 0;
    }
    ok = ok && ::fsync(fd) == 0;
    std::string named = out.temporary;
    if (ok && named.empty()) {
        // An unnamed file gets a name only now, complete, and keeps it only until the rename below.
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        for (int attempt = 0; attempt < 16 && named.empty(); ++attempt) {
            std::string candidate = temporaryStem(out.target) + "." + std::to_string(::getpid()) + "-" +
                                    std::to_string(attempt) + ".tmp";
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0)
                named = candidate;
            else if (errno != EEXIST)
                break;
        }
        ok = !named.empty();
    }
    ok = ok && ::rename(named.c_str(), out.target.c_str()) == 0;
    if (!ok && !named.empty()) ::unlink(named.c_str());
    out.temporary.clear();
    replacingDiscard(out);
    return ok;
}

void replacingDiscard(ReplacingFile& out) {
    if (out.file) std::fclose(out.file);
    out.file = nullptr;
    if (!out.temporary.empty()) ::unlink(out.temporary.c_str());
    out.temporary.clear();
}

#else // _WIN32: names through the wide API; a named temporary beside the target, moved over it.

namespace {

// The names Windows keeps for its devices in every folder, whatever ending follows: "nul.obj" is NUL.
bool namesDevice(const std::string& path) {
    std::string stem = bareName(path);
    stem = stem.substr(0, stem.find('.'));
    while (!stem.empty() && (stem.back() == ' ' || stem.back() == ':')) stem.pop_back();
    for (char& c : stem)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (stem == device) return true;
    return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) && stem[3] >= '1' &&
           stem[3] <= '9';
}

FileRefusal refusalOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_NO_UNICODE_TRANSLATION: return FileRefusal::Missing;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return FileRefusal::ReadOnly;
    default: return FileRefusal::Failed;
    }
}

// The attributes of what path names, and its wide name; false with the reason when it is a device's name
// (refused before any open, which might act on the device) or nothing is there.
bool lookUp(const std::string& path, std::wstring& name, DWORD& attributes, FileRefusal& why) {
    if (namesDevice(path)) {
        why = FileRefusal::NotRegular;
        return false;
    }
    name = wideName(path);
    attributes = name.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return true;
    why = name.empty() ? FileRefusal::Missing : refusalOf(GetLastError());
    return false;
}

// An existing file opened for access, shared with every other opener; INVALID_HANDLE_VALUE and the reason
// when the system refuses.
HANDLE openExisting(const std::wstring& name, DWORD access, FileRefusal& why) {
    const HANDLE handle =
        CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) why = refusalOf(GetLastError());
    return handle;
}

// An open handle as a stdio stream; the handle is closed when the stream cannot be made.
std::FILE* streamOf(HANDLE handle, int flags, const char* mode) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, mode);
    if (!file) _close(fd);
    return file;
}

} // namespace

long long openFileSize(std::FILE* file) {
    LARGE_INTEGER size{};
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return GetFileSizeEx(handle, &size) ? static_cast<long long>(size.QuadPart) : -1;
}

bool namesSpecialFile(const std::string& path) {
    std::wstring name;
    DWORD attributes = 0;
    FileRefusal why = FileRefusal::None;
    return lookUp(path, name, attributes, why) ? (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                                               : why == FileRefusal::NotRegular;
}

std::FILE* openForReading(const std::string& path, FileRefusal& why) {
    std::wstring name;
    DWORD attributes = 0;
    if (!lookUp(path, name, attributes, why)) return nullptr;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        why = FileRefusal::Folder;
        return nullptr;
    }
    const HANDLE handle = openExisting(name, GENERIC_READ, why);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        why = FileRefusal::NotRegular;
        return nullptr;
    }
    std::FILE* file = streamOf(handle, _O_RDONLY | _O_BINARY, "rb");
    why = file ? FileRefusal::None : FileRefusal::Failed;
    return file;
}

bool replacingOpen(ReplacingFile& out, const std::string& path, FileRefusal& why) {
    out = ReplacingFile();
    out.target = path;
    std::wstring target;
    DWORD attributes = 0;
    if (lookUp(path, target, attributes, why)) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            why = FileRefusal::NotRegular;
            return false;
        }
        // The read-only attribute is the user's "leave it as it is"; the probe finds what the file's
        // permissions or another program's lock would refuse at the move.
        if (attributes & FILE_ATTRIBUTE_READONLY) {
            why = FileRefusal::ReadOnly;
            return false;
        }
        const HANDLE probe = openExisting(target, GENERIC_WRITE, why);
        if (probe == INVALID_HANDLE_VALUE) return false;
        CloseHandle(probe);
        out.existed = true;
        out.mode = attributes;
    } else if (why != FileRefusal::Missing) {
        return false;
    }

    // Beside the target, its name cut short enough for any name the target itself may have.
    const std::string bare = bareName(path);
    const std::string stem = path.substr(0, path.size() - bare.size()) + bare.substr(0, 200);
    for (int attempt = 0; attempt < 16 && !out.file; ++attempt) {
        std::string temporary =
            stem + "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt) + ".tmp";
        const HANDLE handle = CreateFileW(wideName(temporary).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            why = refusalOf(GetLastError());
            return false;
        }
        out.temporary = temporary;
        out.file = streamOf(handle, _O_BINARY, "w+b");
        if (!out.file) {
            DeleteFileW(wideName(temporary).c_str());
            out.temporary.clear();
            why = FileRefusal::Failed;
            return false;
        }
    }
    why = out.file ? FileRefusal::None : FileRefusal::Failed;
    return out.file != nullptr;
}

bool replacingCommit(ReplacingFile& out) {
    if (!out.file) return false;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out.file)));
    bool ok = std::fflush(out.file) == 0 && !std::ferror(out.file) && FlushFileBuffers(handle);
    ok = std::fclose(out.file) == 0 && ok;
    out.file = nullptr;
    const std::wstring temporary = wideName(out.temporary);
    // The old file's attributes (hidden, archive...) go to the new one.
    if (ok && out.existed) SetFileAttributesW(temporary.c_str(), out.mode);
    // One move over the old name: the old content stays whole until the new one is there.
    ok = ok && MoveFileExW(temporary.c_str(), wideName(out.target).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteFileW(temporary.c_str());
    out.temporary.clear();
    return ok;
}

void replacingDiscard(ReplacingFile& out) {
    if (out.file) std::fclose(out.file);
    out.file = nullptr;
    if (!out.temporary.empty()) DeleteFileW(wideName(out.temporary).c_str());
    out.temporary.clear();
}

#endif

bool replaceWhole(const std::string& path, const std::string& content, FileRefusal& why) {
    ReplacingFile out;
    if (!replacingOpen(out, path, why)) return false;
    if (std::fwrite(content.data(), 1, content.size(), out.file) != content.size()) {
        replacingDiscard(out);
        why = FileRefusal::Failed;
        return false;
    }
    if (!replacingCommit(out)) {
        why = FileRefusal::Failed;
        return false;
    }
    return true;
}

} // namespace orv
