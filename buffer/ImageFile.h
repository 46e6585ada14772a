#pragma once

#include "base/Reporter.h"
#include "base/UserInterface.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace kestrum {

/// Bytes in front of the image in a capsule (".cap") file. Loading skips them and hands them to
/// the caller; saving a capsule writes such a header in front of the image.
inline constexpr std::uint32_t CapsuleHeaderSize = 2048;

enum class FileKind {
    RawBinary, ///< the bytes as they are
    Capsule, ///< raw bytes after a header of CapsuleHeaderSize bytes
    IntelHex,
    SRecord,
};

/// The extension: the file name from its last "." on, dot included; empty when there is none.
QString fileExtension(const QString& fileName);

/// The extensions of S-record files, the ones the file dialogs name first at the front.
QStringList sRecordExtensions();

/// Kind of a file by its extension, ignoring case: ".hex", ".ihx" and ".ihex" Intel HEX; ".src",
/// ".s19", ".s28", ".s37", ".srec", ".mot", ".mhx", ".s1", ".s2" and ".s3" S-record; ".cap"
/// capsule; everything else raw. The load kind of a ".eep" file is decided by its first line
/// (see ImageSource) and counts as raw here.
FileKind loadKindForName(const QString& fileName);
FileKind saveKindForName(const QString& fileName);

/// A data file opened for loading. open() makes every check that can refuse the file before
/// anything is written anywhere: the file must be a regular file that can be opened (it is opened
/// without waiting, so a FIFO or a device never blocks), a raw or capsule file must fit the
/// capacity, and a ".eep" file gets its kind from its first line.
class ImageSource
{
public:
    /// Messages of the loading (a read that failed) come in `language`.
    explicit ImageSource(int language = EnglishLanguage)
        : m_language(language)
    {
    }
    ~ImageSource();
    ImageSource(const ImageSource&) = delete;
    ImageSource& operator=(const ImageSource&) = delete;

    /// False after a refusal, which has been shown: "Can't open File" for anything that is no
    /// regular file and for raw, capsule and ".eep" files that cannot be opened, the reader's
    /// "Cannot open file <name>" for Intel HEX and S-record files, "File is too big for Buffer".
    [[nodiscard]] bool open(const QString& fileName, std::uint32_t capacity, UserInterface& ui);
    [[nodiscard]] FileKind kind() const { return m_kind; }

    /// Loads the opened file into destination (capacity bytes) and returns the byte count (the
    /// extent for Intel HEX and S-record files), 0 after a failure that has been shown; what a
    /// reader stored before its failure stays. A read that fails is such a failure (MsgFileUnreadable
    /// with the system's reason), not the end of the file. A text file may start with a UTF-8 byte-order
    /// mark. capsuleHeader, when given, receives the header of a capsule that holds a whole one.
    qint32 load(
        std::uint8_t* destination, std::uint32_t capacity, UserInterface& ui, QByteArray* capsuleHeader = nullptr);
    /// The language of the file name and line number that follow a reader's error text.
    void setLanguage(int language) { m_language = language; }
    /// True after a load that a reader ended with an error: its text was shown, followed by the
    /// file name and the number of the line it failed on.
    [[nodiscard]] bool failed() const { return m_failed; }

private:
    void close();

    QString m_name;
    int m_language = EnglishLanguage;
    int m_fd = -1;
    std::uint64_t m_size = 0;
    FileKind m_kind = FileKind::RawBinary;
    std::uint32_t m_textStart = 0; ///< bytes of a byte-order mark in front of the text
    bool m_failed = false;
};

/// Opens and loads in one: the byte count, 0 on failure after the failure has been shown. Writes
/// only into destination (and capsuleHeader).
qint32 loadImageFile(const QString& fileName, std::uint8_t* destination, std::uint32_t capacity, UserInterface& ui,
    QByteArray* capsuleHeader = nullptr, int language = EnglishLanguage);

/// What to do when the file to save exists already.
enum class ExistingFile {
    Ask, ///< ask MsgFileExists; No keeps the file and saves nothing
    Replace, ///< replace it without asking
};

/// Saves length bytes of source by the kind of the file name; a capsule gets capsuleHeader in
/// front, and without a whole header it is refused. Only a regular file (or no file) is replaced,
/// and a symbolic link is followed only as the protected-symlinks rule allows. Failures are shown.
/// Returns true when the file was written, false when it was not (the user declined to replace
/// it, or a failure that has been shown); a file that was there stays as it was in that case.
bool saveImageFile(Reporter& reporter, const QString& fileName, const std::uint8_t* source, std::uint32_t length,
    ExistingFile existing = ExistingFile::Ask, const QByteArray& capsuleHeader = QByteArray());

} // namespace kestrum
