#include "order/collationlocale.h"

#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include <array>

namespace
{
const QByteArray root = QByteArrayLiteral("root");

bool isPosixDefault(QByteArrayView name)
{
    return name == "C" || name == "POSIX" || name.startsWith("C.") || name.startsWith("POSIX.");
}

// ICU's name for a POSIX locale name, language[_TERRITORY][.CODESET][@MODIFIER]; an ICU name
// passes through. Of the modifiers, only a script changes the order.
QByteArray fromPosix(QByteArrayView name)
{
    const qsizetype at = name.indexOf('@');
    QByteArray base = name.first(at < 0 ? name.size() : at).toByteArray();
    const QByteArray modifier = at < 0 ? QByteArray() : name.sliced(at + 1).toByteArray();
    if (const qsizetype dot = base.indexOf('.'); dot >= 0)
        base.truncate(dot);
    if (modifier.contains('='))
        return base + '@' + modifier; // ICU's keywords, as in "de@collation=phonebook"
    const char *script = modifier == "latin" ? "_Latn" : modifier == "cyrillic" ? "_Cyrl" : "";
    const qsizetype underscore = base.indexOf('_');
    return base.insert(underscore < 0 ? base.size() : underscore, script);
}

// ICU's name for a BCP 47 tag; empty when it is not one.
QByteArray fromLanguageTag(QByteArrayView tag)
{
    const QByteArray terminated = tag.toByteArray();
    std::array<char, ULOC_FULLNAME_CAPACITY> name{};
    int32_t parsed = 0;
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = uloc_forLanguageTag(terminated.constData(), name.data(),
                                               int32_t(name.size()), &parsed, &status);
    if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING ||
        parsed != terminated.size())
        return {};
    return QByteArray(name.data(), length);
}

// Whether ICU has locale data for name, or only the root's.
bool isKnown(const QByteArray &name)
{
    UErrorCode status = U_ZERO_ERROR;
    UCollator *collator = ucol_open(name.constData(), &status);
    if (U_FAILURE(status))
        return false;
    const char *valid = ucol_getLocaleByType(collator, ULOC_VALID_LOCALE, &status);
    const bool known = U_SUCCESS(status) && valid && root != valid;
    ucol_close(collator);
    return known;
}
} // namespace

std::optional<QByteArray> collationLocaleNamed(QByteArrayView name)
{
    if (name == root || isPosixDefault(name))
        return root;
    // A POSIX name may hold a hyphen in its codeset ("sv_SE.UTF-8"), a tag never "_.@".
    const bool isTag =
        name.contains('-') && !name.contains('_') && !name.contains('.') && !name.contains('@');
    const QByteArray icuName = isTag ? fromLanguageTag(name) : fromPosix(name);
    if (icuName.isEmpty() || !isKnown(icuName))
        return std::nullopt;
    return icuName;
}

CollationLocale collationLocaleFromEnvironment()
{
    for (const char *variable : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const QByteArray value = qgetenv(variable);
        if (!value.isEmpty())
            return {collationLocaleNamed(value).value_or(root), variable};
    }
    return {root, {}};
}
