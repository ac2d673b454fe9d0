// The desktop's message locales, read from the environment.
#include "platform/DesktopLocale.h"

#include <gtest/gtest.h>

using hkt::platform::DesktopMessageLocales;

TEST(DesktopLocale, MessageLocalesInTheOrderTheDesktopAsksThem)
{
    const struct {
        const char *language, *all, *messages, *lang; // nullptr: unset
        QStringList locales;
    } cases[] = {
        {nullptr, nullptr, nullptr, nullptr, {}},
        {nullptr, nullptr, nullptr, "zh_TW.UTF-8", {"zh_TW.UTF-8"}},
        {nullptr, nullptr, "zh_CN.UTF-8", "en_US.UTF-8", {"zh_CN.UTF-8"}},
        {nullptr, "de_DE.UTF-8", "zh_CN.UTF-8", "en_US.UTF-8", {"de_DE.UTF-8"}},
        // An empty variable counts as unset.
        {"", "", "", "zh_HK.UTF-8", {"zh_HK.UTF-8"}},
        {"zh_TW:zh_CN::en", nullptr, nullptr, "en_US.UTF-8", {"zh_TW", "zh_CN", "en", "en_US.UTF-8"}},
        // LANGUAGE counts with a C locale too.
        {"zh_CN", nullptr, nullptr, "C", {"zh_CN", "C"}},
    };
    for (const auto &c : cases) {
        QProcessEnvironment env;
        const char *names[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
        const char *values[] = {c.language, c.all, c.messages, c.lang};
        for (int i = 0; i < 4; ++i)
            if (values[i])
                env.insert(QString::fromLatin1(names[i]), QString::fromLatin1(values[i]));
        EXPECT_EQ(DesktopMessageLocales(env), c.locales) << c.locales.join(u' ').toStdString();
    }
}
