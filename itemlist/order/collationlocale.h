#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// The locale whose collation orders a list, as ICU names it ("sv_SE", "sr_Latn_RS",
// "de@collation=phonebook", "root"), and what chose it.
struct CollationLocale {
    QByteArray name;
    // The environment variable or option that named it; empty when none did.
    QByteArray source;
};

// The collation locale that the environment names, as POSIX tools read it: LC_ALL, else
// LC_COLLATE, else LANG, the first one set and not empty. C, POSIX, their variants, an unset
// environment and a locale that ICU has no data for all give the root order.
[[nodiscard]] CollationLocale collationLocaleFromEnvironment();

// The ICU name of the locale that name gives: a POSIX name ("sv_SE.UTF-8", "sr_RS@latin"),
// an ICU name ("sv", "de@collation=phonebook"), a BCP 47 tag ("sv-SE", "es-u-co-trad") or
// "root". Empty when ICU knows no such locale.
[[nodiscard]] std::optional<QByteArray> collationLocaleNamed(QByteArrayView name);
