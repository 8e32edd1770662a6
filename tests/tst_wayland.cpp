#include "fakeprompts.h"
#include "sorter.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char **environ;

namespace
{
using namespace std::chrono_literals;

// A headless weston of the test's own, with a runtime folder of its own, started by the test
// and stopped by its process ID.
class Weston
{
public:
    Weston() = default;
    Weston(const Weston &) = delete;
    Weston &operator=(const Weston &) = delete;
    ~Weston() { stop(); }

    // Starts weston and makes it the display of this process; returns why it could not.
    QString start()
    {
        if (!m_runtime.isValid())
            return QStringLiteral("no temporary folder for weston");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        qputenv("WAYLAND_DISPLAY", socketName);
        const QByteArray socket = QByteArray("--socket=") + socketName;
        const QByteArray log = "--log=" + QFile::encodeName(m_runtime.filePath(u"weston.log"_qs));
        const char *const arguments[] = {"weston",      "--backend=headless-backend.so",
                                         socket.data(), "--idle-time=0",
                                         "--no-config", log.constData(),
                                         nullptr};
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        for (int handle : {0, 1, 2})
            posix_spawn_file_actions_addopen(&quiet, handle, "/dev/null", O_RDWR, 0);
        const int error = posix_spawnp(&m_pid, "weston", &quiet, nullptr,
                                       const_cast<char *const *>(arguments), environ);
        posix_spawn_file_actions_destroy(&quiet);
        if (error != 0) {
            m_pid = 0;
            return QStringLiteral("weston cannot start (Debian's weston package): %1")
                .arg(QString::fromLocal8Bit(std::strerror(error)));
        }
        const QString opened = m_runtime.filePath(QString::fromLatin1(socketName));
        for (auto waited = 0ms; waited < 20s; waited += 20ms) {
            if (QFile::exists(opened))
                return {};
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = 0;
                return u"weston ended at start: "_qs + lastWords();
            }
            std::this_thread::sleep_for(20ms);
        }
        stop();
        return u"weston did not open its socket: "_qs + lastWords();
    }

private:
    static constexpr const char *socketName = "file-sorter-test";

    QString lastWords() const
    {
        QFile log(m_runtime.filePath(u"weston.log"_qs));
        return log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll().right(400))
                                             : QString();
    }

    void stop()
    {
        if (m_pid == 0)
            return;
        ::kill(m_pid, SIGTERM);
        int status = 0;
        for (auto waited = 0ms; waited < 5s; waited += 20ms) {
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = 0;
                return;
            }
            std::this_thread::sleep_for(20ms);
        }
        ::kill(m_pid, SIGKILL);
        waitpid(m_pid, &status, 0);
        m_pid = 0;
    }

    QTemporaryDir m_runtime;
    pid_t m_pid = 0;
};
} // namespace

// The window on a Wayland desktop, natively rather than through XWayland.
class TestWayland : public QObject
{
    Q_OBJECT

public:
    explicit TestWayland(QString problem) : m_problem(std::move(problem)) {}

private slots:
    void init();
    void windowShowsAtItsFixedSize();
    void closingEndsTheProgram();

private:
    QString m_problem;
    FakePrompts m_prompts;
};

void TestWayland::init()
{
    if (!m_problem.isEmpty())
        QSKIP(qPrintable(m_problem));
    if (QGuiApplication::platformName() != u"wayland")
        QSKIP("Qt's Wayland platform cannot start (Debian's qt6-wayland package)");
}

void TestWayland::windowShowsAtItsFixedSize()
{
    Sorter sorter(m_prompts, m_prompts);
    sorter.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sorter));
    QCOMPARE(sorter.windowHandle()->size(), QSize(203, 270));
    QCOMPARE(sorter.windowHandle()->minimumSize(), QSize(203, 270));
    QCOMPARE(sorter.windowHandle()->maximumSize(), QSize(203, 270));
    QCOMPARE(sorter.Command2->geometry(), QRect(0, 0, 105, 41));
}

void TestWayland::closingEndsTheProgram()
{
    Sorter sorter(m_prompts, m_prompts);
    sorter.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sorter));
    // Through the platform's window, as when the compositor asks the window to close.
    QTimer::singleShot(0, &sorter, [&] { sorter.windowHandle()->close(); });
    QTimer::singleShot(10'000, qApp, [] { QApplication::exit(1); }); // in case it hangs
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!sorter.isVisible());
}

int main(int argc, char *argv[])
{
    Weston weston;
    const QString problem = weston.start();
    // Without weston the window goes offscreen, only to tell why the tests are skipped.
    qputenv("QT_QPA_PLATFORM", problem.isEmpty() ? "wayland;offscreen" : "offscreen");
    QApplication app(argc, argv);
    TestWayland test(problem);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_wayland.moc"
