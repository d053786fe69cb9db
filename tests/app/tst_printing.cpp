#include "app/printing.h"
#include "windowfixture.h"

#include <QDir>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// What poppler reads from a PDF file: pdftotext its words, pdfinfo its report.
QString Poppler(const QString &tool, const QString &path)
{
    QProcess process;
    process.start(
        tool, tool == QLatin1String("pdfinfo") ? QStringList { path } : QStringList { "-enc", "UTF-8", path, "-" });
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed on %2>").arg(tool, path);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString PdfText(const QString &path)
{
    return Poppler(QStringLiteral("pdftotext"), path);
}

// One value of pdfinfo's report ("Pages", "Page size").
QString PdfInfo(const QString &path, const QString &key)
{
    const QRegularExpression line(QStringLiteral("^%1:\\s*(.*)$").arg(key), QRegularExpression::MultilineOption);
    return line.match(Poppler(QStringLiteral("pdfinfo"), path)).captured(1).trimmed();
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

class TestPrinting : public testsupport::WindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        start();
        m_jobs.clear();
    }
    void cleanup() { finish(); }

    // N copies are N jobs, each holding the whole document, whatever its line breaks; a
    // cancelled print dialog prints nothing and says nothing; a job the printer cannot start is
    // reported, and no further copies are tried.
    void copiesAreSeparateJobsOfTheWholeText_data()
    {
        QTest::addColumn<int>("copies"); // 0: cancelled
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("startable");
        QTest::newRow("three copies") << 3 << QStringLiteral("Lumeno prints\r\n日本語の行\r\n\r\n\tlast line") << true;
        QTest::newRow("LF line breaks") << 2 << QStringLiteral("first\nsecond\nｶﾀｶﾅ") << true;
        QTest::newRow("cancelled") << 0 << QStringLiteral("not printed") << true;
        QTest::newRow("printer cannot start") << 3 << QStringLiteral("nowhere to go") << false;
    }
    void copiesAreSeparateJobsOfTheWholeText()
    {
        QFETCH(int, copies);
        QFETCH(QString, text);
        QFETCH(bool, startable);
        m_window->SetDocumentText(text);
        PrintToFiles(startable ? m_dir->path() : m_dir->filePath(QStringLiteral("missing")));
        m_dialogs->answerPrint(copies > 0, std::max(copies, 1));
        if (!startable) {
            m_dialogs->answerMessage(platform::MsgAnswer::OK);
            QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
        }

        m_window->PrintDocument();

        QCOMPARE(m_dialogs->printRequests, 1);
        QList<int> expectedJobs;
        for (int copy = 1; copy <= (startable ? copies : 1); ++copy)
            expectedJobs.append(copy);
        QCOMPARE(m_jobs, expectedJobs);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), startable ? copies : 0);
        for (int copy = 1; startable && copy <= copies; ++copy)
            QCOMPARE(WithoutBlanks(PdfText(JobFile(copy))), WithoutBlanks(text));
        QCOMPARE(m_dialogs->messageTexts(), startable ? QStringList() : QStringList { "印刷できませんでした。" });
        if (!startable)
            QCOMPARE(m_dialogs->messages.first().request.icon, platform::MsgIcon::Exclamation);
    }

    // A line wider than the page goes on over the following lines, and lines that no longer fit
    // on the page go on the next one, in order: nothing of the text is cut off.
    void longTextWrapsAndContinues()
    {
        QStringList lines { QStringLiteral("before"), NumberedLine(1000) };
        for (int i = 1; i <= 300; ++i)
            lines.append(QStringLiteral("line %1").arg(i));
        const QString text = lines.join(QStringLiteral("\r\n"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(JobFile(1));

        QVERIFY(app::PrintText(printer, text));

        const QString printed = PdfText(JobFile(1));
        QCOMPARE(WithoutBlanks(printed), WithoutBlanks(text));
        for (const QString &row : printed.split(QLatin1Char('\n')))
            QVERIFY2(row.trimmed().size() < 200, qPrintable(row));
        QVERIFY(PdfInfo(JobFile(1), QStringLiteral("Pages")).toInt() >= 2);
    }

    // The printer chosen in printer setup is the one every later print of the run goes to.
    void printerSetupHoldsForTheNextPrint()
    {
        m_dialogs.reset();
        SidewaysDialogs dialogs;
        m_window->SetDocumentText(QStringLiteral("sideways"));
        PrintToFiles(m_dir->path());

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

private:
    // Sends every job of the window's prints to a PDF file of its own in the folder, job-1.pdf,
    // job-2.pdf...
    void PrintToFiles(const QString &folder)
    {
        m_window->BeforePrintJob = [this, folder](QPrinter &printer, int copy) {
            m_jobs.append(copy);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(folder + QStringLiteral("/job-%1.pdf").arg(copy));
        };
    }
    QString JobFile(int copy) const { return m_dir->filePath(QStringLiteral("job-%1.pdf").arg(copy)); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QList<int> m_jobs;
};

QTEST_MAIN(TestPrinting)
#include "tst_printing.moc"
