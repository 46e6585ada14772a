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

/// Writes a file under a temporary name in the target's folder and renames it over the target
/// only when it is complete, so that a failed save never destroys the file it would replace.
/// Output is gathered in a large block and written when the block is full.
///
/// Note: the data is not synced to disk before the rename. A sync costs seconds for the largest
/// images; a replacing rename on Linux file systems already orders the data before the new name.
class ReplacementFile
{
public:
    static constexpr std::size_t BlockSize = 1024 * 1024;

    explicit ReplacementFile(const QString& target);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    /// Creates the temporary file; false when that is impossible, when the target exists and may
    /// not be written, or when it is a folder.
    [[nodiscard]] bool create();

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

    /// Writes what is left, closes the file and renames it over the target. False when anything
    /// failed; the temporary file is removed then and the target is untouched.
    [[nodiscard]] bool commit();

private:
    void flush();
    void writeOut(const char* data, std::size_t count);
    void discard();

    QByteArray m_target;
    QByteArray m_temporary;
    int m_fd = -1;
    bool m_failed = false;
    std::unique_ptr<char[]> m_block;
    std::size_t m_used = 0;
};

} // namespace kestrum
