// Measures the full-text search on a store of many letters: how fast an
// existing store is indexed at first start (letters per second) and the
// longest stall of the main thread meanwhile (with a search shown in the
// folder and in all folders, as when the user types during it), the answer
// time of a set of queries (common word, rare word, prefix, two words, a
// name; min and median of repeated runs each) from the index alone and
// the way the window answers (the folder's filtered rows, the list of all
// folders' results), and how much indexing slows the filing of new letters
// by a mail check (a check of 10,000 letters, with and without the index
// following the store, in turns).
//
//   bench_search [letters] [queries]   (default 100000; "queries" stops
//                                        before the checks)
// BENCH_HOME=dir keeps the written store there for the next run;
// BENCH_PAIRS=n runs n checks of each kind (3).
#include "storefeeder.h"
#include "model/letter.h"
#include "model/model.h"
#include "model/proxymodel.h"
#include "search/lettersearch.h"
#include "search/searchresults.h"
#include "store/cache.h"
#include "model/storelayout.h"

#include <QGuiApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

#include <vmime/platforms/posix/posixHandler.hpp>

namespace {

QStringList vocabulary()
{
    static const char *const syllables[] = {"ka", "lo", "mi", "ne", "ru", "sa", "ti", "vo", "be", "dé",
                                            "zü", "ha", "or", "el", "an"};
    QRandomGenerator random(7);
    QStringList words;
    for (int i = 0; i < 30000; ++i) {
        QString word;
        const int n = 2 + int(random.bounded(3));
        for (int s = 0; s < n; ++s)
            word += QString::fromUtf8(syllables[random.bounded(15)]);
        words << word;
    }
    return words;
}

// Rank-frequency as in real text: a few words are everywhere.
const QString &pick(const QStringList &words, QRandomGenerator &random)
{
    const double u = random.generateDouble();
    const int rank = std::min(int(words.size()) - 1, int(std::pow(1.0 - u, -1.0 / 1.1)) - 1);
    return words.at(std::max(0, rank));
}

QDateTime dateOf(int i)
{
    return QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC).addSecs(qint64(i) * 600);
}

struct Generated {
    QString from;
    QString subject;
    QByteArray content;
};

Generated letter(int i, const QStringList &words, QRandomGenerator &random)
{
    static const char *const names[] = {"Anna Müller", "Jörg Weiß", "Zoë Martin", "Søren Kierkegaard",
                                        "Ali Öztürk", "Mary Smith"};
    Generated made;
    QString body;
    for (int w = 0; w < 6; ++w)
        made.subject += pick(words, random) + QLatin1Char(' ');
    made.subject.chop(1);
    for (int w = 0; w < 150; ++w)
        body += pick(words, random) + (w % 12 == 11 ? QLatin1Char('\n') : QLatin1Char(' '));
    const QByteArray address = "sender" + QByteArray::number(i % 40) + "@example.org";
    made.from = QString::fromUtf8(names[i % 6]) + QStringLiteral(" <") + QString::fromLatin1(address)
            + QLatin1Char('>');
    made.content = "From: =?UTF-8?B?" + QByteArray(names[i % 6]).toBase64() + "?= <" + address + ">\r\n"
            "To: me@example.org\r\nSubject: =?UTF-8?B?" + made.subject.toUtf8().toBase64() + "?=\r\n"
            "Date: " + dateOf(i).toString(Qt::RFC2822Date).toLatin1() + "\r\nMessage-ID: <bench"
            + QByteArray::number(i) + "@example.org>\r\nMIME-Version: 1.0\r\n"
            "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
            + body.toUtf8().replace("\n", "\r\n") + "\r\n";
    return made;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

struct Stall {
    double wall = 0; // the longest time the main thread went without a turn, in ms
    double busy = 0; // the most processor time it spent between two turns, in ms: the
                     // stall without the other programs of a loaded machine
};

// Runs the event loop until the search has nothing left to index.
Stall waitIndexed(LetterSearch &search)
{
    QElapsedTimer sinceTurn;
    sinceTurn.start();
    double busySince = threadSeconds();
    Stall longest;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest.wall = std::max(longest.wall, sinceTurn.nsecsElapsed() / 1e6 - 5);
        sinceTurn.restart();
        const double now = threadSeconds();
        longest.busy = std::max(longest.busy, (now - busySince) * 1000);
        busySince = now;
    });
    tick.start();
    QSignalSpy changed(&search, &LetterSearch::indexingChanged);
    // Indexing starts on its own thread; wait for it to start and end.
    while (!search.isIndexing() && changed.isEmpty())
        changed.wait(10000);
    while (search.isIndexing())
        changed.wait(60000);
    return longest;
}

} // namespace

