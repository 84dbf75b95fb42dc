// Measures the main window on folders of 10,000 and 100,000 letters, round
// by round side by side in one run: from program start
// to the first frame that shows the list's rows, the resident memory with
// them listed, opening a 10 MB letter with attachments from the list to the
// painted pane, and a scroll through all rows (which must make rows only for
// what is on screen and read no letter). Each round is a fresh process of
// this program started the way the program starts its window.
//
// Figures are meant for the test environment: Xvfb with software OpenGL
// (Mesa llvmpipe), as tests/run-test.sh sets it up, e.g.
//   tests/run-test.sh xvfb build/bench/bench_window 5
// Software OpenGL compiles every shader on first use, so what the first
// frame draws weighs much more there than on a graphics card.
//
//   bench_window [rounds]
// BENCH_LETTERS=n[,m...] lists those numbers of letters instead (each in a
// home of its own); BENCH_START_ONLY=1 stops each round after the list,
// BENCH_OPEN_ONLY=1 after opening the letter.
#include "base/settings.h"
#include "fixtures.h"
#include "main/qtquick2applicationviewer.h"
#include "model/letter.h"
#include "model/model.h"
#include "model/proxymodel.h"
#include "testhome.h"
#include "window.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <functional>
#include <cstdio>
#include <vector>

namespace {

const QString account = QStringLiteral("bench@example.org");

std::vector<int> sizes()
{
    std::vector<int> sizes;
    const QByteArray wanted = qgetenv("BENCH_LETTERS");
    for (const QByteArray &size : wanted.split(','))
        if (size.toInt() > 0)
            sizes.push_back(size.toInt());
    return sizes.empty() ? std::vector<int>{10000, 100000} : sizes;
}

QByteArray base64Lines(const QByteArray &data)
{
    const QByteArray b64 = data.toBase64();
    QByteArray out;
    for (int i = 0; i < b64.size(); i += 76)
        out += b64.mid(i, 76) + "\r\n";
    return out;
}

// About 10 MB: an HTML and a plain body and two attachments.
QByteArray bigMessage()
{
    QByteArray noise(5 * 1024 * 1024, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 2654435761u) >> 13);
    QByteArray text;
    for (int i = 0; i < 500; ++i)
        text += "Line " + QByteArray::number(i) + " of the report\r\n";
    return "Message-ID: <big@bench>\r\nFrom: Reporter <reporter@example.org>\r\nTo: bench@example.org\r\n"
           "Subject: Big report\r\nDate: Tue, 01 Dec 2026 10:20:30 +0000\r\nMIME-Version: 1.0\r\n"
           "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
           "--b\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<p>" + text + "</p>\r\n"
           "--b\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" + text + "\r\n"
           "--b\r\nContent-Type: application/pdf; name=\"report.pdf\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
        + base64Lines(noise) + "--b\r\nContent-Type: application/zip; name=\"data.zip\"\r\n"
           "Content-Transfer-Encoding: base64\r\n\r\n" + base64Lines(noise.left(2 * 1024 * 1024)) + "--b--\r\n";
}

// An account in home `home` whose Incoming folder lists that many letters
// (the big one newest) and whose server record is absent, so that nothing
// goes to the network.
void prepareHome(const QString &home, int letters)
{
    // The program's settings file, in this home rather than the process's.
    QSettings settings(home + QSettings().fileName().mid(QDir::homePath().size()), QSettings::IniFormat);
    const QString dir = home + "/.drel-mail/" + account;
    // A sandbox kept from an earlier run (MAIL_TEST_SANDBOX set by hand) is
    // used as it is: making 100,000 message files takes minutes.
    if (QFile::exists(dir + "/Incoming/big@bench.eml"))
        return;
    settings.setValue(Settings::profilesGroup + '/' + account + '/' + Settings::inServerKey, "absent.invalid:1");
    settings.setValue(Settings::globalGroup + '/' + Settings::currentProfileKey, account);
    Fixtures::writeIncomingFolder(dir, letters - 1);
    QSettings index(dir + "/incoming.conf", QSettings::IniFormat);
    index.beginGroup("mail/big@bench");
    index.setValue("from", QStringLiteral("Reporter <reporter@example.org>"));
    index.setValue("subject", QStringLiteral("Big report"));
    index.setValue("date", QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC).addSecs(letters * 60));
    index.setValue("letterType", Letter::LetterUnseen);
    index.setValue("folderType", 0);
    index.endGroup();
    QFile big(dir + "/Incoming/big@bench.eml");
    big.open(QIODevice::WriteOnly);
    big.write(bigMessage());
}

