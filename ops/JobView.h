#pragma once

#include <QString>
#include <QtGlobal>

namespace kestrum {

/// What a progress bar counts: bytes of a stream or a page erase (a rate and a time left can be
/// told), or the status polls of a whole-chip erase (only a limit).
enum class ProgressUnit { Bytes, Polls };

/// What a chip job shows in the main window, and the window's chance to stay alive while a job
/// runs. The main window implements it over status panel 1, its tool bar and main panel, the
/// progress bar in the status bar and the hex view; tests record the calls.
class JobView
{
public:
    virtual ~JobView() = default;

    /// Status panel 1: "Ready", "Not connected" or the text of the routine running.
    virtual void setStatusText(const QString& text) = 0;
    /// Disables (true) or enables (false) the window's tool bar and main panel.
    virtual void setControlsLocked(bool locked) = 0;
    /// Shows the progress bar at position 0 with that maximum.
    virtual void showProgress(quint32 maximum, ProgressUnit unit) = 0;
    /// Moves the progress bar. Called at most about every 15 ms during a stream (at the same tick
    /// as processPendingEvents), and once more with the offset of the last block at its end.
    virtual void setProgressPosition(quint32 position) = 0;
    /// Sets the progress bar back to 0 and hides it.
    virtual void hideProgress() = 0;
    /// Lets the window handle pending events (repaints, the progress bar). Called between status
    /// polls and, throttled, between blocks; never after every block of a stream.
    virtual void processPendingEvents() = 0;
    /// Loads the hex view with the first count bytes of DataBuffer, replacing its content, its
    /// undo history and its modified flag.
    virtual void reloadView(quint32 count) = 0;
};

} // namespace kestrum
