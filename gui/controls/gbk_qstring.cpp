#include "gui/controls/gbk_qstring.h"

#include "base/gbk_text.h"
#include "base/message_catalogue.h"

namespace brindlecot {

QString FromGbk(std::string_view gbk) {
    return QString::fromStdString(GbkToUtf8ForDisplay(gbk));
}

QString CatalogueText(CatalogueKey key) {
    return FromGbk(LoadMessage(key));
}

}  // namespace brindlecot
