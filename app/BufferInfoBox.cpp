#include "app/BufferInfoBox.h"

#include "buffer/Checksum.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrum {

QString bufferInformationText(const Reporter& reporter, const DataBuffer& buffer, std::uint32_t chipSize)
{
    const auto used = static_cast<std::uint32_t>(std::clamp<qint32>(buffer.usedLength, 0, qint32(BufferCapacity)));
    const std::uint32_t chip = std::min(chipSize, BufferCapacity);
    auto sums = [&](MessageKey key, std::uint32_t length) {
        return reporter.message(key).arg(crc32Text(crc32(buffer.data(), length)), sha256Text(buffer.data(), length));
    };
    QStringList lines {reporter.message(MsgInfoUsedLength).arg(used), reporter.message(MsgInfoChipSize).arg(chipSize),
        QString(), sums(MsgInfoUsedSums, used)};
    if (chip != used)
        lines << QString() << sums(MsgInfoChipSums, chip);
    return lines.join(QLatin1Char('\n'));
}

BufferInfoBox::BufferInfoBox(const Reporter& reporter, const QString& text, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("BufferInfoBox"));
    setWindowTitle(reporter.message(MsgInfoTitle));
    m_text = new QLabel(text, this);
    m_text->setObjectName(QStringLiteral("InfoText"));
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_text->setFont(QFont(QStringLiteral("monospace")));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    auto* copy = buttons->addButton(reporter.message(MsgInfoCopy), QDialogButtonBox::ActionRole);
    copy->setObjectName(QStringLiteral("CopyButton"));
    connect(copy, &QPushButton::clicked, this, [this] { QGuiApplication::clipboard()->setText(m_text->text()); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(buttons);
}

QString BufferInfoBox::text() const
{
    return m_text->text();
}

} // namespace kestrum
