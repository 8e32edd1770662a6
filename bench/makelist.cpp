// Writes a reproducible list file of mixed-case words, multi-word items and numbered items,
// or with "long", of items of 12 to 22 words (about 120 characters).
// Usage: makelist LINES OUTPUT [long]

#include <QFile>
#include <QRandomGenerator>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[])
{
    const bool longItems = argc == 4 && QByteArrayView(argv[3]) == "long";
    if (argc != 3 && !longItems) {
        std::fputs("usage: makelist LINES OUTPUT [long]\n", stderr);
        return 2;
    }
    const qsizetype lines = QByteArray(argv[1]).toLongLong();
    const QStringList words =
        QStringLiteral(
            "apple Banana cherry delta Echo foxtrot golf Hotel india Juliet kilo lima Mike "
            "november Oscar papa quebec Romeo sierra Tango uniform victor Whiskey x-ray yankee "
            "zulu résumé Ångström naïve café Zoë über façade piñata smörgåsbord crème")
            .split(u' ');
    QRandomGenerator random(20261208);
    const auto word = [&] { return words[random.bounded(int(words.size()))]; };

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