// VmRSS: now; VmHWM: the most so far.
long residentKb(const QByteArray &field = "VmRSS:")
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// Notes the first frame whose scene met a condition, at the moment that
// frame has been swapped. The condition is checked on the GUI thread after
// each frame's polish, just before the render thread takes the scene over:
// checking when the swap is announced to the GUI thread would credit a
// frame with what was made after it.
class FrameWatch
{
public:
    FrameWatch(std::function<bool()> condition, std::function<void(qint64)> onSwapped)
        : m_condition(std::move(condition)), m_onSwapped(std::move(onSwapped))
    {
    }

    void watch(QQuickWindow *window)
    {
        QObject::connect(window, &QQuickWindow::afterAnimating, window, [this] {
            if (m_armed && !m_met && m_condition())
                m_met = true;
        }, Qt::DirectConnection);
        QObject::connect(window, &QQuickWindow::afterSynchronizing, window, [this] {
            if (m_met)
                m_synced = true;
        }, Qt::DirectConnection);
        QObject::connect(window, &QQuickWindow::frameSwapped, window, [this] {
            if (m_synced && !m_done.exchange(true)) {
                m_onSwapped(m_timer.nsecsElapsed());
                m_swapped = true;
            }
        }, Qt::DirectConnection);
    }

    // Watches from now on, and times from now.
    void arm()
    {
        m_met = m_synced = m_done = m_swapped = false;
        m_timer.start();
        m_armed = true;
    }
    bool swapped() const { return m_swapped; }

private:
    std::function<bool()> m_condition;
    std::function<void(qint64)> m_onSwapped;
    QElapsedTimer m_timer;
    std::atomic<bool> m_armed{false};
    std::atomic<bool> m_met{false};
    std::atomic<bool> m_synced{false};
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_swapped{false};
};

// Hands the program's window to the watches before its first frame: the
// first expose of a Qt Quick window renders that frame.
class ExposeHook : public QObject
{
public:
    explicit ExposeHook(std::function<void(QQuickWindow *)> hook) : m_hook(std::move(hook))
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && !m_hooked) {
            if (auto *window = qobject_cast<QQuickWindow *>(object)) {
                m_hooked = true;
                m_hook(window);
            }
        }
        return false;
    }

private:
    std::function<void(QQuickWindow *)> m_hook;
    bool m_hooked = false;
};

// One round in this process: prints "rows", then "rss <kB>", "open <ms>",
// "scroll <ms> <most rows at once> <letters read> <resident kB after>".
int runRound()
{
    TestHome::prepareProgram();
    MailWindow window;
    FrameWatch rows([&] { return window.item("mailRow0") != nullptr; }, [](qint64) {
        // Printed from the render thread at the swap; the parent takes the time.
        std::printf("rows\n");
        std::fflush(stdout);
    });
    FrameWatch opened([&] {
        return window.value("mailSubject", "text").toString() == "Big report" && window.item("mailBody0");
    }, [](qint64 ns) {
        std::printf("open %.1f\n", ns / 1e6);
        std::fflush(stdout);
    });
    ExposeHook hook([&](QQuickWindow *w) {
        rows.watch(w);
        opened.watch(w);
    });
    MailWindow::Options options;
    rows.arm();
    if (!window.start(options))
        return 1;
    MailWindow::waitFor([&] { return rows.swapped(); }, 10000);
    QTest::qWait(100);
    std::printf("rss %ld\n", residentKb());
    std::fflush(stdout);
    // Once the rows agree with the message files, the start is over.
    QQuickItem *list = window.item("mailListView");
    auto *model = qobject_cast<ProxyModel *>(list->property("model").value<QObject *>());
    Model *folder = model->folderModel();
    MailWindow::waitFor([&] { return folder->isLoaded(); }, 30000);
    QTest::qWait(100);
    std::printf("settled %ld %ld\n", residentKb(), residentKb("VmHWM:"));
    std::fflush(stdout);

    if (qEnvironmentVariableIsSet("BENCH_START_ONLY"))
        return 0;
    // Open the big letter (the newest, row 0) and wait for the painted pane.
    opened.arm();
    window.click(window.item("mailRow0"));
    MailWindow::waitFor([&] { return opened.swapped(); }, 10000);

    if (qEnvironmentVariableIsSet("BENCH_OPEN_ONLY"))
        return 0;
    // Scroll from top to bottom a screen at a time, one frame per step.
    int most = 0;
    QElapsedTimer timer;
    timer.start();
    while (list->property("contentY").toReal() + list->height() < list->property("contentHeight").toReal()) {
        list->setProperty("contentY", list->property("contentY").toReal() + list->height());
        QCoreApplication::processEvents();
        // Rows scrolled away are deleted later, which a loop of its own
        // like this one never reaches without asking.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        int made = 0;
        for (QQuickItem *row : list->property("contentItem").value<QQuickItem *>()->childItems())
            made += row->objectName().startsWith("mailRow") ? 1 : 0;
        most = std::max(most, made);
    }
    // Letters are made as their rows are first shown; asking the model for
    // the others would make them.
    int read = 0;
    for (const Letter *letter : folder->findChildren<Letter *>(QString(), Qt::FindDirectChildrenOnly))
        read += letter->parsed() ? 1 : 0;
    std::printf("scroll %.1f %d %d %ld\n", timer.nsecsElapsed() / 1e6, most, read - 1, residentKb());
    std::fflush(stdout);
    return 0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void report(const char *what, const std::vector<double> &v, const char *unit)
{
    if (v.empty())
        return;
    std::printf("%-34s min %8.1f  median %8.1f %s\n", what, *std::min_element(v.begin(), v.end()), median(v), unit);
}

}

