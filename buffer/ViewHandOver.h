#pragma once

#include "buffer/DataBuffer.h"

#include <QBuffer>
#include <QByteArray>

#include <cstdint>

namespace kestrum {

/// The hex view as the data buffer sees it: the few calls of the hex editor control that the
/// hand-overs use. The main window adapts its hex view to this; tests use the real control.
class HexViewPort
{
public:
    virtual ~HexViewPort() = default;
    /// Replaces the view's data, undo history and marks with the stream's content.
    virtual void loadFrom(QIODevice& stream) = 0;
    [[nodiscard]] virtual bool isModified() const = 0;
    [[nodiscard]] virtual qint64 dataSize() const = 0;
    virtual void readBytes(void* destination, qint64 position, qint64 count) = 0;
    virtual void setModified(bool modified) = 0;
};

/// The two hand-overs between `DataBuffer` and the hex view, with the stream that carries the bytes.
class ViewHandOver
{
public:
    ViewHandOver(DataBuffer& buffer, HexViewPort& view);

    /// Loads the view with buffer bytes 0 .. count-1 (never past the buffer's end). Edits in the
    /// view that were not taken back are dropped.
    void reloadView(std::uint32_t count);
    /// When the view was edited: copies min(view size, chip size) bytes back into the buffer,
    /// sets the used length to that count and clears the view's modified state.
    void takeViewEdits(std::uint32_t chipSize);

    [[nodiscard]] HexViewPort& view() const { return *m_view; }

private:
    DataBuffer* m_buffer;
    HexViewPort* m_view;
    QBuffer m_viewStream;
};

} // namespace kestrum
