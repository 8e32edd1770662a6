#pragma once

class QLocale;

// Loads the window's own translations for locale, from those built into the program, so that
// its controls and the file commands' messages speak the user's language. Returns false when
// there is none for that language: the window then speaks English.
bool installWindowTranslations(const QLocale &locale);
