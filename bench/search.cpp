// Measures the full-text search on a store of many letters: how fast an
// existing store is indexed at first start (letters per second) and the
// longest stall of the main thread meanwhile, the answer time of a set of
// queries (common word, rare word, prefix, two words, a name; min and
// median of repeated runs each), and how much indexing slows the filing of
// new letters by a mail check (10 checks of 1,000 letters, with and
// without the index following the store).
//
//   bench_search [letters]     (default 100000)
#include "storefeeder.h"
#include "model/letter.h"
#include "search/lettersearch.h"
#include "store/cache.h"
#include "model/storelayout.h"

#include <QGuiApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
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

QByteArray letter(int i, const QStringList &words, QRandomGenerator &random)
{
    static const char *const names[] = {"Anna Müller", "Jörg Weiß", "Zoë Martin", "Søren Kierkegaard",
                                        "Ali Öztürk", "Mary Smith"};
    QString subject, body;
    for (int w = 0; w < 6; ++w)
        subject += pick(words, random) + QLatin1Char(' ');
    for (int w = 0; w < 150; ++w)
        body += pick(words, random) + (w % 12 == 11 ? QLatin1Char('\n') : QLatin1Char(' '));
    return "From: =?UTF-8?B?" + QString::fromUtf8(names[i % 6]).toUtf8().toBase64() + "?= <sender"
            + QByteArray::number(i % 40) + "@example.org>\r\n"
            "To: me@example.org\r\nSubject: =?UTF-8?B?" + subject.toUtf8().toBase64() + "?=\r\n"
            "Date: Mon, 7 Dec 2026 10:00:00 +0000\r\nMessage-ID: <bench" + QByteArray::number(i)
            + "@example.org>\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n"
              "Content-Transfer-Encoding: 8bit\r\n\r\n" + body.toUtf8().replace("\n", "\r\n") + "\r\n";
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Runs the event loop until the search has nothing left to index; returns
// the longest time the main thread went without a turn, in ms.
double waitIndexed(LetterSearch &search)
{
    QElapsedTimer sinceTurn;
    sinceTurn.start();
    double longest = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, sinceTurn.nsecsElapsed() / 1e6 - 5);
        sinceTurn.restart();
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
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toUtf8());
    // HTML bodies are read through Qt's text document, which needs fonts.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    vmime::platform::setHandler<vmime::platforms::posix::posixHandler>();
    const int count = argc > 1 ? atoi(argv[1]) : 100000;
    const QStringList words = vocabulary();
    QRandomGenerator random(11);

    const QString account = QStringLiteral("bench@example.org");
    const QString incoming = StoreLayout::folderPath(account, Letter::IncomingFolder);
    QDir().mkpath(incoming);
    for (int i = 0; i < count; ++i) {
        QFile file(incoming + QStringLiteral("/bench%1.eml").arg(i));
        if (!file.open(QIODevice::WriteOnly) || file.write(letter(i, words, random)) < 0)
            return 1;
    }
    std::printf("%d letters written\n", count);

    double rate = 0;
    {
        Cache cache(account, QString());
        LetterSearch search;
        QElapsedTimer clock;
        clock.start();
        search.watch(&cache);
        const double stall = waitIndexed(search);
        rate = count / (clock.nsecsElapsed() / 1e9);
        std::printf("first start: %.0f letters/s indexed, longest main-thread stall %.1f ms\n", rate, stall);

        const struct { const char *name; QString text; } queries[] = {
            {"common word", words.at(0)},
            {"rare word", words.at(20000)},
            {"prefix", words.at(3).left(3)},
            {"two words", words.at(1) + QLatin1Char(' ') + words.at(40)},
            {"a name", QStringLiteral("muller")},
        };
        std::vector<double> mins, medians;
        for (const auto &query : queries) {
            std::vector<double> runs;
            int hits = 0;
            for (int run = 0; run < 9; ++run) {
                QElapsedTimer t;
                t.start();
                hits = search.search(query.text).size();
                runs.push_back(t.nsecsElapsed() / 1e6);
            }
            const double least = *std::min_element(runs.begin(), runs.end());
            std::printf("query %-12s %6d hits  min %6.2f ms  median %6.2f ms\n", query.name, hits, least,
                        median(runs));
            mins.push_back(least);
            medians.push_back(median(runs));
        }
        std::printf("queries: min %.2f ms, median of medians %.2f ms, slowest median %.2f ms\n",
                    *std::min_element(mins.begin(), mins.end()), median(medians),
                    *std::max_element(medians.begin(), medians.end()));
    }

    // A check files new letters; with the search following, the same.
    const int checks = 10, perCheck = 1000;
    double seconds[2] = {0, 0};
    for (int followed = 0; followed < 2; ++followed) {
        const QString address = QStringLiteral("check%1@example.org").arg(followed);
        Cache cache(address, QString());
        LetterSearch search;
        if (followed)
            search.watch(&cache);
        QElapsedTimer clock;
        clock.start();
        for (int c = 0; c < checks; ++c) {
            QList<QByteArray> batch;
            for (int i = 0; i < perCheck; ++i)
                batch.prepend(letter(1000000 + (c * perCheck + i), words, random));
            feedStore(&cache, batch);
        }
        seconds[followed] = clock.nsecsElapsed() / 1e9;
        if (followed) {
            waitIndexed(search);
            std::printf("check of %d letters: %.2f s without the index, %.2f s with it (%+.0f %%), "
                        "all indexed after %.2f s\n", checks * perCheck, seconds[0], seconds[1],
                        100.0 * (seconds[1] / seconds[0] - 1), clock.nsecsElapsed() / 1e9);
        }
    }
    return 0;
}
