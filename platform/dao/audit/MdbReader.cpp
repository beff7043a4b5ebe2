#include "dao/audit/MdbReader.h"

#include <mdbtools.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <strings.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace dao::audit {
namespace {

// Jet's own limit is 2 GiB; a catalogue table never holds more rows than objects x accounts allow.
constexpr std::uint64_t kMaxFileSize = 2ull << 30;
constexpr std::size_t kMaxRows = 16u << 20;
constexpr std::size_t kMaxTransfer = 1u << 30;

// --- The pipe protocol: tagged records, integers little-endian ---------------------------------------

class Writer {
public:
    explicit Writer(int fd) : fd_(fd) {}
    void tag(char t) { buf_.push_back(t); }
    void u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            buf_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    void bytes(const void* p, std::size_t n) {
        u32(static_cast<std::uint32_t>(n));
        buf_.append(static_cast<const char*>(p), n);
        if (buf_.size() >= (64u << 10)) flush();
    }
    void text(const std::string& s) { bytes(s.data(), s.size()); }
    void flush() {
        std::size_t done = 0;
        while (done < buf_.size()) {
            const ssize_t n = ::write(fd_, buf_.data() + done, buf_.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) _exit(3);
            done += static_cast<std::size_t>(n);
        }
        buf_.clear();
    }

private:
    int fd_;
    std::string buf_;
};

class Reader {
public:
    explicit Reader(const std::string& data) : d_(data) {}
    bool atEnd() const { return pos_ >= d_.size(); }
    char tag() {
        need(1);
        return d_[pos_++];
    }
    std::uint32_t u32() {
        need(4);
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= std::uint32_t(static_cast<unsigned char>(d_[pos_ + i])) << (8 * i);
        pos_ += 4;
        return v;
    }
    std::string bytes() {
        const std::uint32_t n = u32();
        need(n);
        std::string s = d_.substr(pos_, n);
        pos_ += n;
        return s;
    }

private:
    void need(std::size_t n) const {
        if (d_.size() - pos_ < n) throw std::runtime_error("the reader's answer was cut short");
    }
    const std::string& d_;
    std::size_t pos_ = 0;
};

// --- The child ---------------------------------------------------------------------------------------

[[noreturn]] void childFail(Writer& w, const std::string& why) {
    w.tag('X');
    w.text(why);
    w.flush();
    _exit(2);
}

bool isBinary(const MdbColumn* col) {
    return col->col_type == MDB_BINARY;
}

void readTable(MdbHandle* mdb, Writer& w, const TableRequest& req) {
    std::string name = req.table;
    MdbTableDef* table = mdb_read_table_by_name(mdb, name.data(), MDB_TABLE);
    if (!table) childFail(w, "it is damaged (it has no " + req.table + " table)");
    if (!mdb_read_columns(table))
        childFail(w, "it is damaged (the columns of " + req.table + " cannot be read)");
    if (!table->columns || table->columns->len != table->num_cols)
        childFail(w, "it is damaged (the columns of " + req.table + " cannot be read)");

    const std::size_t n = req.columns.size();
    std::vector<MdbColumn*> cols(n, nullptr);
    std::vector<std::string> bound(n);
    std::vector<int> lens(n, 0);
    for (std::size_t c = 0; c < n; ++c) {
        for (unsigned i = 0; i < table->num_cols; ++i) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
            if (strcasecmp(col->name, req.columns[c].c_str()) == 0) {
                cols[c] = col;
                if (!isBinary(col)) {
                    bound[c].assign(mdb->bind_size + 1, '\0');
                    mdb_bind_column(table, static_cast<int>(i + 1), bound[c].data(), &lens[c]);
                }
                break;
            }
        }
        if (!cols[c])
            childFail(w, "it is damaged (its " + req.table + " table has no column " + req.columns[c] + ")");
    }

    w.tag('T');
    std::size_t rows = 0;
    mdb_rewind_table(table);
    const auto pageSize = static_cast<int>(mdb->fmt->pg_size);
    while (mdb_fetch_row(table)) {
        if (++rows > kMaxRows)
            childFail(w, "it is damaged (its " + req.table + " table holds more rows than Jet allows)");
        w.tag('R');
        for (std::size_t c = 0; c < n; ++c) {
            if (isBinary(cols[c])) {
                // Binary values are taken from the page itself: binding them would stop at a zero byte.
                const int start = cols[c]->cur_value_start, len = cols[c]->cur_value_len;
                if (len <= 0) {
                    w.bytes("", 0);
                } else {
                    if (start < 0 || start > pageSize || len > pageSize - start)
                        childFail(w, "it is damaged (a row of " + req.table + " points outside its page)");
                    w.bytes(mdb->pg_buf + start, static_cast<std::size_t>(len));
                }
            } else {
                const std::size_t len = std::min(std::strlen(bound[c].c_str()), bound[c].size());
                w.bytes(bound[c].data(), len);
            }
        }
    }
    w.tag('E');
    mdb_free_tabledef(table);
}

