#include "layout/LayoutTexts.h"

#include "base/Messages.h"

namespace kestrum {

QString regionSourceText(RegionSource source, int language)
{
    switch (source) {
    case RegionSource::Descriptor:
        return messageText(MsgRegionSourceDescriptor, language);
    case RegionSource::Fmap:
        return messageText(MsgRegionSourceFmap, language);
    case RegionSource::LayoutFile:
        return messageText(MsgRegionSourceLayoutFile, language);
    case RegionSource::Content:
        break;
    }
    return messageText(MsgRegionSourceContent, language);
}

QString layoutFaultText(const LayoutFault& fault, int language)
{
    QString why;
    switch (fault.problem) {
    case LayoutProblem::None:
        return {};
    case LayoutProblem::Truncated:
        why = messageText(MsgLayoutTruncated, language);
        break;
    case LayoutProblem::PastImage:
        why = messageText(MsgLayoutPastImage, language).arg(fault.first);
        break;
    case LayoutProblem::Overlap:
        why = messageText(MsgLayoutOverlap, language).arg(fault.first, fault.second);
        break;
    case LayoutProblem::Reversed:
        why = messageText(MsgLayoutReversed, language).arg(fault.first);
        break;
    case LayoutProblem::UnreadableName:
        why = messageText(MsgLayoutUnreadableName, language);
        break;
    case LayoutProblem::Version:
        why = messageText(MsgLayoutVersion, language).arg(fault.first);
        break;
    case LayoutProblem::Syntax:
        why = messageText(MsgLayoutSyntax, language);
        break;
    case LayoutProblem::Duplicate:
        why = messageText(MsgLayoutDuplicate, language).arg(fault.first);
        break;
    case LayoutProblem::Empty:
        why = messageText(MsgLayoutEmpty, language);
        break;
    }
    const QString source = regionSourceText(fault.source, language);
    if (fault.source == RegionSource::LayoutFile)
        return messageText(MsgLayoutRefusedLine, language).arg(source, QString::number(fault.where), why);
    return messageText(MsgLayoutRefusedAt, language).arg(source, addressHex(fault.where).mid(2), why);
}

QString addressHex(std::uint64_t address)
{
    return QStringLiteral("0x") + QString::number(address, 16).toUpper().rightJustified(6, u'0');
}

QString regionRangeText(const Region& region)
{
    return addressHex(region.start) + u'-' + addressHex(region.end());
}

} // namespace kestrum