int main(int argc, char *argv[])
{
    if (argc > 1 && QByteArray(argv[1]) == "--round") {
        TestHome::prepare();
        QApplication app(argc, argv);
        return runRound();
    }
    TestHome::prepare();
    QApplication app(argc, argv);
    TestHome::prepareProgram();
    const std::vector<int> letters = sizes();
    std::vector<QProcessEnvironment> homes;
    for (int size : letters) {
        const QString home = TestHome::path() + QStringLiteral("/letters-%1").arg(size);
        prepareHome(home, size);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home);
        environment.insert("XDG_CONFIG_HOME", home + "/.config");
        environment.insert("XDG_DATA_HOME", home + "/.local/share");
        environment.insert("XDG_CACHE_HOME", home + "/.cache");
        homes.push_back(environment);
    }
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    struct Figures { std::vector<double> first, rss, settled, peak, open, scroll, most, read, scrolled; };
    std::vector<Figures> figures(letters.size());
    // The sizes take turns, so that a busier moment of the machine does not
    // fall on one size only.
    for (int round = 0; round < rounds; ++round) {
        for (size_t size = 0; size < letters.size(); ++size) {
            Figures &f = figures[size];
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.setProcessEnvironment(homes[size]);
            QElapsedTimer timer;
            timer.start();
            child.start(QCoreApplication::applicationFilePath(), {"--round"});
            auto readLines = [&] {
                while (child.canReadLine()) {
                    const QList<QByteArray> line = child.readLine().trimmed().split(' ');
                    if (line[0] == "rows")
                        f.first.push_back(timer.nsecsElapsed() / 1e6);
                    else if (line[0] == "rss")
                        f.rss.push_back(line[1].toDouble() / 1024);
                    else if (line[0] == "settled") {
                        f.settled.push_back(line[1].toDouble() / 1024);
                        f.peak.push_back(line[2].toDouble() / 1024);
                    } else if (line[0] == "open")
                        f.open.push_back(line[1].toDouble());
                    else if (line[0] == "scroll") {
                        f.scroll.push_back(line[1].toDouble());
                        f.most.push_back(line[2].toDouble());
                        f.read.push_back(line[3].toDouble());
                        f.scrolled.push_back(line[4].toDouble() / 1024);
                    }
                }
            };
            while (child.state() != QProcess::NotRunning) {
                child.waitForReadyRead(1000);
                readLines();
            }
            readLines();
            child.waitForFinished(30000);
        }
    }
    for (size_t size = 0; size < letters.size(); ++size) {
        const Figures &f = figures[size];
        if (f.first.empty() || (f.open.empty() && !qEnvironmentVariableIsSet("BENCH_START_ONLY"))) {
            std::printf("a round of %d letters did not finish\n", letters[size]);
            return 1;
        }
        std::printf("\n%d letters, %d rounds\n", letters[size], rounds);
        report("start to first frame with rows", f.first, "ms");
        report("resident memory, list shown", f.rss, "MB");
        report("resident memory, rows checked", f.settled, "MB");
        report("peak resident memory until then", f.peak, "MB");
        report("open 10 MB letter to painted pane", f.open, "ms");
        report("scroll all rows", f.scroll, "ms");
        report("most rows made at once", f.most, "rows");
        report("letters read while scrolling", f.read, "");
        report("resident memory, scrolled to the end", f.scrolled, "MB");
    }
    if (letters.size() > 1) {
        const auto min = [&](size_t size) {
            return *std::min_element(figures[size].first.begin(), figures[size].first.end());
        };
        std::printf("\nstart, %d against %d letters: %.2fx (min), %.2fx (median)\n", letters.back(),
                    letters.front(), min(letters.size() - 1) / min(0),
                    median(figures.back().first) / median(figures.front().first));
    }
    return 0;
}
