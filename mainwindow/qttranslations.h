#pragma once

class QLocale;

// Loads Qt's own translations for locale, so that file dialogs and the buttons of message
// boxes speak the user's language; the window's own texts are installWindowTranslations()'s.
// Returns false when Qt has no translation for that language.
bool installQtTranslations(const QLocale &locale);
