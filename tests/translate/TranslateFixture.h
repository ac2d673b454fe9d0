#pragma once
// A small language list for the editor's tests: three source texts, the
// languages 0409, "CH" (an identifier no locale has) and 0804, in that order.
#include "config/translate/LanguageDesignModel.h"
#include "config/ui/kwLanguage.h"

#include <QFile>
#include <QString>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace translate_test {

inline const QString kYing = QString::fromUtf8("\xE5\xBA\x94\xE7\x94\xA8"); // 应用
inline const QString kTui = QString::fromUtf8("\xE9\x80\x80\xE5\x87\xBA");  // 退出

inline TkwLangData Fixture()
{
    return {{"Apply", "Exit", "OK"},
            {{"0409", {"Apply=Apply", "Exit=Exit", "OK=OK"}},
             {"CH", {"Apply=YingYong"}},
             {"0804", kwSortedUnique({"Apply=" + kYing, "Exit=" + kTui, "OK="})}}};
}

inline QByteArray ReadBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The position of a system language in the editor's language list.
inline int SystemLanguageIndex(const QString &id)
{
    const auto list = TkwLanguageDesignModel::SystemLanguages();
    for (int i = 0; i < list.size(); ++i)
        if (list[i].second == id)
            return i;
    ADD_FAILURE() << "no system language " << id.toStdString();
    return -1;
}

// What a file makes of a text in a language, read through the language
// component (the translation function with that language selected).
inline QString TranslatedBy(const QString &folder, const QString &id, const QString &text)
{
    TkwLanguage lang(nullptr, folder);
    EXPECT_GE(lang.GetLanguageIndexByShortID(id), 0) << id.toStdString();
    lang.SetLang(id);
    const QString result = Translate(text);
    lang.SetLang(QStringLiteral("en"));
    return result;
}

// Lets writes of this process fail beyond `bytes` (EFBIG) for its lifetime.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &FOld);
        rlimit lower = FOld;
        lower.rlim_cur = bytes;
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &lower), 0);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldHandler);
    }

private:
    rlimit FOld{};
    void (*FOldHandler)(int) = nullptr;
};

} // namespace translate_test
