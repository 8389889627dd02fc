#include "app/Translations.h"

#include <QCoreApplication>
#include <QTranslator>

#include <memory>

namespace {

std::unique_ptr<QTranslator> &installed()
{
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

} // namespace

bool Translations::install(const QLocale &locale)
{
    if (installed()) {
        QCoreApplication::removeTranslator(installed().get());
        installed().reset();
    }
    // Russian first among the user's languages keeps the source texts, even when English follows it.
    for (const QString &language : locale.uiLanguages()) {
        if (language.startsWith(QLatin1String("ru")))
            return false;
        auto translator = std::make_unique<QTranslator>();
        if (translator->load(QStringLiteral(":/i18n/melodrop_") + QLocale(language).name().left(2))) {
            QCoreApplication::installTranslator(translator.get());
            installed() = std::move(translator);
            return true;
        }
    }
    return false;
}

QString Translations::installedLanguage()
{
    return installed() ? installed()->language().left(2) : QString();
}
