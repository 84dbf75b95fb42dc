#pragma once

#include <QString>

// Saves a letter as a PDF file at a path that the user chooses. Main
// thread: it renders with the GUI's fonts and shows a dialog.
class PdfPrinter
{
public:
    // Renders the HTML body, then asks where to put it. An empty body asks
    // nothing; an empty name proposes "Message.pdf".
    static void printToPdf(const QString &html, const QString &name);

    // The body as a high-resolution A4 portrait PDF.
    static bool writePdf(const QString &html, const QString &fileName);
};
