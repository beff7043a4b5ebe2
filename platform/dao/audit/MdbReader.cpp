#include "dao/audit/MdbReader.h"

#include "dao/audit/JetPages.h"

#include <mdbtools.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <strings.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace dao::audit {
namespace {

// A catalogue table never holds more rows than objects x accounts allow.
constexpr std::size_t kMaxRows = 16u << 20;
constexpr std::size_t kMaxTransfer = 1u << 30;
// Starts the child's own lines on its stderr (see markTable).
constexpr char kTableMark = '\x1e';

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

// Tells the parent which table the lines libmdb writes to stderr from now on belong to.
void markTable(std::size_t index) {
    const std::string mark = std::string(1, kTableMark) + std::to_string(index) + "\n";
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, mark.data(), mark.size());
}

[[noreturn]] void runChild(int fd, std::uint64_t size, int out, int err, pid_t parent,
                           std::chrono::seconds deadline, const std::vector<TableRequest>& requests) {
    if (!bindReaderToParent(parent)) _exit(4);
    Writer w(out);
    const int devnull = ::open("/dev/null", O_RDWR);
    if (devnull >= 0) {
        ::dup2(devnull, STDIN_FILENO);
        ::dup2(devnull, STDOUT_FILENO);
    }
    ::dup2(err, STDERR_FILENO); // libmdb's warnings about damaged pages and rows go to the parent
    limitReaderMemory(size);
    // The deadline counts the child's processor time, so a loaded machine does not cut a healthy read
    // short; a loop ends with SIGXCPU. No core file: the child holds a copy of the parent's memory.
    const auto seconds = static_cast<rlim_t>(deadline.count());
    rlimit cpu{seconds, seconds + 1}, core{0, 0};
    ::setrlimit(RLIMIT_CPU, &cpu);
    ::setrlimit(RLIMIT_CORE, &core);
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (map == MAP_FAILED) childFail(w, std::string("it cannot be mapped: ") + std::strerror(errno));
    MdbHandle* mdb = mdb_open_buffer(map, size, MDB_NOFLAGS);
    if (!mdb) childFail(w, "it is damaged (its header is not that of a Jet file)");
    mdb_set_boolean_fmt_numbers(mdb);
    if (!mdb_read_catalog(mdb, MDB_ANY)) childFail(w, "it is damaged (its catalogue cannot be read)");
    w.tag('I');
    w.u32(mdb->f->jet_version == MDB_VER_JET3 ? 3 : 4);
    w.u32(mdb->f->lang_id);
    for (std::size_t i = 0; i < requests.size(); ++i) {
        markTable(i);
        readTable(mdb, w, requests[i]);
    }
    w.tag('D');
    w.flush();
    _exit(0);
}

// --- The parent --------------------------------------------------------------------------------------

// What the child writes to stderr: the first lines are kept for the error text, rows libmdb skipped
// as undecodable are counted per table, and a read past the file's end stops the child at once.
class StderrWatch {
public:
    explicit StderrWatch(std::size_t tables) : unread_(tables, 0), unreadPages_(tables, 0) {}

    void feed(const char* p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            if (p[i] != '\n') {
                if (line_.size() < kMaxLine) line_.push_back(p[i]);
                continue;
            }
            take(line_);
            line_.clear();
        }
    }
    void finish() {
        if (!line_.empty()) take(line_);
        line_.clear();
    }
    bool pastEnd() const { return pastEnd_; }
    std::uint64_t pastEndOffset() const { return pastEndOffset_; }
    std::size_t unread(std::size_t table) const { return unread_[table]; }
    std::size_t unreadPages(std::size_t table) const { return unreadPages_[table]; }
    // " (the reader said: ...)" or nothing.
    std::string said() const {
        if (first_.empty()) return {};
        std::string s = " (the reader said: ";
        for (std::size_t i = 0; i < first_.size(); ++i)
            s += (i ? " / " : "") + first_[i];
        return s + ")";
    }

private:
    static constexpr std::size_t kMaxLine = 240, kKeptLines = 4;

    void take(const std::string& line) {
        if (!line.empty() && line[0] == kTableMark) {
            table_ = std::strtoul(line.c_str() + 1, nullptr, 10);
            return;
        }
        if (const auto at = line.find(" is beyond EOF"); at != std::string::npos && !pastEnd_) {
            pastEnd_ = true;
            const auto num = line.rfind(' ', at - 1);
            pastEndOffset_ =
                std::strtoull(line.c_str() + (num == std::string::npos ? 0 : num + 1), nullptr, 10);
        }
        if (line.find("mdb_crack_row") != std::string::npos && table_ < unread_.size()) ++unread_[table_];
        // A page the table's map names that is not one of its data pages: libmdb skips its rows.
        if (line.find("from map doesn't match") != std::string::npos && table_ < unread_.size())
            ++unreadPages_[table_];
        if (first_.size() < kKeptLines && line.find_first_not_of("= \t") != std::string::npos) {
            std::string shown;
            for (const char c : line)
                shown += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
            first_.push_back(shown);
        }
    }

    std::string line_;
    std::vector<std::string> first_;
    std::vector<std::size_t> unread_, unreadPages_;
    std::size_t table_ = static_cast<std::size_t>(-1);
    bool pastEnd_ = false;
    std::uint64_t pastEndOffset_ = 0;
};

struct Child {
    pid_t pid = -1;
    int out = -1;
    int err = -1;
};

enum class Ending { Done, TimedOut, TooLarge, PastEnd };

