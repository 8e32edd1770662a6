// Loads a list file into the real window, offscreen, through the Load command, and prints
// "load_s max_gap_ms items": the time until the last item is in the list, and the longest
// time between two ticks of a 10 ms timer while the load ran.
// Usage: QT_QPA_PLATFORM=offscreen loadbench FILE

#include "prompts.h"
#include "sortedlistbox.h"
#include "sorter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

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
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: loadbench FILE\n", stderr);
        return 2;
    }
    Answer answer(QString::fromLocal8Bit(argv[1]));
    Sorter sorter(answer, answer);
    sorter.show();

    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    QTimer ticker;
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
    std::printf("%.3f %.1f %lld\n", double(lastTick) / 1e9, double(longestGap) / 1e6,
                static_cast<long long>(sorter.List1->ListCount()));
    return 0;
}
