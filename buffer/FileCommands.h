#pragma once

#include "base/Reporter.h"
#include "buffer/DataBuffer.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

namespace kestrum {

/// Filter of the Open dialog, in the "Text|*.ext|..." form; its first entry, every supported
/// kind, is selected. That entry and the S-record entry are named in the language given; the
/// others are the same in every language.
QString openFileFilter(int language);
/// Filter of the Save dialog.
QString saveFileFilter(int language);
/// Appended by the Save dialog to a name typed without extension.
inline const QString SaveDefaultSuffix = QStringLiteral("hex");

/// The Open and Save commands of the main window, without the window: the hex view is reached
/// through the two hand-overs that the window passes in.
class FileCommands
{
public:
    /// Reloads the hex view with `count` bytes of the data buffer from index 0.
    using ViewReloader = std::function<void(std::uint32_t count)>;
    /// Takes the hex view's edits into the data buffer if the view was modified.
    using ViewEditsTaker = std::function<void()>;

    FileCommands(Reporter& reporter, DataBuffer& buffer, ViewReloader refreshView, ViewEditsTaker takeViewEdits);

    /// Open: asks for a file and checks it (see ImageSource::open); a cancelled dialog, a refused
    /// file or one that fails to load (the error names the file and line) changes nothing, not the
    /// buffer, its used length, the view or the log. Otherwise the buffer holds the file over 0xFF
    /// (the used length is the loaded count), the view shows chipSize bytes and the log says
    /// "Open" + the full path. The header of a capsule is kept for a later Save. A loaded file
    /// counts as saved.
    void open(std::uint32_t chipSize);

    /// Save: asks for a file, takes the view's edits into the buffer and saves chipSize bytes of
    /// the buffer by the file's kind (the used length when chipSize is 0: no chip shown; an empty
    /// buffer is refused); a capsule gets the header of the last capsule opened. A
    /// cancelled dialog changes nothing; a completed save clears the buffer's modified state.
    void save(std::uint32_t chipSize);

    /// The header of the last capsule opened; empty until one was.
    [[nodiscard]] const QByteArray& capsuleHeader() const { return m_capsuleHeader; }

private:
    Reporter& m_reporter;
    DataBuffer& m_buffer;
    ViewReloader m_refreshView;
    ViewEditsTaker m_takeViewEdits;
    QByteArray m_capsuleHeader;
};

} // namespace kestrum
