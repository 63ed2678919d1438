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
#include <utility>

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
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null < 0) {
            return;
        }
        // Kept above the standard numbers: opened onto a closed stream, the
        // sink would be saved and then restored as that stream.
        const int sink = ::fcntl(null, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        ::close(null);
        if (sink < 0) {
            return;
        }
        m_out = ::dup(STDOUT_FILENO);
        const bool outUsable = m_out >= 0 || errno == EBADF;
        m_err = ::dup(STDERR_FILENO);
        const bool errUsable = m_err >= 0 || errno == EBADF;
        // Out of descriptors: a stream that cannot be saved is left alone.
        if (!outUsable || !errUsable) {
            for (const int fd : {m_out, m_err, sink}) {
                if (fd >= 0) {
                    ::close(fd);
                }
            }
            return;
        }
        ::dup2(sink, STDOUT_FILENO);
        ::dup2(sink, STDERR_FILENO);
        ::close(sink);
        m_active = true;
    }
    ~QuietStdio() {
        if (!m_active) {
            return;
        }
        std::fflush(stdout);
        std::fflush(stderr);
        restore(m_out, STDOUT_FILENO);
        restore(m_err, STDERR_FILENO);
    }
    QuietStdio(const QuietStdio&) = delete;
    QuietStdio& operator=(const QuietStdio&) = delete;

private:
    // A stream that was closed before is closed again.
    static void restore(int saved, int fd) {
        if (saved >= 0) {
            ::dup2(saved, fd);
            ::close(saved);
        } else {
            ::close(fd);
        }
    }

    bool m_active = false;
    int m_out = -1;
    int m_err = -1;
};

// Page 0 from 0x18 on is masked with RC4 under a fixed key; under the mask,
// a non-zero key at 0x3E means the other pages are encrypted.
constexpr std::size_t kHeaderMaskStart = 0x18;
constexpr std::size_t kEncodingKeyAt = 0x3E - kHeaderMaskStart;

std::uint32_t encodingKey(const std::uint8_t* header) {
    static const std::uint8_t kMaskKey[] = {0xC7, 0xDA, 0x39, 0x6B};
    std::uint8_t state[256];
    for (int i = 0; i < 256; ++i) {
        state[i] = std::uint8_t(i);
    }
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + state[i] + kMaskKey[i % 4]) & 0xFF;
        std::swap(state[i], state[j]);
    }
    std::uint32_t key = 0;
    for (std::size_t n = 0, i = 0, j = 0; n < kEncodingKeyAt + 4; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + state[i]) & 0xFF;
        std::swap(state[i], state[j]);
        const std::uint8_t plain =
            header[kHeaderMaskStart + n] ^ state[(state[i] + state[j]) & 0xFF];
        if (n >= kEncodingKeyAt) {
            key |= std::uint32_t(plain) << (8 * (n - kEncodingKeyAt));
        }
    }
    return key;
}

}  // namespace

void Database::openFailed(const QString& cause, const QString& path) {
    raise(QStringLiteral("打开歌库失败:%1:%2").arg(cause, path));
}

void MdbHandleCloser::operator()(void* handle) const {
    mdb_close(static_cast<MdbHandle*>(handle));
}

namespace {

// Access keeps a database within 2 GB; a larger file is not one, and reading
// it whole would only exhaust memory.
constexpr std::uint64_t kLargestLibrary = std::uint64_t(2) << 30;

// Why a file could not be opened or read, in the operator's words.
QString fileErrorText(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return QStringLiteral("文件不存在");
        case EACCES:
        case EPERM:
            return QStringLiteral("没有读取该文件的权限");
        case ELOOP:
            return QStringLiteral("符号链接层数过多");
        case ENAMETOOLONG:
            return QStringLiteral("路径过长");
        case EIO:
            return QStringLiteral("读取磁盘出错(输入/输出错误)");
        case EMFILE:
        case ENFILE:
            return QStringLiteral("打开的文件过多");
        case ENOMEM:
            return QStringLiteral("内存不足");
        default:
            return QStringLiteral("无法读取文件(错误码 %1)").arg(error);
    }
}

