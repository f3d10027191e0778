#pragma once

class QCoreApplication;

namespace brindlecot {

// Qt's own texts (the file dialogs, the buttons of message boxes) in the language of the
// selected message catalogue, simplified or traditional Chinese, so that no English
// "Save As" or "Yes" meets a clerk. False when Qt's translations are not installed; those
// texts then stay English.
bool InstallQtTranslations(QCoreApplication& application);

}  // namespace brindlecot