int main(int argc, char *argv[])
{
    // BENCH_HOME keeps the store for the next run; the index and the
    // checks' accounts start afresh every run.
    QTemporaryDir temporary;
    const QString home = qEnvironmentVariable("BENCH_HOME", temporary.path());
    QDir(home + QStringLiteral("/cache")).removeRecursively();
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_CACHE_HOME", (home + QStringLiteral("/cache")).toUtf8());
    // HTML bodies are read through Qt's text document, which needs fonts.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    vmime::platform::setHandler<vmime::platforms::posix::posixHandler>();
    const int count = argc > 1 ? atoi(argv[1]) : 100000;
    const QStringList words = vocabulary();
    QRandomGenerator random(11);

    const QString account = QStringLiteral("bench@example.org");
    const QString incoming = StoreLayout::folderPath(account, Letter::IncomingFolder);
    QDir().mkpath(incoming);
    // A store kept from an earlier run of as many letters is used again:
    // writing 100,000 message files takes minutes.
    const QString written = QDir::homePath() + QStringLiteral("/written");
    QFile mark(written);
    if (mark.open(QIODevice::ReadOnly) && mark.readAll().toInt() == count) {
        mark.close();
    } else {
        mark.close();
        // The folder's list as the store keeps it, so that the window's
        // models show every letter.
        QSettings index(StoreLayout::indexPath(account, Letter::IncomingFolder), QSettings::IniFormat);
        for (int i = 0; i < count; ++i) {
            const Generated made = letter(i, words, random);
            const QString id = QStringLiteral("bench%1@example.org").arg(i);
            QFile file(incoming + QLatin1Char('/') + StoreLayout::fileBaseName(id) + QStringLiteral(".eml"));
            if (!file.open(QIODevice::WriteOnly) || file.write(made.content) < 0)
                return 1;
            index.beginGroup(QStringLiteral("mail/") + id);
            index.setValue(QStringLiteral("from"), made.from);
            index.setValue(QStringLiteral("subject"), made.subject);
            index.setValue(QStringLiteral("to"), QStringLiteral("me@example.org"));
            index.setValue(QStringLiteral("date"), dateOf(i));
            index.setValue(QStringLiteral("letterType"), 1);
            index.setValue(QStringLiteral("folderType"), 0);
            index.endGroup();
        }
        index.sync();
        mark.open(QIODevice::WriteOnly);
        mark.write(QByteArray::number(count));
    }
    std::printf("%d letters in the store\n", count);

    {
        Cache cache(account, QString());
        // The account's folders as the window shows them.
        std::array<Model *, 5> models{};
        std::vector<std::unique_ptr<Model>> owned;
        for (int folder = 0; folder < 5; ++folder) {
            owned.push_back(std::make_unique<Model>(StoreLayout::indexPath(account, folder), folder));
            models[size_t(folder)] = owned.back().get();
        }
        std::printf("Incoming lists %d letters\n", models[0]->rowCount());
        LetterSearch search;
        ProxyModel shown;
        shown.setSourceModel(models[0]);
        shown.sort(0, Qt::DescendingOrder);
        shown.setTextSearch([&search](const QString &text, int limit) { return search.matchingNames(text, 0, limit); });
        QObject::connect(&search, &LetterSearch::changed, &shown, &ProxyModel::refreshWordHits);
        SearchResults results(&search);
        results.setFolders(models);

        // The user searches while the index is made. The first search folds
        // the texts of the letters beyond ASCII, and is timed on its own.
        QElapsedTimer clock;
        clock.start();
        shown.setSearchText(words.at(6));
        shown.rowCount(); // the rows are filtered when first asked for
        const double firstInFolder = clock.nsecsElapsed() / 1e6;
        clock.start();
        results.setSearchText(words.at(5));
        std::printf("first search: %.1f ms in the folder, %.1f ms in all folders\n", firstInFolder,
                    clock.nsecsElapsed() / 1e6);
        clock.start();
        search.watch(&cache);
        const Stall stall = waitIndexed(search);
        const double rate = count / (clock.nsecsElapsed() / 1e9);
        std::printf("first start: %.0f letters/s indexed, longest main-thread stall %.1f ms (%.1f ms busy);"
                    " then %d rows in the folder, %d in all folders\n",
                    rate, stall.wall, stall.busy, shown.rowCount(), results.rowCount());

        const struct { const char *name; QString text; } queries[] = {
            {"common word", words.at(0)},
            {"rare word", words.at(1000)},
            {"prefix", words.at(3).left(3)},
            {"two words", words.at(1) + QLatin1Char(' ') + words.at(40)},
            {"a name", QStringLiteral("muller")},
        };
        // The index alone; the folder on screen filtered; all folders' list.
        const struct { const char *name; std::function<int(const QString &)> run; } ways[] = {
            {"index", [&](const QString &text) { return search.search(text).size(); }},
            {"folder", [&](const QString &text) {
                 shown.setSearchText(text);
                 return shown.rowCount();
             }},
            {"all folders", [&](const QString &text) {
                 results.setSearchText(text);
                 return results.rowCount();
             }},
        };
        for (const auto &way : ways) {
            std::vector<double> mins, medians;
            for (const auto &query : queries) {
                std::vector<double> runs;
                int hits = 0;
                for (int run = 0; run < 9; ++run) {
                    way.run(QString());
                    QElapsedTimer t;
                    t.start();
                    hits = way.run(query.text);
                    runs.push_back(t.nsecsElapsed() / 1e6);
                }
                const double least = *std::min_element(runs.begin(), runs.end());
                std::printf("%-11s %-12s %6d hits  min %6.2f ms  median %6.2f ms\n", way.name, query.name,
                            hits, least, median(runs));
                mins.push_back(least);
                medians.push_back(median(runs));
            }
            std::printf("%-11s min %.2f ms, median of medians %.2f ms, slowest median %.2f ms\n", way.name,
                        *std::min_element(mins.begin(), mins.end()), median(medians),
                        *std::max_element(medians.begin(), medians.end()));
        }
    }

    if (argc > 2 && qstrcmp(argv[2], "queries") == 0)
        return 0;
    // A check of 10,000 new letters, without and with the search following
    // the store, in turns: the disk's own speed changes over a run, by more
    // than the difference sought, so several pairs run (BENCH_PAIRS).
    const int perCheck = 10000;
    const int pairs = qEnvironmentVariableIsSet("BENCH_PAIRS") ? qMax(1, qEnvironmentVariableIntValue("BENCH_PAIRS")) : 3;
    QList<QByteArray> arriving;
    for (int i = 0; i < perCheck; ++i)
        arriving.prepend(letter(1000000 + i, words, random).content);
    std::vector<double> seconds[2];
    // A first check, not counted, goes before them: in earlier runs the
    // first check was often the fastest (before the file system had
    // deleted any letters of this run), which favoured the kind that ran
    // first.
    for (int round = -1; round < 2 * pairs; ++round) {
        const int followed = qMax(0, round % 2);
        const QString address = QStringLiteral("check%1-%2@example.org").arg(followed).arg(round + 1);
        // Left by a run cut short: its letters would count as known.
        QDir(StoreLayout::accountPath(address)).removeRecursively();
        Cache cache(address, QString());
        LetterSearch search;
        if (followed)
            search.watch(&cache);
        QElapsedTimer clock;
        clock.start();
        feedStore(&cache, arriving);
        const double taken = clock.nsecsElapsed() / 1e9;
        if (round >= 0)
            seconds[followed].push_back(taken);
        std::printf("check of %d letters %s the index%s: %.2f s", perCheck, followed ? "with" : "without",
                    round < 0 ? " (not counted)" : "", taken);
        if (followed) {
            waitIndexed(search);
            std::printf(", all indexed after %.2f s", clock.nsecsElapsed() / 1e9);
        }
        std::printf("\n");
        QDir(StoreLayout::accountPath(address)).removeRecursively();
    }
    for (std::vector<double> &taken : seconds)
        std::sort(taken.begin(), taken.end());
    const auto median = [](const std::vector<double> &taken) { return taken.at(taken.size() / 2); };
    std::printf("check of %d letters, %d of each: min %.2f s, median %.2f s without the index; min %.2f s, median %.2f s "
                "with it (%+.0f %% min, %+.0f %% median)\n",
                perCheck, pairs, seconds[0].front(), median(seconds[0]), seconds[1].front(), median(seconds[1]),
                100.0 * (seconds[1].front() / seconds[0].front() - 1), 100.0 * (median(seconds[1]) / median(seconds[0]) - 1));
    return 0;
}
