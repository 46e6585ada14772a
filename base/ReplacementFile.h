#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <memory>

namespace kestrum {

/// How a save ended. The writers show the create failure themselves; the caller reports the rest.
enum class WriteResult {
    Written, ///< the file is complete under its name
    NotCreated, ///< the file could not be created; nothing was written anywhere
    NotWritten, ///< writing failed; a file of that name, if any, is as it was
};

/// Why a file may not be replaced.
enum class TargetRefusal {
    None, ///< no file of that name, or a regular file
    NotRegular, ///< a device, FIFO or socket: only regular files are replaced
    Folder, ///< a folder of that name
    SharedLink, ///< a symbolic link that the protected-symlinks rule does not let us follow
    Unusable, ///< the name cannot be looked at, or the link chain does not end
};

/// What a save to a name would replace: symbolic links are followed as the kernel's
/// protected-symlinks rule allows (a link in a world-writable sticky folder only when the user or
/// the folder's owner owns it), and only a regular file, or no file, may be replaced.
struct SaveTarget
{
    QByteArray path; ///< the name the new file takes, links resolved
    bool exists = false;
    TargetRefusal refusal = TargetRefusal::None;
    int error = 0; ///< the system's error number of an Unusable name
};
SaveTarget resolveSaveTarget(const QString& name);

/// Writes a file under a temporary name in the target's folder and renames it over the target
/// only when it is complete, so that a failed save never destroys the file it would replace. The
/// temporary name is hidden and tells the target; a save removes the temporary files of earlier
/// saves to the same target that were killed (this user's, unchanged for a minute).
/// Every write, the optional sync and the close are checked. Output is gathered in a large block
/// and written when the block is full.
///
/// Note: large images are not synced to disk before the rename. A sync costs seconds for the
/// largest images; a replacing rename on Linux file systems already orders the data before the
/// new name. Small files that the program cannot do without (the database, the settings) ask
/// for the sync.
class ReplacementFile
{
public:
    static constexpr std::size_t BlockSize = 1024 * 1024;
    enum class Sync { No, Yes };

    explicit ReplacementFile(const QString& target, Sync sync = Sync::No);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    /// Creates the temporary file; false when that is impossible, when the target may not be
    /// replaced (see resolveSaveTarget) or when it exists and may not be written.
    [[nodiscard]] bool create();
    /// Why create() refused the target (None when the failure was the system's).
    [[nodiscard]] TargetRefusal refusal() const { return m_refusal; }
    /// The system's error number of the first failure, 0 when none was reported.
    [[nodiscard]] int error() const { return m_error; }

    /// Room for `count` (at most BlockSize) bytes at the end of the block; advance() takes them.
    char* reserve(std::size_t count)
    {
        if (BlockSize - m_used < count)
            flush();
        return m_block.get() + m_used;
    }
    void advance(std::size_t count) { m_used += count; }
    /// Appends bytes; large runs go to the file directly.
    void append(const void* data, std::size_t count);

    /// True once any write has failed; later writes are skipped.
    [[nodiscard]] bool failed() const { return m_failed; }

    /// Writes what is left, syncs when asked, closes the file and renames it over the target.
    /// False when anything failed; the temporary file is removed then and the target is untouched.
    [[nodiscard]] bool commit();

private:
    void flush();
    void writeOut(const char* data, std::size_t count);
    void fail(int error);
    void discard();

    QString m_name;
    Sync m_sync;
    QByteArray m_target;
    QByteArray m_temporary;
    int m_fd = -1;
    bool m_failed = false;
    int m_error = 0;
    TargetRefusal m_refusal = TargetRefusal::None;
    std::unique_ptr<char[]> m_block;
    std::size_t m_used = 0;
};

} // namespace kestrum
