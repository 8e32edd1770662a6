// Loads a list file into the real window, offscreen, through the Load command, and prints
// "load_s max_gap_ms first_item_ms items add_median_ms add_max_ms": the time until the
// last item is in the list, the longest time between two ticks of a 10 ms timer while the
// load ran, the time until the first items were in the list, how many there are, and then
// the time from a click on Add to the row shown, over 25 clicks into the loaded list.
// Usage: QT_QPA_PLATFORM=offscreen loadbench FILE

#include "order/collationlocale.h"
#include "prompts.h"
#include "sortedlistbox.h"
#include "sorter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{
// Answers the open dialog with the file to load.
class Answer : public FileDialogs, public MessageBoxes
{
public:
    explicit Answer(QString path) : m_path(std::move(path)) {}
    QString chooseFileToOpen(QWidget *, const QString &, const QStringList &) override
    {
        return m_path;
    }
    QString chooseFileToSave(QWidget *, const QString &, const QStringList &) override
    {
        return {};
    }
    void showError(QWidget *, const QString &text) override
    {
        std::fprintf(stderr, "loadbench: %s\n", qPrintable(text));
    }

private:
    QString m_path;
};

// Milliseconds from a click on Add to the new row painted, for items all over the list.
std::vector<double> timeAdds(Sorter &sorter)
{
    std::vector<double> times;
    QElapsedTimer clock;
    for (int click = 0; click < 25; ++click) {
        sorter.Text1->setText(QStringLiteral("added %1 %2").arg(QChar(u'a' + click)).arg(click));
        clock.start();
        sorter.Command1->click();
        sorter.List1->viewport()->repaint();
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times;
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: loadbench FILE\n", stderr);
        return 2;
    }
    Answer answer(QString::fromLocal8Bit(argv[1]));
    Sorter sorter(answer, answer, Collation(collationLocaleFromEnvironment().name));
    sorter.show();

    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    qint64 firstItem = -1;
    QObject::connect(&sorter.List1->listModel(), &QAbstractItemModel::layoutChanged, [&] {
        if (firstItem < 0)
            firstItem = clock.nsecsElapsed();
    });
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
        if (sorter.Command2->isEnabled()) {
            ticker.stop();
            QApplication::quit();
        }
    });
    QTimer::singleShot(0, [&] {
        clock.start();
        sorter.Command2->click();
        lastTick = clock.nsecsElapsed();
        ticker.start(10);
    });
    app.exec();
    const qint64 loaded = lastTick;

    const std::vector<double> adds = timeAdds(sorter);
    std::printf("%.3f %.1f %.1f %lld %.2f %.2f\n", double(loaded) / 1e9, double(longestGap) / 1e6,
                double(firstItem) / 1e6, static_cast<long long>(sorter.List1->ListCount() - 25),
                adds[adds.size() / 2], adds.back());
    return 0;
}
