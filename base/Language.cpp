#include "base/Language.h"

#include "base/Messages.h"

#include <QStringList>

namespace kestrum {

namespace {

constexpr int SimplifiedChinese = 0;
constexpr int TraditionalChinese = 1;

/// The parts of a locale name without its encoding and modifier, in lower case.
QStringList localeParts(const QString& localeName)
{
    QString name = localeName.section(QLatin1Char('@'), 0, 0).section(QLatin1Char('.'), 0, 0).toLower();
    name.replace(QLatin1Char('-'), QLatin1Char('_'));
    return name.split(QLatin1Char('_'));
}

bool isPosixLocale(const QString& localeName)
{
    const QString name = localeName.section(QLatin1Char('.'), 0, 0);
    return name.isEmpty() || name == QLatin1String("C") || name == QLatin1String("POSIX");
}

} // namespace

int languageForLocale(const QString& localeName)
{
    const QStringList parts = localeParts(localeName);
    if (parts.front() != QLatin1String("zh"))
        return EnglishLanguage;
    for (const QString& part : parts.sliced(1)) {
        if (part == QLatin1String("hant"))
            return TraditionalChinese;
        if (part == QLatin1String("hans"))
            return SimplifiedChinese;
    }
    for (const QString& part : parts.sliced(1)) {
        if (part == QLatin1String("tw") || part == QLatin1String("hk") || part == QLatin1String("mo"))
            return TraditionalChinese;
    }
    return SimplifiedChinese;
}

int languageFromEnvironment(const EnvironmentLookup& environment)
{
    QString locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = environment(name);
        if (!locale.isEmpty())
            break;
    }
    if (isPosixLocale(locale))
        return EnglishLanguage;
    const QStringList wanted = environment("LANGUAGE").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (wanted.isEmpty())
        return languageForLocale(locale);
    // The program speaks Chinese and English: the first of those in the list wins, and a list of
    // other languages only gets the untranslated texts, English.
    for (const QString& entry : wanted) {
        const QString language = localeParts(entry).front();
        if (language == QLatin1String("zh") || language == QLatin1String("en"))
            return languageForLocale(entry);
    }
    return EnglishLanguage;
}

} // namespace kestrum
