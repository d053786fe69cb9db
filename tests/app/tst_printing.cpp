#include "app/frmMain.h"
#include "app/printing.h"
#include "platform/dialogs.h"
#include "support/fakeplatform.h"

#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// What a PDF file says in words, as poppler reads it.
QString PdfText(const QString &path)
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), { QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, "-" });
    if (!pdftotext.waitForFinished(30000) || pdftotext.exitCode() != 0)
        return QStringLiteral("<pdftotext failed on %1>").arg(path);
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

// One value of pdfinfo's report ("Pages", "Page size").
QString PdfInfo(const QString &path, const QString &key)
{
    QProcess pdfinfo;
    pdfinfo.start(QStringLiteral("pdfinfo"), { path });
    pdfinfo.waitForFinished(30000);
    const QRegularExpression line(QStringLiteral("^%1:\\s*(.*)$").arg(key), QRegularExpression::MultilineOption);
    return line.match(QString::fromUtf8(pdfinfo.readAllStandardOutput())).captured(1).trimmed();
}

// The text's characters without blanks and line breaks; ligatures the font set ("fi") count
// as their letters.
QString WithoutBlanks(const QString &text)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    return text.normalized(QString::NormalizationForm_KC).remove(blanks);
}

// A line without blanks, so that it can only wrap by being cut anywhere: "0000|0001|...".
QString NumberedLine(int length)
{
    QString line;
    for (int i = 0; line.size() < length; ++i)
        line += QString::number(i).rightJustified(4, QLatin1Char('0')) + QLatin1Char('|');
    return line.left(length);
}

// The print and printer setup dialogs of a user who turns the page sideways in printer setup
// and then prints one copy; each records the printer it was given.
class SidewaysDialogs final : public platform::Dialogs {
public:
    SidewaysDialogs() { platform::setDialogs(this); }
    ~SidewaysDialogs() override { platform::setDialogs(nullptr); }
    platform::MsgAnswer MsgBox(QWidget *, const platform::MessageRequest &) override { return platform::MsgAnswer::OK; }
    QString InputBox(QWidget *, const QString &, const QString &) override { return {}; }
    std::optional<QString> SaveFileName(QWidget *, const platform::SaveFileRequest &) override { return {}; }
    std::optional<platform::FontChoice> ChooseFont(QWidget *, const platform::FontChoice &) override { return {}; }
    bool PrintDialog(QWidget *, QPrinter &printer) override
    {
        printed = &printer;
        return true;
    }
    bool PrinterSetup(QWidget *, QPrinter &printer) override
    {
        setUp = &printer;
        printer.setPageOrientation(QPageLayout::Landscape);
        return true;
    }
    QPrinter *printed = nullptr;
    QPrinter *setUp = nullptr;
};

} // namespace

class TestPrinting : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init();
    void cleanup();

    void copiesAreSeparateJobsOfTheWholeText_data();
    void copiesAreSeparateJobsOfTheWholeText();
    void cancelledPrintDialogPrintsNothing();
    void longLineWrapsAtThePageEdge();
    void longTextContinuesOnNewPages();
    void printerSetupHoldsForTheNextPrint();
    void jobThatCannotStartIsReported();

private:
    // Sends every job of the window's prints to a PDF file of its own, job-1.pdf, job-2.pdf...
    void PrintToFiles();
    QString JobFile(int copy) const { return m_dir->filePath(QStringLiteral("job-%1.pdf").arg(copy)); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<testsupport::TempSettings> m_settings;
    std::unique_ptr<testsupport::FakeDialogs> m_dialogs;
    std::unique_ptr<frmMain> m_window;
    QList<int> m_jobs;
};

void TestPrinting::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_settings = std::make_unique<testsupport::TempSettings>();
    m_dialogs = std::make_unique<testsupport::FakeDialogs>();
    m_window = std::make_unique<frmMain>();
    m_jobs.clear();
}

void TestPrinting::cleanup()
{
    m_window->blnModified = false;
    m_window.reset();
    QVERIFY2(m_dialogs->unexpected.isEmpty(), qPrintable(m_dialogs->unexpected.join(QLatin1Char('\n'))));
    QVERIFY(m_dialogs->allAnswersUsed());
    m_dialogs.reset();
    m_settings.reset();
    m_dir.reset();
}

void TestPrinting::PrintToFiles()
{
    m_window->BeforePrintJob = [this](QPrinter &printer, int copy) {
        m_jobs.append(copy);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(JobFile(copy));
    };
}

// N copies are N jobs, each holding the whole document, whatever its line breaks.
void TestPrinting::copiesAreSeparateJobsOfTheWholeText_data()
{
    QTest::addColumn<int>("copies");
    QTest::addColumn<QString>("text");
    const QString crlf = QStringLiteral("Lumeno prints\r\n日本語の行\r\n\r\n\tlast line");
    QTest::newRow("three copies") << 3 << crlf;
    QTest::newRow("LF line breaks") << 2 << QStringLiteral("first\nsecond\nｶﾀｶﾅ");
}

