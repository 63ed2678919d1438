// The library file and its pages.
//
// An Access file is a run of fixed-size pages: 2,048 bytes for Jet 3 (Access
// 97), 4,096 for Jet 4 and later (Access 2000 to 2019). Page 0 is the header:
// byte 0 is 0, "Standard Jet DB" or "Standard ACE DB" starts at offset 4, and
// the byte at 0x14 gives the version (0 for Jet 3). Most of the rest of the
// header is masked with a fixed RC4 key and holds the code page and the
// database password. The first byte of every other page tells its kind:
// 0x01 data, 0x02 table definition, 0x03/0x04 index, 0x05 usage map.
#include "data/access/Database.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mdbtools.h>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "data/Errors.h"
#include "data/access/FieldValues.h"

namespace vaskord::data {

namespace {

// libmdb reports odd files by printing, some of it hex dumps on standard
// output, where the command-line program writes its results. While libmdb
// reads the catalog both streams go to /dev/null; the failure itself reaches
// the operator as a DatabaseError.
class QuietStdio {
public:
    QuietStdio() {
        std::fflush(stdout);
        std::fflush(stderr);
        const int sink = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (sink < 0) {
            return;
        }
        m_out = ::dup(STDOUT_FILENO);
        m_err = ::dup(STDERR_FILENO);
        ::dup2(sink, STDOUT_FILENO);
        ::dup2(sink, STDERR_FILENO);
        ::close(sink);
    }
    ~QuietStdio() {
        std::fflush(stdout);
        std::fflush(stderr);
        if (m_out >= 0) {
            ::dup2(m_out, STDOUT_FILENO);
            ::close(m_out);
        }
        if (m_err >= 0) {
            ::dup2(m_err, STDERR_FILENO);
            ::close(m_err);
        }
    }
    QuietStdio(const QuietStdio&) = delete;
    QuietStdio& operator=(const QuietStdio&) = delete;

private:
    int m_out = -1;
    int m_err = -1;
};

}  // namespace

void Database::openFailed(const QString& cause, const QString& path) {
    raise(QStringLiteral("打开歌库失败:%1:%2").arg(cause, path));
}

void MdbHandleCloser::operator()(void* handle) const {
    mdb_close(static_cast<MdbHandle*>(handle));
}

std::shared_ptr<Database> Database::open(const QString& path) {
    if (path.isEmpty()) {
        raise(QStringLiteral("打开歌库失败:没有指定歌库文件的路径。"));
    }
    const QByteArray native = QFile::encodeName(path);
    struct stat status {};
    if (::stat(native.constData(), &status) != 0) {
        if (errno == EACCES) {
            openFailed(QStringLiteral("没有访问该文件的权限"), path);
        }
        openFailed(QStringLiteral("文件不存在"), path);
    }
    if (S_ISDIR(status.st_mode)) {
        openFailed(QStringLiteral("这是一个文件夹,不是歌库文件"), path);
    }
    if (!S_ISREG(status.st_mode)) {
        openFailed(QStringLiteral("这不是普通文件"), path);
    }
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        openFailed(errno == EACCES ? QStringLiteral("没有读取该文件的权限")
                                   : QStringLiteral("无法读取文件(%1)")
                                         .arg(QString::fromLocal8Bit(std::strerror(errno))),
                   path);
    }
    std::shared_ptr<Database> db(new Database);
    db->m_path = path;
    // One read of the whole file: libmdb and the row scan then work on the
    // same snapshot, and nothing ever holds the file open for writing.
    Bytes& bytes = db->m_bytes;
    bytes.allocate(std::size_t(status.st_size));
    std::size_t done = 0;
    while (done < bytes.size) {
        const ssize_t n = ::read(fd, bytes.data + done, bytes.size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            openFailed(QStringLiteral("读取文件出错(%1)")
                           .arg(QString::fromLocal8Bit(std::strerror(error))),
                       path);
        }
        if (n == 0) {
            break;
        }
        done += std::size_t(n);
    }
    ::close(fd);
    bytes.size = done;
    db->load();
    return db;
}