// Reads up to `size` bytes from `offset`, through interruptions and short
// reads; fewer only at the end of the file. Returns -1 with errno on failure.
ssize_t readFully(int fd, std::uint8_t* data, std::size_t size, off_t offset) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, data + done, size - done, offset + off_t(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return -1;
        }
        if (n == 0) {
            break;
        }
        done += std::size_t(n);
    }
    return ssize_t(done);
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

}  // namespace

void Database::checkHeader(const std::uint8_t* data, std::size_t size, const QString& path) {
    if (size == 0) {
        openFailed(QStringLiteral("文件是空的"), path);
    }
    static const char kJet[] = "Standard Jet DB";
    static const char kAce[] = "Standard ACE DB";
    if (size < 0x20 || data[0] != 0 ||
        (std::memcmp(data + 4, kJet, sizeof kJet) != 0 &&
         std::memcmp(data + 4, kAce, sizeof kAce) != 0)) {
        openFailed(QStringLiteral("不是 Access 数据库文件"), path);
    }
}

std::shared_ptr<Database> Database::open(const QString& path) {
    if (path.isEmpty()) {
        raise(QStringLiteral("打开歌库失败:没有指定歌库文件的路径。"));
    }
    const QByteArray native = QFile::encodeName(path);
    // Opened before anything is asked about it, and without waiting: a FIFO
    // or device put at the path (even between two looks at it) is then seen
    // by fstat on what was opened, and never blocks the open or the read.
    const FileDescriptor file(
        ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.get() < 0) {
        const int error = errno;
        struct stat status {};
        if (error == EACCES && ::stat(native.constData(), &status) != 0) {
            openFailed(QStringLiteral("没有访问该文件的权限"), path);
        }
        openFailed(fileErrorText(error), path);
    }
    const int fd = file.get();
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        openFailed(fileErrorText(errno), path);
    }
    if (S_ISDIR(status.st_mode)) {
        openFailed(QStringLiteral("这是一个文件夹,不是歌库文件"), path);
    }
    if (!S_ISREG(status.st_mode)) {
        openFailed(QStringLiteral("这不是普通文件"), path);
    }

    // The header first: a file that is no library, however large, is named
    // as such at once.
    std::uint8_t header[0x20];
    const ssize_t headerBytes = readFully(fd, header, sizeof header, 0);
    if (headerBytes < 0) {
        openFailed(QStringLiteral("读取文件出错:%1").arg(fileErrorText(errno)), path);
    }
    checkHeader(header, std::size_t(headerBytes), path);
    if (std::uint64_t(status.st_size) > kLargestLibrary) {
        openFailed(QStringLiteral("文件过大(%1 字节),超过 Access 数据库 2 GB 的上限")
                       .arg(qint64(status.st_size)),
                   path);
    }

    std::shared_ptr<Database> db(new Database);
    db->m_path = path;
    // One read of the whole file: libmdb and the row scan then work on the
    // same snapshot, and nothing ever holds the file open for writing.
    Bytes& bytes = db->m_bytes;
    try {
        bytes.allocate(std::size_t(status.st_size));
    } catch (const std::bad_alloc&) {
        openFailed(QStringLiteral("内存不足,无法读入 %1 字节的文件").arg(qint64(status.st_size)),
                   path);
    }
    const ssize_t done = readFully(fd, bytes.data, bytes.size, 0);
    if (done < 0) {
        openFailed(QStringLiteral("读取文件出错:%1").arg(fileErrorText(errno)), path);
    }
    bytes.size = std::size_t(done);
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
    checkHeader(bytes.data, bytes.size, path);
    db->m_jet3 = bytes.data[0x14] == 0;
    db->m_pageSize = db->m_jet3 ? 2048 : 4096;
    if (bytes.size >= kHeaderMaskStart + kEncodingKeyAt + 4 && encodingKey(bytes.data) != 0) {
        // Access 2007 and later encrypt every page but the first with the
        // database password; older files may be encoded page by page.
        openFailed(bytes.data[0x14] >= 2
                       ? QStringLiteral("文件已加密(设有数据库密码),没有密码无法读取")
                       : QStringLiteral("文件已加密(编码),无法读取"),
                   path);
    }
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
