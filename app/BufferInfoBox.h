#pragma once

#include "base/Reporter.h"
#include "buffer/DataBuffer.h"

#include <QDialog>

#include <cstdint>

class QLabel;

namespace kestrum {

/// The text of the buffer information box: the used length, the chip size, and the CRC-32 and
/// SHA-256 of the used part (and of the chip-size part when the two lengths differ).
QString bufferInformationText(const Reporter& reporter, const DataBuffer& buffer, std::uint32_t chipSize);

/// The box of File > Buffer information: the text and a Copy button that puts it on the clipboard.
class BufferInfoBox : public QDialog
{
    Q_OBJECT
public:
    BufferInfoBox(const Reporter& reporter, const QString& text, QWidget* parent);

    [[nodiscard]] QString text() const;

private:
    QLabel* m_text = nullptr;
};

} // namespace kestrum
