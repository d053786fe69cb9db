// The counts must follow a keystroke in a 10 MB document without recounting it. Prints, with
// baselines measured in the same run:
//  - one keystroke in the main window (the box's own work, the change handling and the status
//    text) against the same keystroke in a bare QPlainTextEdit, and against one full
//    code-page conversion of the text, the cost the counts would have without bookkeeping;
//  - loading the text into the main window with wrap on and off, against a bare QPlainTextEdit.

#include "app/frmMain.h"
#include "app/textcounts.h"
#include "platform/cp932.h"
#include "sample.h"
#include "support/fakeplatform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using bench::Milliseconds;
using bench::SampleText;

double Best(int runs, const std::function<void()> &work)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i)
        best = std::min(best, Milliseconds(work));
    return best;
}

// The median cost of typing one character in the middle of the box.
double Keystroke(QPlainTextEdit *box)
{
    QTextCursor cursor = box->textCursor();
    cursor.setPosition(box->document()->characterCount() / 2);
    box->setTextCursor(cursor);
    std::vector<double> times;
    for (int i = 0; i < 200; ++i) {
        QInputMethodEvent event;
        event.setCommitString(i % 2 ? QStringLiteral("字") : QStringLiteral("\n"));
        times.push_back(Milliseconds([&] {
            QApplication::sendEvent(box, &event);
            QApplication::processEvents();
        }));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The change handling alone: the counts brought up to date and the status text made, timed
// inside the change notice of each keystroke.
double ChangeHandling(const QString &text)
{
    QTextDocument document;
    document.setDocumentLayout(new QPlainTextDocumentLayout(&document));
    document.setPlainText(text);
    app::DocumentCounter counter;
    counter.Reset(document);
    std::vector<double> times;
    QString panel;
    QObject::connect(&document, &QTextDocument::contentsChange, [&](int position, int removed, int added) {
        times.push_back(Milliseconds([&] {
            counter.ContentsChange(document, position, removed, added);
            panel = app::CountPanelText(counter.Counts(app::LineBreakStyle::CrLf));
        }));
    });
    QTextCursor cursor(&document);
    cursor.setPosition(document.characterCount() / 2);
    for (int i = 0; i < 1000; ++i)
        cursor.insertText(i % 2 ? QStringLiteral("字") : QStringLiteral("\n"));
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    testsupport::usePrivateRuntimeDir();
    testsupport::TempSettings settings;
    testsupport::FakeDialogs dialogs;
    const QString text = SampleText();
    std::printf("document: %lld characters, %lld bytes in code page 932\n", static_cast<long long>(text.size()),
        static_cast<long long>(cp932::ByteCount(text)));

    qsizetype sink = 0;
    const double conversion = Best(5, [&] { sink += cp932::Encode(text).size(); });

    frmMain window;
    window.SetCommandLine(QString());
    window.Form_Load();
    QPlainTextEdit bare;
    bare.setFont(window.txtMain->font());
    bare.resize(window.txtMain->size());
    bare.show();

    const double bareLoad = Best(3, [&] {
        bare.setPlainText(text);
        QApplication::processEvents();
    });
    const double loadWrapped = Best(3, [&] {
        window.SetDocumentText(text);
        QApplication::processEvents();
    });
    const double keyWrapped = Keystroke(window.txtMain);
    const bool countsRight = window.Counts() == app::CountText(window.DocumentText());
    window.SetWordWrap(false);
    const double loadUnwrapped = Best(3, [&] {
        window.SetDocumentText(text);
        QApplication::processEvents();
    });
    const double keyUnwrapped = Keystroke(window.txtMain);
    bare.setLineWrapMode(QPlainTextEdit::NoWrap);
    const double keyBareUnwrapped = Keystroke(&bare);
    bare.setLineWrapMode(QPlainTextEdit::WidgetWidth);
    const double keyBare = Keystroke(&bare);
    const double handling = ChangeHandling(text);

    std::printf("full code-page conversion of the text: %.2f ms\n", conversion);
    std::printf("keystroke, wrap on: %.3f ms; bare box: %.3f ms; ratio to the bare box %.2f; "
                "to one conversion %.4f\n",
        keyWrapped, keyBare, keyWrapped / keyBare, keyWrapped / conversion);
    std::printf("keystroke, wrap off: %.3f ms; bare box: %.3f ms; ratio to the bare box %.2f; "
                "to one conversion %.4f\n",
        keyUnwrapped, keyBareUnwrapped, keyUnwrapped / keyBareUnwrapped, keyUnwrapped / conversion);
    std::printf("change handling alone (counts and status text): %.4f ms; to one conversion %.5f\n", handling,
        handling / conversion);
    std::printf("load, wrap on: %.1f ms; wrap off: %.1f ms; bare box: %.1f ms; ratios %.2f and %.2f\n", loadWrapped,
        loadUnwrapped, bareLoad, loadWrapped / bareLoad, loadUnwrapped / bareLoad);
    std::printf("counts after the keystrokes equal a full recount: %s\n", countsRight ? "yes" : "NO");
    window.document.blnModified = false;
    return countsRight && sink > 0 ? 0 : 1;
}
