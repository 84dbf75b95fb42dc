// Measures the local store's hot paths: one change to a folder index
// (onNewLetter, onSeenLetter, onRemoveLetterWithId) on a folder of 100 and of
// 10,000 letters, loading a folder of 10,000 letters, and parsing a 10 MB
// message with attachments. Runs in a temporary home; prints medians and the
// spread between repeated rounds as the machine's noise.
//
//   bench_store [rounds]
#include "model/letter.h"
#include "model/model.h"
#include "model/proxymodel.h"
#include "store/cache.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include <vmime/platforms/posix/posixHandler.hpp>

namespace {

// Processor time of this process, which other programs' load barely moves.
double cpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Times one call, in wall-clock and processor time.
struct Stopwatch {
    QElapsedTimer wall;
    double cpu0 = 0;
    void start() { cpu0 = cpuMs(); wall.start(); }
    double wallMs() const { return wall.nsecsElapsed() / 1e6; }
    double cpuMsSince() const { return cpuMs() - cpu0; }
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Figure {
    std::vector<double> roundMedians; // one median per round, in ms
    std::vector<double> cpuMedians;   // the same in processor time
    double overall() const { return median(roundMedians); }
    // Spread of the round medians around their median, in per cent.
    double noise() const
    {
        const auto [lo, hi] = std::minmax_element(roundMedians.begin(), roundMedians.end());
        return overall() > 0 ? (*hi - *lo) / overall() * 100.0 : 0.0;
    }
};

Letter *makeLetter(QObject *parent, int i, int type)
{
    auto *letter = new Letter(parent);
    letter->setId(QStringLiteral("bench-%1.%2@example.org").arg(i).arg(qint64(i) * 7919));
    letter->setFrom(QStringLiteral("Sender Number %1 <sender%1@example.org>").arg(i % 97));
    letter->setSubject(QString::fromUtf8("Тема письма номер %1: about the quarterly figures").arg(i));
    letter->setDate(QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC).addSecs(qint64(i) * 3607));
    letter->setLetterType(type);
    letter->setFolderType(Letter::IncomingFolder);
    return letter;
}

// A folder index of n letters, every other one unseen, built as a mail check
// would build it.
void fillIndex(const QString &path, int n)
{
    QFile::remove(path);
    QObject owner;
    Model model(path, Letter::IncomingFolder);
    for (int i = 0; i < n; ++i)
        model.onNewLetter(makeLetter(&owner, i, i % 2 ? Letter::LetterUnseen : Letter::LetterSeen));
}

struct OperationFigures {
    Figure add, seen, remove;
};

// Each round times `ops` single operations of each kind on a folder of n
// letters; every operation leaves the folder at n letters (within one).
OperationFigures measureOperations(const QString &dir, int n, int rounds, int ops, bool withProxy)
{
    OperationFigures result;
    for (int round = 0; round < rounds; ++round) {
        const QString path = dir + QStringLiteral("/ops-%1.conf").arg(n);
        fillIndex(path, n);
        Model model(path, Letter::IncomingFolder);
        ProxyModel proxy;
        if (withProxy) {
            proxy.setSourceModel(&model);
            proxy.sort(0, Qt::DescendingOrder);
        }
        QObject owner;
        std::vector<double> add, seen, remove, addCpu, seenCpu, removeCpu;
        Stopwatch t;
        for (int k = 0; k < ops; ++k) {
            Letter *fresh = makeLetter(&owner, n + 1000 + k, Letter::LetterUnseen);
            t.start();
            model.onNewLetter(fresh);
            add.push_back(t.wallMs());
            addCpu.push_back(t.cpuMsSince());

            // An unseen letter loaded from the index becomes seen.
            Letter *letter = model.letterAt((2 * k + 1) % n);
            letter->setLetterType(Letter::LetterSeen);
            t.start();
            model.onSeenLetter(letter);
            seen.push_back(t.wallMs());
            seenCpu.push_back(t.cpuMsSince());

            const QString removed = model.letterAt((k * 31) % model.rowCount())->id();
            t.start();
            model.onRemoveLetterWithId(removed);
            remove.push_back(t.wallMs());
            removeCpu.push_back(t.cpuMsSince());
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        result.add.roundMedians.push_back(median(add));
        result.seen.roundMedians.push_back(median(seen));
        result.remove.roundMedians.push_back(median(remove));
        result.add.cpuMedians.push_back(median(addCpu));
        result.seen.cpuMedians.push_back(median(seenCpu));
        result.remove.cpuMedians.push_back(median(removeCpu));
    }
    return result;
}

Figure measureLoad(const QString &dir, int n, int rounds, Figure *readOnly = nullptr)
{
    const QString path = dir + QStringLiteral("/load-%1.conf").arg(n);
    fillIndex(path, n);
    if (readOnly) {
        for (int round = 0; round < rounds; ++round) {
            std::vector<double> times, cpu;
            for (int k = 0; k < 3; ++k) {
                Stopwatch t;
                t.start();
                FolderIndex index(path);
                const int count = index.load().size();
                times.push_back(t.wallMs());
                cpu.push_back(t.cpuMsSince());
                if (count != n)
                    qFatal("read %d entries instead of %d", count, n);
            }
            readOnly->roundMedians.push_back(median(times));
            readOnly->cpuMedians.push_back(median(cpu));
        }
    }
    Figure figure;
    for (int round = 0; round < rounds; ++round) {
        std::vector<double> times, cpu;
        for (int k = 0; k < 3; ++k) {
            Stopwatch t;
            t.start();
            Model model(path, Letter::IncomingFolder);
            times.push_back(t.wallMs());
            cpu.push_back(t.cpuMsSince());
            if (model.rowCount() != n)
                qFatal("loaded %d letters instead of %d", model.rowCount(), n);
        }
        figure.roundMedians.push_back(median(times));
        figure.cpuMedians.push_back(median(cpu));
    }
    return figure;
}

QByteArray base64Lines(const QByteArray &data)
{
    const QByteArray b64 = data.toBase64();
    QByteArray out;
    out.reserve(b64.size() + b64.size() / 76 * 2 + 2);
    for (int i = 0; i < b64.size(); i += 76)
        out += b64.mid(i, 76) + "\r\n";
    return out;
}

// About 10 MB on disk: a plain and an HTML alternative with an inline
// picture, a PDF-like and an archive-like attachment.
QByteArray bigMessage(const QByteArray &id)
{
    QByteArray noise(4 * 1024 * 1024, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 2654435761u) >> 13);
    QByteArray text;
    for (int i = 0; i < 2000; ++i)
        text += "Line " + QByteArray::number(i) + " of the report, see https://example.org/r/" + QByteArray::number(i) + "\r\n";
    QByteArray m;
    m += "Message-ID: <" + id + ">\r\n"
         "From: Reporter <reporter@example.org>\r\nTo: Boss <boss@example.org>\r\n"
         "Subject: Big report\r\nDate: Tue, 01 Dec 2026 10:20:30 +0000\r\nMIME-Version: 1.0\r\n"
         "Content-Type: multipart/mixed; boundary=\"outer\"\r\n\r\n"
         "--outer\r\nContent-Type: multipart/related; boundary=\"rel\"\r\n\r\n"
         "--rel\r\nContent-Type: multipart/alternative; boundary=\"alt\"\r\n\r\n"
         "--alt\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
            + text + "\r\n--alt\r\nContent-Type: text/html; charset=utf-8\r\n"
         "Content-Transfer-Encoding: quoted-printable\r\n\r\n<html><body><img src=3D\"cid:pic@x\"><pre>"
            + text + "</pre></body></html>\r\n--alt--\r\n"
         "--rel\r\nContent-Type: image/png\r\nContent-ID: <pic@x>\r\nContent-Transfer-Encoding: base64\r\n\r\n"
            + base64Lines(noise.left(200000)) + "--rel--\r\n"
         "--outer\r\nContent-Type: application/pdf; name=\"report.pdf\"\r\n"
         "Content-Disposition: attachment; filename=\"report.pdf\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
            + base64Lines(noise) + "--outer\r\nContent-Type: application/zip; name=\"data.zip\"\r\n"
         "Content-Disposition: attachment; filename=\"data.zip\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
            + base64Lines(noise.left(3 * 1024 * 1024)) + "--outer--\r\n";
    return m;
}

Figure measureLoadLetter(int rounds, qint64 *bytes)
{
    Cache cache(QStringLiteral("bench@example.org"), QString());
    const QByteArray message = bigMessage("big@example.org");
    *bytes = message.size();
    QFile file(cache.messageFilePath(Letter::ArchiveFolder, QStringLiteral("big@example.org")));
    file.open(QIODevice::WriteOnly);
    file.write(message);
    file.close();
    Figure figure;
    for (int round = 0; round < rounds; ++round) {
        std::vector<double> times, cpu;
        for (int k = 0; k < 3; ++k) {
            Letter letter;
            letter.setId(QStringLiteral("big@example.org"));
            Stopwatch t;
            t.start();
            cache.loadLetter(&letter, Letter::ArchiveFolder);
            times.push_back(t.wallMs());
            cpu.push_back(t.cpuMsSince());
            if (letter.attachList().size() != 2 || letter.bodyList().size() != 1)
                qFatal("the big message parsed wrongly");
        }
        figure.roundMedians.push_back(median(times));
        figure.cpuMedians.push_back(median(cpu));
    }
    return figure;
}

void print(const char *what, const Figure &f)
{
    std::printf("%-40s median %8.3f ms (cpu %8.3f ms)  noise %5.1f %% (%zu rounds)\n", what,
                f.overall(), f.cpuMedians.empty() ? 0.0 : median(f.cpuMedians), f.noise(),
                f.roundMedians.size());
}


} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/bench-store.XXXXXX"));
    qputenv("HOME", QFile::encodeName(home.path()));
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("drel-bench"));
    QCoreApplication::setApplicationName(QStringLiteral("mail"));
    vmime::platform::setHandler<vmime::platforms::posix::posixHandler>();
    const int rounds = argc > 1 ? std::max(3, atoi(argv[1])) : 5;
    const QString dir = home.path();

    for (bool withProxy : {false, true}) {
        if (qEnvironmentVariableIsSet("BENCH_LOAD_ONLY"))
            break;
        std::printf("== one change to a folder index%s ==\n",
                    withProxy ? " (model with its sorted proxy)" : " (model alone)");
        const OperationFigures small = measureOperations(dir, 100, rounds, 200, withProxy);
        const OperationFigures large = measureOperations(dir, 10000, rounds, 200, withProxy);
        print("onNewLetter,    100 letters", small.add);
        print("onNewLetter,    10,000 letters", large.add);
        print("onSeenLetter,   100 letters", small.seen);
        print("onSeenLetter,   10,000 letters", large.seen);
        print("onRemoveLetterWithId, 100 letters", small.remove);
        print("onRemoveLetterWithId, 10,000 letters", large.remove);
        std::printf("ratio 10,000 / 100: new %.2f  seen %.2f  remove %.2f\n",
                    large.add.overall() / small.add.overall(),
                    large.seen.overall() / small.seen.overall(),
                    large.remove.overall() / small.remove.overall());
    }

    if (qEnvironmentVariableIsSet("BENCH_PROFILE_PARSE")) {
        qint64 bytes = 0;
        print("loadLetter", measureLoadLetter(rounds, &bytes));
        return 0;
    }
    if (qEnvironmentVariableIsSet("BENCH_PROFILE_READ")) {
        const QString path = dir + QStringLiteral("/profile.conf");
        fillIndex(path, 10000);
        QElapsedTimer t;
        t.start();
        const double cpu0 = cpuMs();
        for (int k = 0; k < 20; ++k)
            FolderIndex(path).load();
        std::printf("read: %.1f ms each, cpu %.1f ms\n", t.elapsed() / 20.0, (cpuMs() - cpu0) / 20);
        return 0;
    }
    std::printf("== loading ==\n");
    Figure readOnly;
    const Figure load = measureLoad(dir, 10000, rounds, &readOnly);
    print("index file read alone, 10,000 letters", readOnly);
    print("Model constructor, 10,000 letters", load);
    {
        // The rare full rewrite that keeps the appended sections in check
        // (about once per 10,000 changes at this size).
        const QString path = dir + QStringLiteral("/compact.conf");
        Figure compaction;
        for (int round = 0; round < rounds; ++round) {
            fillIndex(path, 10000);
            FolderIndex index(path);
            index.load();
            Stopwatch t;
            t.start();
            index.compact();
            compaction.roundMedians.push_back(t.wallMs());
            compaction.cpuMedians.push_back(t.cpuMsSince());
        }
        print("compaction, 10,000 letters (rare)", compaction);
    }
    qint64 bytes = 0;
    const Figure parse = measureLoadLetter(rounds, &bytes);
    char label[64];
    std::snprintf(label, sizeof label, "loadLetter, %.1f MB message", bytes / 1048576.0);
    print(label, parse);
    return 0;
}
