// The editing box: its text and line breaks, word wrap, the font and the live counts.

#include "frmMain.h"

#include "app/statuspanel.h"
#include "platform/dialogs.h"
#include "platform/settingsstore.h"

#include <QAction>
#include <QFontMetricsF>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QStatusBar>
#include <QTextBlock>

QPlainTextEdit *frmMain::ActiveBox() const
{
    return txtMain;
}

QString frmMain::DocumentText() const
{
    // The raw form: the plain-text form would turn U+00A0 into a blank.
    return app::TextWithLineBreaks(txtMain->document()->toRawText(), m_lineBreaks);
}

void frmMain::SetDocumentText(const QString &text)
{
    m_lineBreaks = app::DetectLineBreaks(text);
    m_counter.Reset(text);
    {
        const QScopedValueRollback whole(m_blnSettingWholeText, true);
        txtMain->setPlainText(text);
    }
    if (!m_counter.Agrees(*txtMain->document())) {
        m_counter.Reset(*txtMain->document());
        m_panCount->setText(app::CountPanelText(Counts()));
    }
}

app::TextCounts frmMain::Counts() const
{
    return m_counter.Counts(m_lineBreaks, document.encoding);
}

void frmMain::txtMain_ContentsChange(int position, int removed, int added)
{
    if (m_blnSettingWholeText)
        return; // counted from the text
    m_counter.ContentsChange(*txtMain->document(), position, removed, added);
}

void frmMain::txtMain_Change()
{
    document.blnModified = true;
    DraftChanged();
    m_panCount->setText(app::CountPanelText(Counts()));
}

QString frmMain::PanelText(const QString &key) const
{
    const auto *panel = statusBar()->findChild<StatusPanel *>(key);
    return panel ? panel->text() : QString();
}

void frmMain::SetPanelText(const QString &key, const QString &text)
{
    if (auto *panel = statusBar()->findChild<StatusPanel *>(key))
        panel->setText(text);
}

// --- Word wrap ------------------------------------------------------------------------------

void frmMain::ShowWrapState(bool wrap)
{
    txtMain->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    txtMain->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    txtMain->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtMain->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
}

bool frmMain::WordWrap() const
{
    return txtMain->lineWrapMode() != QPlainTextEdit::NoWrap;
}

void frmMain::SetWordWrap(bool wrap)
{
    // One box serves both states: the text stays where it is, the selection is carried as its
    // start and length, and the switch counts as a change of the text.
    const QTextCursor before = txtMain->textCursor();
    const int start = before.selectionStart();
    const int end = before.selectionEnd();
    ShowWrapState(wrap);
    QTextCursor after(txtMain->document());
    after.setPosition(start);
    after.setPosition(end, QTextCursor::KeepAnchor);
    txtMain->setTextCursor(after);
    txtMain->ensureCursorVisible();
    txtMain_Change();
}

void frmMain::menuWrap_Click()
{
    // The menu item has already inverted its check mark.
    const bool wrap = menuWrap->isChecked();
    SetWordWrap(wrap);
    ToolButton(QStringLiteral("wrap"))->setChecked(wrap);
}

void frmMain::toolWrap_Click()
{
    // The button has already changed its state.
    const bool wrap = ToolButton(QStringLiteral("wrap"))->isChecked();
    SetWordWrap(wrap);
    menuWrap->setChecked(wrap);
}

// --- Font -----------------------------------------------------------------------------------

void frmMain::ApplyEditorFont()
{
    QFont font(m_font.name);
    font.setPointSizeF(m_font.size);
    font.setStyleHint(QFont::TypeWriter);
    txtMain->setFont(font);
    // Tab stops every eight characters, as in a plain edit box.
    txtMain->setTabStopDistance(QFontMetricsF(font).horizontalAdvance(QLatin1Char(' ')) * 8);
}

void frmMain::ChooseEditorFont()
{
    const std::optional<platform::FontChoice> choice
        = platform::dialogs().ChooseFont(this, { m_font.name, m_font.size });
    if (!choice)
        return;
    m_font = { choice->family, choice->pointSize };
    ApplyEditorFont();
    platform::SettingsStore &store = platform::settingsStore();
    app::WriteFontSetting(store, m_font);
    store.Sync();
    SetPanelText(QStringLiteral("font"), app::FontPanelText(m_font));
}
