#include "app/translations.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLibraryInfo>
#include <QTranslator>

namespace Translations {

namespace {
bool load(const QLocale &locale, const QString &name, const QString &folder)
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(locale, name, QStringLiteral("_"), folder))
        return QCoreApplication::installTranslator(translator);
    delete translator;
    return false;
}
} // namespace

bool install(const QLocale &locale)
{
    // A user who asks for English first gets the texts as written, even when a language
    // further down the list of preferences has a translation.
    if (locale.language() == QLocale::English || locale.language() == QLocale::C)
        return false;
    load(locale, QStringLiteral("qtbase"), QLibraryInfo::location(QLibraryInfo::TranslationsPath));
    if (load(locale, QStringLiteral("corvelle"), QStringLiteral(":/translations")))
        return true;
    qDebug() << "No translation for" << locale.uiLanguages() << "- the window speaks English";
    return false;
}

} // namespace Translations
