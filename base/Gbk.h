#pragma once

#include <QByteArray>
#include <QString>

namespace kestrum {

/// Chip names and other Chinese texts are stored in the GBK code page (code page 936).
QString fromGbk(const char* bytes, qsizetype length);
QString fromGbk(const QByteArray& bytes);
/// GBK bytes of a text; *ok is false when a character has no GBK form.
QByteArray toGbk(const QString& text, bool* ok = nullptr);

} // namespace kestrum
