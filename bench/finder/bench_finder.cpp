// Replace all must be one linear pass and one edit, also on a 10 MB text. Prints ratios against
// baselines measured in the same run:
//  - the search rule against QString::replace (Qt's own single pass) on the same text;
//  - the rule on 20 MB against 10 MB (a linear pass doubles, a quadratic one quadruples);
//  - the whole dialog operation (question, pass, edit block into the box) against
//    QPlainTextEdit::setPlainText of the same result, the cost of merely loading it.

#include "dialogs/finder/frmFinder.h"
#include "dialogs/finder/textsearch.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

QString SampleText(qsizetype characters)
{
    const QString line = QStringLiteral("東京の天気は晴れ、明日の天気は曇り。The weather in Tokyo is fine today.\n");
    QString text;
    text.reserve(characters + line.size());
    while (text.size() < characters)
        text += line;
    text.truncate(characters);
    return text;
}

// The best of a few runs, in milliseconds.
double Best(int runs, const std::function<void()> &work)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const qsizetype size = 10 * 1024 * 1024;
    const QString text = SampleText(size);
    const QString twice = SampleText(size * 2);
    const QString word = QStringLiteral("天気");
    const QString replacement = QStringLiteral("てんき");

    qsizetype sink = 0;
    const double rule = Best(5, [&] { sink += finder::ReplaceAll(text, word, replacement).size(); });
    const double qt = Best(5, [&] {
        QString copy = text;
        sink += copy.replace(word, replacement).size();
    });
    const double ruleTwice = Best(5, [&] { sink += finder::ReplaceAll(twice, word, replacement).size(); });
    std::printf(
        "search rule, 10 MiB characters: %.1f ms; QString::replace: %.1f ms; ratio %.2f\n", rule, qt, rule / qt);
    const double qtTwice = Best(5, [&] {
        QString copy = twice;
        sink += copy.replace(word, replacement).size();
    });
    std::printf("search rule, 20 MiB against 10 MiB: %.1f ms against %.1f ms, ratio %.2f (2 is linear)\n", ruleTwice,
        rule, ruleTwice / rule);
    std::printf("QString::replace, 20 MiB against 10 MiB: ratio %.2f\n", qtTwice / qt);

    const QString result = finder::ReplaceAll(text, word, replacement);
    QPlainTextEdit box;
    const double load = Best(3, [&] { box.setPlainText(result); });

    testsupport::FakeDialogs dialogs;
    modPublic::blnReplaceMode = 1;
    double dialog = 1e300;
    for (int i = 0; i < 3; ++i) {
        box.setPlainText(text);
        auto *finderDialog = new frmFinder([&box] { return &box; });
        finderDialog->findChild<QLineEdit *>(QStringLiteral("txtSearchWord"))->setText(word);
        finderDialog->findChild<QLineEdit *>(QStringLiteral("txtReplaceWord"))->setText(replacement);
        dialogs.answerMessage(platform::MsgAnswer::Yes);
        dialog = std::min(
            dialog, Best(1, [&] { finderDialog->findChild<QPushButton *>(QStringLiteral("cmdRepAll"))->click(); }));
        delete finderDialog;
        if (box.toPlainText() != result) {
            std::printf("Replace all gave a wrong text\n");
            return 1;
        }
    }
    std::printf("Replace all in the box: %.1f ms; setPlainText of the result: %.1f ms; ratio %.2f\n", dialog, load,
        dialog / load);
    return sink > 0 ? 0 : 1;
}
