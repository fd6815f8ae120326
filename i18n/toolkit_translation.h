#pragma once

#include <QString>

namespace i18n {

// The toolkit's own texts (message box buttons, file, colour and print dialogs) in the language
// given, from Qt's translations ("qtbase_<language>.qm"); an empty language removes them, which
// leaves Qt's English. Does nothing before the application object exists.
void installToolkitTranslation(const QString& language);

} // namespace i18n