[[noreturn]] void runChild(int fd, std::uint64_t size, int out, const std::vector<TableRequest>& requests) {
    Writer w(out);
    const int devnull = ::open("/dev/null", O_RDWR);
    if (devnull >= 0) {
        ::dup2(devnull, STDIN_FILENO);
        ::dup2(devnull, STDOUT_FILENO);
        ::dup2(devnull, STDERR_FILENO); // libmdb's warnings about damaged pages
    }
#if !defined(__SANITIZE_ADDRESS__)
    rlimit mem{8ull << 30, 8ull << 30}; // a runaway allocation fails here, not in the whole machine
    ::setrlimit(RLIMIT_AS, &mem);
#endif
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (map == MAP_FAILED) childFail(w, std::string("it cannot be mapped: ") + std::strerror(errno));
    MdbHandle* mdb = mdb_open_buffer(map, size, MDB_NOFLAGS);
    if (!mdb) childFail(w, "it is damaged (its header is not that of a Jet file)");
    mdb_set_boolean_fmt_numbers(mdb);
    if (!mdb_read_catalog(mdb, MDB_ANY)) childFail(w, "it is damaged (its catalogue cannot be read)");
    w.tag('I');
    w.u32(mdb->f->jet_version == MDB_VER_JET3 ? 3 : 4);
    w.u32(mdb->f->lang_id);
    for (const TableRequest& r : requests)
        readTable(mdb, w, r);
    w.tag('D');
    w.flush();
    _exit(0);
}

// --- The parent --------------------------------------------------------------------------------------

struct Child {
    pid_t pid = -1;
    int out = -1;
};

std::string collect(Child& c, std::chrono::steady_clock::time_point deadline, bool& timedOut) {
    std::string data;
    char buf[1 << 16];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{c.out, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 1000)));
        if (r < 0 && errno == EINTR) continue;
        if (r == 0) continue;
        const ssize_t n = ::read(c.out, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        data.append(buf, static_cast<std::size_t>(n));
        if (data.size() > kMaxTransfer) {
            timedOut = true;
            break;
        }
    }
    return data;
}

int reap(pid_t pid, bool kill) {
    if (kill) ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

MdbReadResult parse(const std::string& data, const std::vector<TableRequest>& requests) {
    MdbReadResult result;
    Reader r(data);
    bool done = false;
    while (!r.atEnd() && !done) {
        switch (r.tag()) {
        case 'I':
            result.info.jetVersion = static_cast<int>(r.u32());
            result.info.langId = static_cast<std::int32_t>(r.u32());
            break;
        case 'T': {
            if (result.tables.size() >= requests.size())
                throw std::runtime_error("the reader's answer is garbled");
            const std::size_t cells = requests[result.tables.size()].columns.size();
            TableRows t;
            for (char tag = r.tag(); tag != 'E'; tag = r.tag()) {
                if (tag != 'R') throw std::runtime_error("the reader's answer is garbled");
                std::vector<std::string> row(cells);
                for (auto& cell : row)
                    cell = r.bytes();
                t.rows.push_back(std::move(row));
            }
            result.tables.push_back(std::move(t));
            break;
        }
        case 'X':
            throw std::runtime_error(r.bytes());
        case 'D':
            done = true;
            break;
        default:
            throw std::runtime_error("the reader's answer is garbled");
        }
    }
    if (!done) throw std::runtime_error("it is damaged (its catalogue could not be read to the end)");
    return result;
}

} // namespace

MdbReadResult readJetTables(const std::string& path, const std::vector<TableRequest>& requests,
                            std::chrono::seconds baseDeadline) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error(std::string("it cannot be opened: ") + std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    struct stat st {};
    if (::fstat(fd, &st) != 0) throw std::runtime_error(std::strerror(errno));
    const auto size = static_cast<std::uint64_t>(st.st_size);
    std::string header(std::min<std::uint64_t>(size, 4096), '\0');
    if (::pread(fd, header.data(), header.size(), 0) != static_cast<ssize_t>(header.size()))
        throw std::runtime_error("its header cannot be read");
    if (header.size() < 0x15 ||
        (header.compare(4, 15, "Standard Jet DB") != 0 && header.compare(4, 13, "Jet System DB") != 0))
        throw std::runtime_error("it has no Jet header");
    const int version = header[0x14];
    if (version != 0 && version != 1) throw std::runtime_error("its Jet version is unknown");
    const std::uint32_t pageSize = version == 0 ? 2048 : 4096;
    if (size > kMaxFileSize) throw std::runtime_error("it is larger than a Jet file can be");
    if (size < 4ull * pageSize || size % pageSize != 0)
        throw std::runtime_error("it is truncated (its size is not a whole number of pages)");
    header.resize(pageSize);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error(std::strerror(errno));
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        throw std::runtime_error(std::string("no reader process: ") + std::strerror(errno));
    }
    if (pid == 0) {
        ::close(pipeFds[0]);
        runChild(fd, size, pipeFds[1], requests);
    }
    ::close(pipeFds[1]);
    Child child{pid, pipeFds[0]};
    // Generous for a healthy file (a 2 GiB file is read in well under a minute); a loop is cut off.
    const auto deadline =
        std::chrono::steady_clock::now() + baseDeadline + std::chrono::seconds(size / (20u << 20));
    bool timedOut = false;
    std::string data;
    try {
        data = collect(child, deadline, timedOut);
    } catch (...) {
        ::close(child.out);
        reap(pid, true);
        throw;
    }
    ::close(child.out);
    const int status = reap(pid, timedOut);
    if (timedOut) throw std::runtime_error("it is damaged (reading its catalogue did not finish)");
    if (WIFSIGNALED(status))
        throw std::runtime_error("it is damaged (reading its catalogue stopped at a fault)");
    MdbReadResult result = parse(data, requests);
    if (result.tables.size() != requests.size()) throw std::runtime_error("it is damaged");
    result.info.pageSize = pageSize;
    result.info.header = std::move(header);
    return result;
}

} // namespace dao::audit
