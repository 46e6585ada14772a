#include "base/Gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace kestrum {

QString fromGbk(const char* bytes, qsizetype length)
{
    QStringDecoder decoder("GBK");
    if (!decoder.isValid())
        return QString::fromLatin1(bytes, length);
    return decoder.decode(QByteArrayView(bytes, length));
}

QString fromGbk(const QByteArray& bytes)
{
    return fromGbk(bytes.constData(), bytes.size());
}

QByteArray toGbk(const QString& text, bool* ok)
{
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    if (!encoder.isValid()) {
        if (ok)
            *ok = false;
        return text.toLatin1();
    }
    QByteArray out = encoder.encode(text);
    if (ok)
        *ok = !encoder.hasError();
    return out;
}

} // namespace kestrum