Ending collect(Child& c, std::chrono::steady_clock::time_point deadline, std::string& data,
               StderrWatch& watch) {
    char buf[1 << 16];
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count();
        if (left <= 0) return Ending::TimedOut;
        pollfd p[2] = {{outOpen ? c.out : -1, POLLIN, 0}, {errOpen ? c.err : -1, POLLIN, 0}};
        const int r = ::poll(p, 2, static_cast<int>(std::min<long long>(left, 1000)));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (p[i].fd < 0 || p[i].revents == 0) continue;
            const ssize_t n = ::read(p[i].fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                (i == 0 ? outOpen : errOpen) = false;
                continue;
            }
            if (i == 0) {
                data.append(buf, static_cast<std::size_t>(n));
                if (data.size() > kMaxTransfer) return Ending::TooLarge;
            } else {
                watch.feed(buf, static_cast<std::size_t>(n));
                if (watch.pastEnd()) return Ending::PastEnd;
            }
        }
    }
    watch.finish();
    return watch.pastEnd() ? Ending::PastEnd : Ending::Done;
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

bool bindReaderToParent(pid_t parent) {
    // The signal is asked for first, then the parent checked: a parent that died before the request
    // has already handed the child to another process, and no signal would ever come.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) return false;
    return ::getppid() == parent;
}

std::uint64_t readerMemoryBudget(std::uint64_t fileSize) {
    // The file is mapped once, libmdb holds a few copies of pages and the catalogue's rows.
    return (128ull << 20) + 4 * fileSize;
}

void limitReaderMemory(std::uint64_t fileSize) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer's allocator does not die cleanly when the address space runs out (it hangs in its
    // report); there the processor-time limit alone stops a runaway read.
    (void)fileSize;
#else
    // The child starts with its parent's address space; the budget comes on top of what is mapped now.
    std::uint64_t mapped = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        unsigned long long pages = 0;
        if (std::fscanf(statm, "%llu", &pages) == 1)
            mapped = pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
        std::fclose(statm);
    }
    const rlim_t limit = mapped + readerMemoryBudget(fileSize);
    rlimit mem{limit, limit};
    ::setrlimit(RLIMIT_AS, &mem);
#endif
}

std::chrono::seconds readerDeadline(std::uint64_t fileSize, std::chrono::seconds base) {
    // A healthy catalogue is read in milliseconds; a second for every 4 MiB leaves room for a large
    // file, and a loop is cut off soon.
    return base + std::chrono::seconds(fileSize / (4u << 20));
}

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
    JetPageFacts pages = checkJetPages(fd, size);

    int outFds[2], errFds[2];
    if (::pipe2(outFds, O_CLOEXEC) != 0) throw std::runtime_error(std::strerror(errno));
    if (::pipe2(errFds, O_CLOEXEC) != 0) {
        ::close(outFds[0]);
        ::close(outFds[1]);
        throw std::runtime_error(std::strerror(errno));
    }
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        for (const int f : {outFds[0], outFds[1], errFds[0], errFds[1]})
            ::close(f);
        throw std::runtime_error(std::string("no reader process: ") + std::strerror(errno));
    }
    if (pid == 0) {
        ::close(outFds[0]);
        ::close(errFds[0]);
        runChild(fd, size, outFds[1], errFds[1], parent, readerDeadline(size, baseDeadline), requests);
    }
    ::close(outFds[1]);
    ::close(errFds[1]);
    Child child{pid, outFds[0], errFds[0]};
    // The child's own limit is processor time; the wall clock only stops a child that waits for nothing.
    const auto limit = readerDeadline(size, baseDeadline);
    const auto wallLimit = 3 * limit + std::chrono::seconds(5);
    StderrWatch watch(requests.size());
    std::string data;
    Ending ending = Ending::Done;
    try {
        ending = collect(child, std::chrono::steady_clock::now() + wallLimit, data, watch);
    } catch (...) {
        ::close(child.out);
        ::close(child.err);
        reap(pid, true);
        throw;
    }
    ::close(child.out);
    ::close(child.err);
    const int status = reap(pid, ending != Ending::Done);
    const std::string unfinished =
        "it is damaged (reading its catalogue did not finish within " + std::to_string(limit.count()) + " s)";
    switch (ending) {
    case Ending::PastEnd:
        throw std::runtime_error("it is truncated (its catalogue refers to page " +
                                 std::to_string(watch.pastEndOffset() / pages.pageSize) +
                                 ", but it has only " + std::to_string(pages.pageCount) + " pages)");
    case Ending::TimedOut:
        throw std::runtime_error(unfinished + watch.said());
    case Ending::TooLarge:
        throw std::runtime_error("it is damaged (its catalogue is larger than Jet allows)" + watch.said());
    case Ending::Done:
        break;
    }
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU)
        throw std::runtime_error(unfinished + watch.said());
    if (WIFSIGNALED(status))
        throw std::runtime_error("it is damaged (reading its catalogue stopped at a fault, signal " +
                                 std::to_string(WTERMSIG(status)) + ")" + watch.said());
    MdbReadResult result = parse(data, requests);
    if (result.tables.size() != requests.size()) throw std::runtime_error("it is damaged");
    for (std::size_t i = 0; i < result.tables.size(); ++i) {
        result.tables[i].unreadRows = watch.unread(i);
        result.tables[i].unreadPages = watch.unreadPages(i);
    }
    result.info.pageSize = pages.pageSize;
    result.info.header = std::move(pages.header);
    return result;
}

} // namespace dao::audit
