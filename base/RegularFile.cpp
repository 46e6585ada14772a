#include "base/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrum {

namespace {

constexpr char16_t EscapeBase = 0xDC00; ///< a byte b that is no UTF-8 becomes EscapeBase + b

/// Length of the valid UTF-8 sequence at text[at], or 0 when none starts there; `code` gets its
/// code point. Overlong forms, encoded surrogates and values past U+10FFFF are not valid.
int utf8Sequence(const unsigned char* text, qsizetype left, char32_t& code)
{
    const unsigned char lead = text[0];
    int length;
    char32_t minimum;
    if (lead < 0x80) {
        code = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        minimum = 0x80;
        code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        minimum = 0x800;
        code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        minimum = 0x10000;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (left < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((text[i] & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (text[i] & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

void appendUtf8(QByteArray& out, char32_t code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | code >> 6);
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | code >> 12);
        out += char(0x80 | (code >> 6 & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | code >> 18);
        out += char(0x80 | (code >> 12 & 0x3F));
        out += char(0x80 | (code >> 6 & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

} // namespace

QString decodeFileName(const QByteArray& bytes)
{
    const auto* text = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    QString name;
    name.reserve(size);
    for (qsizetype at = 0; at < size;) {
        char32_t code = 0;
        const int length = utf8Sequence(text + at, size - at, code);
        if (length == 0) {
            name += QChar(char16_t(EscapeBase + text[at]));
            ++at;
            continue;
        }
        if (code < 0x10000) {
            name += QChar(char16_t(code));
        } else {
            name += QChar(QChar::highSurrogate(code));
            name += QChar(QChar::lowSurrogate(code));
        }
        at += length;
    }
    return name;
}

QByteArray encodeFileName(const QString& name)
{
    QByteArray out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < name.size() && QChar::isLowSurrogate(name[i + 1].unicode())) {
            appendUtf8(out, QChar::surrogateToUcs4(unit, name[i + 1].unicode()));
            ++i;
        } else if (unit >= EscapeBase + 0x80 && unit <= EscapeBase + 0xFF) {
            out += char(unit - EscapeBase);
        } else if (QChar::isSurrogate(unit)) {
            out += '?'; // no byte and no character: never made by decodeFileName
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

int openRegularFile(const QString& path, std::uint64_t* size, OpenFailure* failure, int* error)
{
    OpenFailure ignoredFailure;
    int ignoredError;
    OpenFailure& why = failure ? *failure : ignoredFailure;
    int& number = error ? *error : ignoredError;
    why = OpenFailure::None;
    number = 0;

    const QByteArray name = encodeFileName(path);
    struct stat info
    {
    };
    // Looked at before it is opened: opening a device may act on it, opening a FIFO waits.
    if (::stat(name.constData(), &info) != 0) {
        number = errno;
        why = number == ENOENT ? OpenFailure::Missing : OpenFailure::Unreadable;
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        why = OpenFailure::NotRegular;
        return -1;
    }
    int fd;
    do {
        fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        number = errno;
        why = number == ENOENT ? OpenFailure::Missing : OpenFailure::Unreadable;
        return -1;
    }
    // The name may have changed hands since the look: what was opened decides.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        why = OpenFailure::NotRegular;
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (size)
        *size = static_cast<std::uint64_t>(info.st_size);
    return fd;
}

std::uint64_t readFully(int fd, void* to, std::uint64_t count, std::uint64_t offset)
{
    auto* bytes = static_cast<char*>(to);
    std::uint64_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd, bytes + done, count - done, static_cast<off_t>(offset + done));
        if (n > 0)
            done += static_cast<std::uint64_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    return done;
}

OpenFailure readRegularFile(
    const QString& path, QByteArray& content, std::uint64_t* size, int* error, std::uint64_t limit)
{
    content.clear();
    std::uint64_t fileSize = 0;
    OpenFailure failure = OpenFailure::None;
    int number = 0;
    const int fd = openRegularFile(path, &fileSize, &failure, &number);
    if (fd >= 0) {
        const std::uint64_t wanted = std::min(fileSize, limit);
        content.resize(static_cast<qsizetype>(wanted));
        errno = 0;
        const std::uint64_t read = readFully(fd, content.data(), wanted, 0);
        if (read < wanted && errno != 0) {
            number = errno;
            failure = OpenFailure::Unreadable;
            content.clear();
        } else {
            content.resize(static_cast<qsizetype>(read));
        }
        ::close(fd);
    }
    if (size)
        *size = fileSize;
    if (error)
        *error = number;
    return failure;
}

QString systemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace kestrum
