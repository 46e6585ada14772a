#pragma once

#include "base/FileLocations.h"

#include <QString>

namespace kestrum {

/// The message language of a locale name: 0 Simplified Chinese, 1 Traditional Chinese, 2 English.
///
/// The name may carry an encoding (".UTF-8") and a modifier ("@euro"), and may separate its parts
/// with '_' or '-' in any letter case. A Chinese name with the script "Hant" is Traditional and
/// with "Hans" Simplified; without a script, the territories Taiwan, Hong Kong and Macao are
/// Traditional and every other territory, or none ("zh"), Simplified. Every other name ("C",
/// "POSIX", "en_US", "de_DE", an empty one) is English.
int languageForLocale(const QString& localeName);

/// The message language the environment asks for, in the order gettext follows: the locale is the
/// first of LC_ALL, LC_MESSAGES and LANG that is set. For the "C" or "POSIX" locale (also when none
/// is set) the language is English. Otherwise a colon-separated LANGUAGE list, when set, decides:
/// its first entry that names Chinese or English, and English when none does. Without it the
/// locale decides.
int languageFromEnvironment(const EnvironmentLookup& environment = systemEnvironment);

} // namespace kestrum
