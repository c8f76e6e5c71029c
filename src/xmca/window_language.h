// The window's language: chosen from the locale or the command line, loaded as Qt
// translators, and applied at the window's edge to the English texts the core
// returns (status messages, verdicts), so the core and mcatool stay English.
#pragma once

#include <QLocale>
#include <QString>

namespace xmca::ui {

// "ja" or "en": the override when it is one of them, else the locale's language
// (Japanese gives "ja", anything else "en").
QString chooseLanguage(const QString& override, const QLocale& locale = QLocale::system());

// Installs the program's and Qt's own translators for lang on the application,
// replacing those installed before ("en" only removes them). Returns false when the
// program's translation for lang could not be loaded (the window stays English).
bool installLanguage(const QString& lang);

// The language installLanguage() set last ("en" before any call).
QString currentLanguage();

// A status-box message (Edit1) or result line from the core, in the window's
// language: a fixed message is looked up as it is, a message with a figure in it by
// its pattern; anything else (analyser commands, numbers, file paths) comes back
// unchanged.
QString statusText(const QString& english);
inline QString statusText(const std::string& english) { return statusText(QString::fromStdString(english)); }

// A verdict text of the screening (as the core writes it) in the window's language,
// a withheld one ("No verdict - <reason>") with its reason.
QString verdictText(const QString& english);

}  // namespace xmca::ui
