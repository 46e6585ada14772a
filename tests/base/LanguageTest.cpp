#include "base/Language.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace kestrum;

// The locales on which the window and the command line once chose differently, and the order in
// which the command line reads the environment. A row that sets LANG alone is also the window's
// case: its locale name goes through languageForLocale directly.
TEST(Language, OneRuleForTheWindowAndTheCommandLine)
{
    struct Row
    {
        std::map<std::string, QString> environment;
        int language;
    };
    const Row rows[] = {
        {{{"LANG", "zh"}}, 0},
        {{{"LANG", "zh_Hans"}}, 0},
        {{{"LANG", "zh_Hans_HK"}}, 0},
        {{{"LANG", "zh_MY.UTF-8"}}, 0},
        {{{"LANG", "zh-CN"}}, 0},
        {{{"LANG", "zh_SG"}}, 0},
        {{{"LANG", "zh_Hant_TW"}}, 1},
        {{{"LANG", "zh-Hant"}}, 1},
        {{{"LANG", "zh_HK.UTF-8"}}, 1},
        {{{"LANG", "zh_MO"}}, 1},
        {{{"LANG", "zh_tw.big5"}}, 1},
        {{{"LANG", "zh_TW@radical"}}, 1},
        {{{"LANG", "C"}}, 2},
        {{{"LANG", "C.UTF-8"}}, 2},
        {{{"LANG", "POSIX"}}, 2},
        {{{"LANG", "en_US@euro"}}, 2},
        {{{"LANG", "de_DE.UTF-8"}}, 2},
        {{{"LANG", ""}}, 2},
        {{{"LC_ALL", "zh_TW.UTF-8"}, {"LC_MESSAGES", "zh_CN.UTF-8"}, {"LANG", "en_US.UTF-8"}}, 1},
        {{{"LC_MESSAGES", "zh_CN.UTF-8"}, {"LANG", "zh_TW.UTF-8"}}, 0},
        {{{"LANGUAGE", "zh_TW:zh_CN"}, {"LANG", "zh_CN.UTF-8"}}, 1},
        {{{"LANGUAGE", "de:fr:zh_HK"}, {"LANG", "en_US.UTF-8"}}, 1},
        {{{"LANGUAGE", "en:zh_TW"}, {"LANG", "zh_TW.UTF-8"}}, 2},
        {{{"LANGUAGE", "de"}, {"LANG", "zh_CN.UTF-8"}}, 2},
        {{{"LANGUAGE", "zh_TW"}, {"LC_ALL", "C"}, {"LANG", "zh_TW.UTF-8"}}, 2},
        {{{"LANGUAGE", "zh_TW"}}, 2},
    };
    for (const Row& row : rows) {
        const auto environment = [&row](const char* name) {
            const auto it = row.environment.find(name);
            return it == row.environment.end() ? QString() : it->second;
        };
        std::string text;
        for (const auto& [name, value] : row.environment)
            text += name + "=" + value.toStdString() + " ";
        EXPECT_EQ(languageFromEnvironment(environment), row.language) << text;
        if (row.environment.size() == 1 && row.environment.count("LANG")) {
            EXPECT_EQ(languageForLocale(row.environment.at("LANG")), row.language) << text;
        }
    }
}
