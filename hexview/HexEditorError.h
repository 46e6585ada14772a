#pragma once

#include <QString>

#include <stdexcept>

namespace kestrum {

/// Every error the hex editor control raises. The texts are fixed English texts, the same in
/// every language of the program.
class HexEditorError : public std::runtime_error
{
public:
    explicit HexEditorError(const QString& message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {
    }

    /// The text as given, for the application's error display.
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// The texts the control raises.
inline constexpr const char* ErrDataBounds = "Data position/length out of data bounds";
inline constexpr const char* ErrUndo = "Cannot update undo storage";
inline constexpr const char* ErrFixedSize = "Cannot change fixed filesize";
inline constexpr const char* ErrCancelled = "Operation cancelled";
inline constexpr const char* ErrSelStart = "Invalid selection start";
inline constexpr const char* ErrSelEnd = "Invalid selection end";
inline constexpr const char* ErrBookmarkIndex = "Invalid bookmark index";
inline constexpr const char* ErrBytesPerUnit = "Invalid bytes per unit value %1, allowed: 1,2,4,8";
inline constexpr const char* ErrUnicodeUnit = "BytesPerUnit must be set to 2 in unicode mode";
inline constexpr const char* ErrBytesPerLine = "Invalid bytes per line argument";
inline constexpr const char* ErrBytesPerColumn = "Invalid bytes per column argument";
inline constexpr const char* ErrUnicodeOddSize = "Cannot use unicode mode with odd-sized files";
inline constexpr const char* ErrUnicodeTranslation = "Translations cannot be used in unicode mode";
inline constexpr const char* ErrStreamRead = "Stream read error";
inline constexpr const char* ErrInvalidChar = "Invalid character %1, cannot convert using radix %2h";
inline constexpr const char* ErrMissingChar = "Missing char in offset format: %1";
inline constexpr const char* ErrInvalidRadix = "Invalid radix in offset format (%1h), allowed: 02h..10h";
inline constexpr const char* ErrRulerUnit = "Invalid ruler bytes per unit value %1, allowed: -1,1,2,4,8";
inline constexpr const char* ErrBookmarkBitmap = "Invalid bookmark bitmap (must be 10 x 200 px)";
inline constexpr const char* ErrIntegerOverflow = "Integer overflow";
inline constexpr const char* ErrDivisionByZero = "Division by zero";

/// Raises HexEditorError with one of the fixed texts above.
[[noreturn]] inline void raiseHexEditorError(const char* text)
{
    throw HexEditorError(QString::fromLatin1(text));
}

} // namespace kestrum
