#include "editing/pdfprinter.h"

#include "base/filedialog.h"
#include "base/safehtml.h"
#include "base/inlineimages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QTextDocument>
#include <QUrl>
#include <QtDebug>

bool PdfPrinter::writePdf(const QString &html, const QString &fileName)
{
    GuardedTextDocument document;
    // Each inline picture once, however often the letter shows it.
    for (const QString &url : InlineImages::urlsIn(html))
        document.addResource(QTextDocument::ImageResource, QUrl(url),
                             QImage::fromData(InlineImages::bytes(url)));
    document.setHtml(html);

    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(fileName);
    document.print(&printer);
    return printer.printerState() != QPrinter::Error;
}

void PdfPrinter::printToPdf(const QString &html, const QString &name)
{
    if (html.isEmpty())
        return;
    const QString fileName = name.isEmpty() ? QStringLiteral("Message") : name;

    // Removed when the call ends, whatever the user answers.
    QTemporaryFile pdf;
    if (!pdf.open())
        return;
    if (!writePdf(html, pdf.fileName())) {
        qWarning() << "PdfPrinter::printToPdf(): cannot write" << pdf.fileName();
        return;
    }

    const QString path = FileDialog::getSaveFileName(
            QCoreApplication::translate("Utils", "Choose path to save pdf file"),
            QDir::homePath() + QDir::separator() + fileName + QStringLiteral(".pdf"));
    if (path.isEmpty())
        return;

    // Written beside the chosen file and renamed over it, so a file that is
    // being replaced survives a failed write.
    QSaveFile out(path);
    pdf.seek(0);
    if (!out.open(QIODevice::WriteOnly) || out.write(pdf.readAll()) < 0 || !out.commit())
        qWarning() << "PdfPrinter::printToPdf(): cannot save" << path << out.errorString();
}