void TestPrinting::copiesAreSeparateJobsOfTheWholeText()
{
    QFETCH(int, copies);
    QFETCH(QString, text);
    m_window->SetDocumentText(text);
    PrintToFiles();
    m_dialogs->answerPrint(true, copies);

    m_window->PrintDocument();

    QCOMPARE(m_dialogs->printRequests, 1);
    QList<int> expectedJobs;
    for (int copy = 1; copy <= copies; ++copy) {
        expectedJobs.append(copy);
        QCOMPARE(WithoutBlanks(PdfText(JobFile(copy))), WithoutBlanks(text));
    }
    QCOMPARE(m_jobs, expectedJobs);
    QVERIFY(!QFile::exists(JobFile(copies + 1)));
    QVERIFY(m_dialogs->messages.isEmpty());
}

// Cancelling the print dialog prints nothing and says nothing.
void TestPrinting::cancelledPrintDialogPrintsNothing()
{
    m_window->SetDocumentText(QStringLiteral("not printed"));
    PrintToFiles();
    m_dialogs->answerPrint(false);

    m_window->PrintDocument();

    QCOMPARE(m_dialogs->printRequests, 1);
    QVERIFY(m_jobs.isEmpty());
    QVERIFY(QDir(m_dir->path()).isEmpty());
    QVERIFY(m_dialogs->messages.isEmpty());
}

// A line wider than the page goes on over the following lines: nothing of it is cut off at
// the page edge.
void TestPrinting::longLineWrapsAtThePageEdge()
{
    const QString line = NumberedLine(1000);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(JobFile(1));

    QVERIFY(app::PrintText(printer, QStringLiteral("before\r\n") + line + QStringLiteral("\r\nafter")));

    const QString printed = PdfText(JobFile(1));
    QCOMPARE(WithoutBlanks(printed), QStringLiteral("before") + line + QStringLiteral("after"));
    // Wrapped onto several printed lines, each within the page.
    const QStringList rows = printed.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(rows.size() > 4, qPrintable(printed));
    for (const QString &row : rows)
        QVERIFY2(row.trimmed().size() < 200, qPrintable(row));
}

// Lines that no longer fit on the page go on the next page, in order.
void TestPrinting::longTextContinuesOnNewPages()
{
    QStringList lines;
    for (int i = 1; i <= 300; ++i)
        lines.append(QStringLiteral("line %1").arg(i));
    const QString text = lines.join(QLatin1Char('\n'));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(JobFile(1));

    QVERIFY(app::PrintText(printer, text));

    QVERIFY(PdfInfo(JobFile(1), QStringLiteral("Pages")).toInt() >= 2);
    QCOMPARE(WithoutBlanks(PdfText(JobFile(1))), WithoutBlanks(text));
}

// The printer chosen in printer setup is the one every later print of the run goes to.
void TestPrinting::printerSetupHoldsForTheNextPrint()
{
    m_dialogs.reset();
    SidewaysDialogs dialogs;
    m_window->SetDocumentText(QStringLiteral("sideways"));
    PrintToFiles();

    m_window->PrinterSetup();
    QVERIFY(m_jobs.isEmpty());
    m_window->PrintDocument();
    m_window->PrintDocument();

    QVERIFY(dialogs.setUp);
    QCOMPARE(dialogs.printed, dialogs.setUp);
    QCOMPARE(m_jobs, QList<int>({ 1, 1 }));
    const QStringList size = PdfInfo(JobFile(1), QStringLiteral("Page size")).split(QLatin1Char(' '));
    QVERIFY2(size.size() >= 3 && size[0].toDouble() > size[2].toDouble(), qPrintable(size.join(' ')));
    m_dialogs = std::make_unique<testsupport::FakeDialogs>();
}

// A job the printer cannot start is reported, and no further copies are tried.
void TestPrinting::jobThatCannotStartIsReported()
{
    m_window->SetDocumentText(QStringLiteral("nowhere to go"));
    m_window->BeforePrintJob = [this](QPrinter &printer, int copy) {
        m_jobs.append(copy);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_dir->filePath(QStringLiteral("missing/job.pdf")));
    };
    m_dialogs->answerPrint(true, 3);
    m_dialogs->answerMessage(platform::MsgAnswer::OK);
    QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");

    m_window->PrintDocument();

    QCOMPARE(m_jobs, QList<int>({ 1 }));
    QCOMPARE(m_dialogs->messageTexts(), QStringList({ QStringLiteral("印刷できませんでした。") }));
    QCOMPARE(m_dialogs->messages.first().request.icon, platform::MsgIcon::Exclamation);
}

QTEST_MAIN(TestPrinting)
#include "tst_printing.moc"
