#include "gui/app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <string_view>

#include "base/message_catalogue.h"

namespace brindlecot {

bool InstallQtTranslations(QCoreApplication& application) {
    const std::string_view catalogue = MessageCatalogueName();
    const bool traditional = catalogue.find("msgTraChi") != std::string_view::npos;
    auto* translator = new QTranslator(&application);
    const QString name =
        traditional ? QStringLiteral("qtbase_zh_TW") : QStringLiteral("qtbase_zh_CN");
    if (!translator->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

}  // namespace brindlecot
