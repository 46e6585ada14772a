#pragma once

// The byte access of the undo records, shared by the files of UndoStorage only.

#include "hexview/UndoStorage.h"

#include <cstring>

namespace kestrum {

template <typename T> inline T readAt(const char* bytes)
{
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}

template <typename T> inline void writeAt(char* bytes, T value)
{
    std::memcpy(bytes, &value, sizeof(T));
}

template <typename T> inline void append(QByteArray& out, T value)
{
    out.append(reinterpret_cast<const char*>(&value), sizeof(T));
}

inline bool hasFlag(UndoFlags flags, UndoFlag flag)
{
    return flags & undoFlagBit(flag);
}

/// A record read back from the storage (or the redo record); `data` points into its bytes.
struct UndoStorage::Parsed
{
    UndoRecordHead head {};
    UndoFlag kind = UndoFlag::KindBytesChanged;
    const char* data = nullptr;
    qint64 dataCount = 0; // saved bytes that count for the kind
    QString description; // own description, or the text of a combined record
    bool hasSelection = false;
    qint32 selLow = -1;
    qint32 selHigh = -1;
    qint32 selAnchor = -1;
};

} // namespace kestrum
