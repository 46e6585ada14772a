#include "app/FlashEditorHost.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include <cstring>
#include <stdexcept>

namespace kestrum {

// Interim view until the hex editor control is in: shows the first rows read-only.
struct FlashEditorHost::Impl
{
    QPlainTextEdit* text = nullptr;
    QByteArray data;
    bool modified = false;
};

FlashEditorHost::FlashEditorHost(QWidget* parent)
    : QWidget(parent)
    , d(std::make_unique<Impl>())
{
    setObjectName(QStringLiteral("FlashEditor"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    d->text = new QPlainTextEdit(this);
    d->text->setReadOnly(true);
    d->text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(d->text);
}

FlashEditorHost::~FlashEditorHost() = default;

void FlashEditorHost::LoadFromStream(QIODevice& stream)
{
    stream.seek(0);
    d->data = stream.readAll();
    d->modified = false;
    QString out;
    const qsizetype rows = std::min<qsizetype>((d->data.size() + 15) / 16, 256);
    for (qsizetype r = 0; r < rows; ++r) {
        out += QStringLiteral("0x%1  ").arg(r * 16, 6, 16, QLatin1Char('0')).toUpper().replace(QLatin1String("0X"), QLatin1String("0x"));
        out += QString::fromLatin1(d->data.mid(r * 16, 16).toHex(' ').toUpper());
        out += QLatin1Char('\n');
    }
    d->text->setPlainText(out);
}

bool FlashEditorHost::GetModified() const
{
    return d->modified && !d->data.isEmpty();
}

qint64 FlashEditorHost::GetDataSize() const
{
    return d->data.size();
}

void FlashEditorHost::ReadBuffer(void* destination, qint64 position, qint64 count)
{
    if (position < 0 || count < 0 || position + count > d->data.size())
        throw std::out_of_range("Data position/length out of data bounds");
    std::memcpy(destination, d->data.constData() + position, size_t(count));
}

void FlashEditorHost::SetModified(bool modified)
{
    d->modified = modified;
}

QWidget* FlashEditorHost::view() const
{
    return d->text;
}

} // namespace kestrum
