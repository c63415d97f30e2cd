#include "input.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "controller.h"

namespace rpt {
namespace {

namespace fs = std::filesystem;

// Archive entries up to this size are kept in memory; larger ones go to an
// unnamed temporary file that is mapped, so that memory does not grow with
// the size of the internal-log sections.
constexpr size_t kInMemory = 8u << 20;

std::shared_ptr<void> map_fd(int fd, size_t size, std::string_view& out) {
    if (size == 0) {
        out = {};
        return nullptr;
    }
    void* p = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) return nullptr;
    madvise(p, size, MADV_RANDOM);  // the reader jumps over sections
    out = std::string_view(static_cast<const char*>(p), size);
    return std::shared_ptr<void>(p, [size](void* q) { munmap(q, size); });
}

std::string aerr(archive* a) {
    const char* e = archive_error_string(a);
    return e ? e : "unknown error";
}

std::string host_name(const fs::path& p, bool archive) {
    std::string n = p.filename().string();
    if (n.empty()) n = p.parent_path().filename().string();  // "dir/"
    if (archive)
        for (const char* ext : {".tar.gz", ".tgz", ".tar"})
            if (n.size() > strlen(ext) && n.ends_with(ext)) {
                n.resize(n.size() - strlen(ext));
                break;
            }
    // "<host>-YYYY-MM-DD", as the fleet run names its collections: the
    // date is not part of the host.
    auto digits = [&](size_t at, size_t k) {
        return std::all_of(n.begin() + at, n.begin() + at + k, [](char c) { return c >= '0' && c <= '9'; });
    };
    const size_t d = n.size() - 11;
    if (n.size() > 11 && n[d] == '-' && digits(d + 1, 4) && n[d + 5] == '-' && digits(d + 6, 2) && n[d + 8] == '-' &&
        digits(d + 9, 2))
        n.resize(d);
    return n;
}

void read_directory(Host& h) {
    std::error_code ec;
    fs::directory_iterator it(h.source, ec);
    if (ec) {
        h.error = "cannot read directory " + h.source + ": " + ec.message();
        return;
    }
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        struct stat st {};
        const std::string path = it->path().string();
        if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        InputFile f;
        f.name = it->path().filename().string();
        f.mtime = st.st_mtime;
        if (wanted(f.name)) {
            int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) {
                h.error = "cannot open " + path + ": " + strerror(errno);
                continue;
            }
            auto m = map_fd(fd, static_cast<size_t>(st.st_size), f.data);
            close(fd);
            if (st.st_size > 0 && !m) {
                h.error = "cannot map " + path;
                continue;
            }
            f.loaded = true;
            if (m) h.keep.push_back(m);
        }
        h.files.push_back(std::move(f));
    }
    if (ec) h.error = "cannot read directory " + h.source + ": " + ec.message();
}

void read_archive(Host& h) {
    std::unique_ptr<archive, int (*)(archive*)> a(archive_read_new(), archive_read_free);
    archive_read_support_filter_all(a.get());
    archive_read_support_format_tar(a.get());
    archive_read_support_format_gnutar(a.get());
    if (archive_read_open_filename(a.get(), h.source.c_str(), 1 << 16) != ARCHIVE_OK) {
        h.error = "cannot read archive " + h.source + ": " + aerr(a.get());
        return;
    }
    archive_entry* e = nullptr;
    int r;
    while ((r = archive_read_next_header(a.get(), &e)) == ARCHIVE_OK) {
        if (archive_entry_filetype(e) != AE_IFREG) continue;
        InputFile f;
        f.name = fs::path(archive_entry_pathname(e)).filename().string();
        f.mtime = archive_entry_mtime(e);
        if (wanted(f.name)) {
            const la_int64_t size = archive_entry_size_is_set(e) ? archive_entry_size(e) : 0;
            if (size >= 0 && static_cast<size_t>(size) <= kInMemory) {
                auto buf = std::make_shared<std::string>();
                buf->reserve(static_cast<size_t>(size));  // one allocation, not one per doubling
                char chunk[65536];
                la_ssize_t n;
                while ((n = archive_read_data(a.get(), chunk, sizeof chunk)) > 0)
                    buf->append(chunk, static_cast<size_t>(n));
                if (n < 0) {
                    h.error = "cannot read " + f.name + " in " + h.source + ": " + aerr(a.get());
                    break;
                }
                f.data = *buf;
                h.keep.push_back(buf);
            } else {
                FILE* tmp = tmpfile();
                if (!tmp || archive_read_data_into_fd(a.get(), fileno(tmp)) != ARCHIVE_OK) {
                    h.error = "cannot unpack " + f.name + " from " + h.source;
                    if (tmp) fclose(tmp);
                    break;
                }
                auto m = map_fd(fileno(tmp), static_cast<size_t>(size), f.data);
                fclose(tmp);
                if (!m) {
                    h.error = "cannot map " + f.name + " from " + h.source;
                    break;
                }
                h.keep.push_back(m);
            }
            f.loaded = true;
        }
        h.files.push_back(std::move(f));
    }
    if (h.error.empty() && r != ARCHIVE_EOF) h.error = "cannot read archive " + h.source + ": " + aerr(a.get());
}

}  // namespace

std::string drive_log_name(unsigned controller, unsigned device) {
    char b[40];
    snprintf(b, sizeof b, "MA%02x%02x.log", controller, device);
    return b;
}

std::optional<std::pair<unsigned, unsigned>> drive_log_place(const std::string& name) {
    unsigned c = 0, d = 0;
    if (name.size() == 10 && sscanf(name.c_str(), "MA%2x%2x.log", &c, &d) == 2) return std::pair(c, d);
    return std::nullopt;
}

bool wanted(std::string_view name) {
    if (name == kErrorLog || name == kRunJson || name == kConsoleTxt) return true;
    if (controller_log(name)) return true;
    if (name.size() < 10 || !name.starts_with(kDriveLogPrefix) || !name.ends_with(".log")) return false;
    for (char c : name.substr(2, name.size() - 6))
        if (!isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

Host read_input(const std::string& path) {
    Host h;
    h.source = path;
    std::error_code ec;
    const bool dir = fs::is_directory(path, ec);
    h.host = host_name(fs::path(path), !dir);
    if (dir)
        read_directory(h);
    else if (fs::exists(path, ec))
        read_archive(h);
    else
        h.error = "cannot read " + path + ": no such file or directory";
    std::sort(h.files.begin(), h.files.end(), [](auto& x, auto& y) { return x.name < y.name; });
    return h;
}

}  // namespace rpt