std::shared_ptr<Database> Database::fromBytes(const std::uint8_t* data, std::size_t size,
                                              const QString& name) {
    std::shared_ptr<Database> db(new Database);
    db->m_path = name;
    db->m_bytes.allocate(size);
    if (size > 0) {
        std::memcpy(db->m_bytes.data, data, size);
    }
    db->load();
    return db;
}

void Database::load() {
    const QuietStdio quiet;
    const Bytes& bytes = m_bytes;
    const QString& path = m_path;
    Database* db = this;
    if (bytes.size == 0) {
        openFailed(QStringLiteral("文件是空的"), path);
    }
    static const char kJet[] = "Standard Jet DB";
    static const char kAce[] = "Standard ACE DB";
    if (bytes.size < 0x20 || bytes.data[0] != 0 ||
        (std::memcmp(bytes.data + 4, kJet, sizeof kJet) != 0 &&
         std::memcmp(bytes.data + 4, kAce, sizeof kAce) != 0)) {
        openFailed(QStringLiteral("不是 Access 数据库文件"), path);
    }
    db->m_jet3 = bytes.data[0x14] == 0;
    db->m_pageSize = db->m_jet3 ? 2048 : 4096;
    if (bytes.size % db->m_pageSize != 0 || bytes.size < 3 * std::size_t(db->m_pageSize)) {
        openFailed(QStringLiteral("文件不完整(可能已被截断)"), path);
    }

    MdbHandle* mdb = mdb_open_buffer(bytes.data, bytes.size, MDB_NOFLAGS);
    if (mdb == nullptr) {
        openFailed(QStringLiteral("不是 Access 数据库文件,或文件已损坏"), path);
    }
    db->m_mdb.reset(mdb);
    db->m_codePage = mdb->f->code_page;
    db->m_decoder = std::make_unique<Decoder>();
    if (db->m_jet3) {
        const QByteArray name = "CP" + QByteArray::number(db->m_codePage ? db->m_codePage : 1252);
        db->m_decoder->codePage = iconv_open("UTF-16LE", name.constData());
        if (db->m_decoder->codePage == reinterpret_cast<iconv_t>(-1)) {
            db->m_decoder->codePage = iconv_open("UTF-16LE", "CP1252");
        }
    }
    db->loadCatalog();
}

Database::~Database() = default;

#if defined(__SANITIZE_ADDRESS__)
#define VASKORD_HEAP_SNAPSHOT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VASKORD_HEAP_SNAPSHOT 1
#endif
#endif

// Faulting a 30 MB buffer in page by page costs more than reading it; huge
// pages, filled in one go, make that cost vanish. Under AddressSanitizer the
// heap is used instead, so that a read past the end is caught.
void Database::Bytes::allocate(std::size_t bytes) {
#ifdef VASKORD_HEAP_SNAPSHOT
    data = new std::uint8_t[std::max<std::size_t>(bytes, 1)];
    size = bytes;
    return;
#endif
    mapped = std::max<std::size_t>(bytes, 1);
    void* memory =
        mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        mapped = 0;
        throw std::bad_alloc();
    }
    madvise(memory, mapped, MADV_HUGEPAGE);
    data = static_cast<std::uint8_t*>(memory);
    size = bytes;
}

Database::Bytes::~Bytes() {
#ifdef VASKORD_HEAP_SNAPSHOT
    delete[] data;
    return;
#endif
    if (data != nullptr) {
        munmap(data, mapped);
    }
}

const std::uint8_t* Database::page(std::uint32_t number) const {
    if (number >= pageCount()) {
        raise(QStringLiteral("数据库文件不完整或已损坏:第 %1 页超出文件末尾(%2)。")
                  .arg(number)
                  .arg(m_path));
    }
    return m_bytes.data + std::size_t(number) * m_pageSize;
}

void Database::damaged(std::uint32_t page) const {
    raise(QStringLiteral("数据库文件已损坏:第 %1 页无法读取(%2)。").arg(page).arg(m_path));
}

}  // namespace vaskord::data
