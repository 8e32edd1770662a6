#include "listfile/encoding/windowscodepage.h"

#include <QByteArray>

#include <array>
#include <cstdlib>

namespace
{
struct Language {
    QByteArrayView code; // ISO 639, with its script or country where they choose
    const char *codePage;
};

// Windows' default code pages for programs that are not Unicode, by language.
constexpr std::array languages{
    // Central European
    Language{"pl", "windows-1250"},
    Language{"cs", "windows-1250"},
    Language{"sk", "windows-1250"},
    Language{"hu", "windows-1250"},
    Language{"hr", "windows-1250"},
    Language{"sl", "windows-1250"},
    Language{"ro", "windows-1250"},
    Language{"sq", "windows-1250"},
    Language{"bs", "windows-1250"},
    Language{"sr@latin", "windows-1250"},
    Language{"hsb", "windows-1250"},
    Language{"dsb", "windows-1250"},
    Language{"tk", "windows-1250"},
    // Cyrillic
    Language{"ru", "windows-1251"},
    Language{"uk", "windows-1251"},
    Language{"be", "windows-1251"},
    Language{"bg", "windows-1251"},
    Language{"mk", "windows-1251"},
    Language{"sr", "windows-1251"},
    Language{"kk", "windows-1251"},
    Language{"ky", "windows-1251"},
    Language{"tt", "windows-1251"},
    Language{"ba", "windows-1251"},
    Language{"mn", "windows-1251"},
    Language{"sah", "windows-1251"},
    Language{"tg", "windows-1251"},
    Language{"uz@cyrillic", "windows-1251"},
    Language{"az@cyrillic", "windows-1251"},
    Language{"bs@cyrillic", "windows-1251"},
    // Greek, Turkish, Hebrew, Arabic
    Language{"el", "windows-1253"},
    Language{"tr", "windows-1254"},
    Language{"az", "windows-1254"},
    Language{"uz", "windows-1254"},
    Language{"he", "windows-1255"},
    Language{"yi", "windows-1255"},
    Language{"ar", "windows-1256"},
    Language{"fa", "windows-1256"},
    Language{"ur", "windows-1256"},
    Language{"ps", "windows-1256"},
    Language{"ckb", "windows-1256"},
    Language{"ug", "windows-1256"},
    Language{"sd", "windows-1256"},
    // Baltic, Vietnamese, Thai
    Language{"et", "windows-1257"},
    Language{"lv", "windows-1257"},
    Language{"lt", "windows-1257"},
    Language{"vi", "windows-1258"},
    Language{"th", "windows-874"},
    // East Asian
    Language{"ja", "windows-932"},
    Language{"zh_TW", "windows-950"},
    Language{"zh_HK", "windows-950"},
    Language{"zh_MO", "windows-950"},
    Language{"zh", "windows-936"},
    Language{"ko", "windows-949"},
};
} // namespace

TextEncoding windowsCodePageOf(QByteArrayView locale)
{
    // language[_TERRITORY][.codeset][@modifier]
    const qsizetype at = locale.indexOf('@');
    const QByteArrayView modifier = at < 0 ? QByteArrayView() : locale.sliced(at);
    QByteArrayView name = at < 0 ? locale : locale.first(at);
    if (const qsizetype dot = name.indexOf('.'); dot >= 0)
        name = name.first(dot);
    const qsizetype underscore = name.indexOf('_');
    const QByteArrayView language = underscore < 0 ? name : name.first(underscore);
    const QByteArray withModifier = language.toByteArray() + modifier.toByteArray();
    for (const QByteArrayView key : {QByteArrayView(withModifier), name, language}) {
        for (const Language &entry : languages) {
            if (entry.code == key) {
                if (const auto codePage = TextEncoding::codePageNamed(entry.codePage))
                    return *codePage;
            }
        }
    }
    return TextEncoding::Windows1252;
}

TextEncoding windowsCodePageFromEnvironment()
{
    for (const char *variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char *value = std::getenv(variable);
        if (value && *value)
            return windowsCodePageOf(value);
    }
    return TextEncoding::Windows1252;
}
