// Writes a reproducible list file of mixed-case words, multi-word items and numbered items,
// or with "long", of items of 12 to 22 words (about 120 characters). With a language (sv,
// da, pl, es, cs, ru or ja), about a third of the items hold words with that language's
// letters; in Russian and Japanese the other words are ASCII, so that the list can be written
// in the language's Windows code page.
// Usage: makelist LINES OUTPUT [long | LANGUAGE]

#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Words with each language's own letters and letter groups.
    const QHash<QByteArrayView, QString> languageWords = {
        {"sv", u"år äpple öl åsna ärlig ödla mål säng höst björk sjö väg Åsa Örebro"_qs},
        {"da", u"æble ø år Aalborg bær søster grød blå hær søn kælder Aase haaret"_qs},
        {"pl", u"łódź źródło żaba ślimak ćma gęś łoś mąka ręka żółw świat Łukasz"_qs},
        {"es", u"niño año mañana señor piñata español caña leña ñandú llama chico calle"_qs},
        {"cs", u"čaj řeka šálek žába chata chléb ďábel ťuk kůň hřích ucho Chrudim"_qs},
        {"ru",
         u"ёж арбуз банк вода город дом жизнь звезда книга лес море небо окно Москва Ёлка"_qs},
        {"ja",
         u"東京 大阪 さくら ねこ いぬ カメラ コーヒー 日本語 漢字 山田 花火 りんご テレビ 学校"_qs},
    };
    const QByteArrayView option = argc == 4 ? QByteArrayView(argv[3]) : QByteArrayView();
    const bool longItems = option == "long";
    if (argc < 3 || argc > 4 || (argc == 4 && !longItems && !languageWords.contains(option))) {
        std::fputs("usage: makelist LINES OUTPUT [long | sv | da | pl | es | cs | ru | ja]\n",
                   stderr);
        return 2;
    }
    const QStringList ownWords = languageWords.value(option).split(u' ', Qt::SkipEmptyParts);
    const qsizetype lines = QByteArray(argv[1]).toLongLong();
    QStringList words =
        QStringLiteral(
            "apple Banana cherry delta Echo foxtrot golf Hotel india Juliet kilo lima Mike "
            "november Oscar papa quebec Romeo sierra Tango uniform victor Whiskey x-ray yankee "
            "zulu résumé Ångström naïve café Zoë über façade piñata smörgåsbord crème")
            .split(u' ');
    if (option == "ru" || option == "ja")
        words.removeIf([](const QString &word) { return word.toLatin1() != word.toUtf8(); });
    QRandomGenerator random(20261208);
    const auto word = [&] {
        if (!ownWords.isEmpty() && random.bounded(3) == 0)
            return ownWords[random.bounded(int(ownWords.size()))];
        return words[random.bounded(int(words.size()))];
    };

    QFile output(QString::fromLocal8Bit(argv[2]));
    if (!output.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "makelist: %s\n", qPrintable(output.errorString()));
        return 2;
    }
    QByteArray text;
    for (qsizetype line = 0; line < lines; ++line) {
        QString item = word();
        if (longItems) {
            for (int count = 11 + random.bounded(11); count > 0; --count)
                item += u' ' + word();
        } else {
            switch (random.bounded(5)) {
            case 0:
                item += u' ' + word();
                break;
            case 1:
                item += QString::number(random.bounded(100000));
                break;
            case 2:
                item = item.toUpper();
                break;
            case 3:
                item += u' ' + word() + u' ' + QString::number(random.bounded(1000));
                break;
            }
        }
        text += item.toUtf8() + "\r\n";
        if (text.size() > (1 << 20)) {
            output.write(text);
            text.clear();
        }
    }
    return output.write(text) == text.size() && output.flush() ? 0 : 2;
}
