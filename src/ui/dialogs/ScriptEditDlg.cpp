#include "ScriptEditDlg.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextBlock>
#include <algorithm>

#include "ControlIds.h"
#include "DisplayText.h"
#include "ScriptPreview.h"
#include "help/Help.h"

namespace tavisk::ui {

namespace {

// The pane's controls lie right of the dialog's design width and are shown
// only with the preview on, when the dialog grows by kPaneWidth.
constexpr int kDesignWidth = 277;
constexpr int kPaneWidth = 284;

constexpr ControlTemplate kControls[] = {
    {IDOK, ControlKind::PushButton, "OK", 220, 216, 48, 16, CS_DEFAULT},
    {IDCANCEL, ControlKind::PushButton, "Cancel", 220, 236, 48, 16},
    {ID_HELP, ControlKind::PushButton, "Help", 220, 256, 48, 16},
    {IDC_SCRIPT_EDIT, ControlKind::MultiLineEdit, "", 8, 4, 260, 200},
    {IDC_PREVIEW, ControlKind::CheckBox, "&Preview", 8, 216, 60, 12},
    {IDC_PREVIEW_SOURCE, ControlKind::ComboBox, "", 276, 4, 196, 16},
    {IDC_PREVIEW_DIFF, ControlKind::CheckBox, "Show as &diff", 480, 6, 72, 12},
    {IDC_PREVIEW_TEXT, ControlKind::MultiLineEdit, "", 276, 24, 276, 180},
    {IDC_PREVIEW_MESSAGES, ControlKind::MultiLineEdit, "", 276, 212, 276, 60},
};

constexpr int kPaneControls[] = {IDC_PREVIEW_SOURCE, IDC_PREVIEW_DIFF, IDC_PREVIEW_TEXT, IDC_PREVIEW_MESSAGES};
constexpr int kLeftControls[] = {IDOK, IDCANCEL, ID_HELP, IDC_SCRIPT_EDIT, IDC_PREVIEW};

constexpr DialogTemplate kTemplate = {"Script View / Edit", kDesignWidth, 277, "Tahoma", 8, true, false, kControls};

}  // namespace

CScriptEditDlg::CScriptEditDlg(QWidget* parent)
    : CTemplateDialog(kTemplate, parent), m_editScript(DlgItem<QPlainTextEdit>(*this, IDC_SCRIPT_EDIT)) {
    OnClicked(IDOK, [this] { accept(); });
    OnClicked(IDCANCEL, [this] { reject(); });
    SetHelpTopic(kHelpTopicScriptEdit);
    OnClicked(ID_HELP, [this] { ShowHelp(); });
    for (int id : kPaneControls) DlgItem(*this, id)->hide();
    for (int id : {IDC_PREVIEW_TEXT, IDC_PREVIEW_MESSAGES}) {
        auto* pane = DlgItem<QPlainTextEdit>(*this, id);
        pane->setReadOnly(true);
        pane->setUndoRedoEnabled(false);
    }
}

CScriptEditDlg::~CScriptEditDlg() = default;

void CScriptEditDlg::OnInitDialog() {
    m_editScript->setFont(TemplateFont("Tahoma", 12));

    static const std::vector<std::string> kNoLines;
    m_pText = std::make_unique<ScriptEditText>(m_pScriptLines ? *m_pScriptLines : kNoLines);
    QString text;
    for (const std::string& line : m_pText->ShownLines()) text += QString::fromStdString(line) + QLatin1Char('\n');
    m_editScript->setPlainText(text);
    // Only the user's own changes count.
    m_editScript->document()->setModified(false);
    // The user opened the editor to type in it.
    m_editScript->setFocus(Qt::OtherFocusReason);

    m_layout.Init(this);
    m_layout.AddControl(IDOK, LAYOUT_MOVE_X | LAYOUT_MOVE_Y);
    m_layout.AddControl(IDCANCEL, LAYOUT_MOVE_X | LAYOUT_MOVE_Y);
    m_layout.AddControl(ID_HELP, LAYOUT_MOVE_X | LAYOUT_MOVE_Y);
    m_layout.AddControl(IDC_SCRIPT_EDIT, LAYOUT_SIZE_X | LAYOUT_SIZE_Y);
    m_layout.AddControl(IDC_PREVIEW, LAYOUT_MOVE_Y);

    auto* sources = DlgItem<QComboBox>(*this, IDC_PREVIEW_SOURCE);
    for (const QString& path : m_sourcePaths) sources->addItem(QFileInfo(path).fileName(), path);
    auto* diff = DlgItem<QAbstractButton>(*this, IDC_PREVIEW_DIFF);
    diff->setChecked(m_bPreviewDiff);
    auto* preview = DlgItem<QAbstractButton>(*this, IDC_PREVIEW);
    preview->setChecked(m_bPreview);
    // After either switch the user goes on writing the script.
    connect(preview, &QAbstractButton::toggled, this, [this](bool on) {
        m_bPreview = on;
        ShowPreviewPane(on);
        m_editScript->setFocus(Qt::OtherFocusReason);
    });
    connect(diff, &QAbstractButton::toggled, this, [this](bool on) {
        m_bPreviewDiff = on;
        RequestPreview();
        m_editScript->setFocus(Qt::OtherFocusReason);
    });
    connect(sources, &QComboBox::currentIndexChanged, this, [this] { RequestPreview(); });
    connect(m_editScript, &QPlainTextEdit::textChanged, this, [this] { RequestPreview(); });
    if (m_bPreview) ShowPreviewPane(true);
}

bool CScriptEditDlg::IsPreviewBusy() const { return m_pPreview && m_pPreview->IsBusy(); }

void CScriptEditDlg::ShowPreviewPane(bool show) {
    if (show == m_bPaneShown) return;
    if (show) {
        m_sizeWithoutPane = size();
        m_leftGeometry.clear();
        for (int id : kLeftControls) m_leftGeometry.emplace_back(DlgItem(*this, id), DlgItem(*this, id)->geometry());
        m_bPaneShown = true;
        if (!m_pPreview) {
            m_pPreview = new ScriptPreview(this);
            connect(m_pPreview, &ScriptPreview::Ready, this, &CScriptEditDlg::ShowPreview);
        }
        for (int id : kPaneControls) DlgItem(*this, id)->show();
        resize(width() + Units().ToPixelsX(kPaneWidth), height());
        // Smaller, the pane and the text would squeeze each other out.
        m_minimumWithoutPane = minimumSize();
        setMinimumSize(size());
        KeepOnScreen();
        LayOutWithPreview();
        RequestPreview();
        return;
    }
    m_bPaneShown = false;
    if (m_pPreview) m_pPreview->Cancel();
    for (int id : kPaneControls) DlgItem(*this, id)->hide();
    // Back to the look without the pane; the resize anchors take over again from there.
    for (const auto& [control, geometry] : m_leftGeometry) control->setGeometry(geometry);
    setMinimumSize(m_minimumWithoutPane);
    resize(m_sizeWithoutPane);
}

void CScriptEditDlg::KeepOnScreen() {
    // The wider dialog moves left as far as it must to stay on its screen.
    const QScreen* shownOn = screen();
    if (!shownOn || !isVisible()) return;
    const QRect available = shownOn->availableGeometry();
    const QRect frame = frameGeometry();
    const int overhang = frame.right() - available.right();
    if (overhang > 0) move(std::max(available.left(), frame.left() - overhang), frame.top());
}

void CScriptEditDlg::LayOutWithPreview() {
    // The text and its buttons keep their width and follow the height; the pane takes the rest.
    const int dy = height() - m_sizeWithoutPane.height();
    for (const auto& [control, geometry] : m_leftGeometry) {
        if (control == m_editScript)
            control->setGeometry(geometry.adjusted(0, 0, 0, dy));
        else
            control->setGeometry(geometry.translated(0, dy));
    }
    const int left = m_sizeWithoutPane.width() - Units().ToPixelsX(kDesignWidth - 276);
    const int right = width() - Units().ToPixelsX(kDesignWidth - 268);
    const int margin = Units().ToPixelsX(8);
    QWidget* diff = DlgItem(*this, IDC_PREVIEW_DIFF);
    const int diffWidth = Units().ToPixelsX(72);
    diff->setGeometry(right - diffWidth, Units().ToPixelsY(6), diffWidth, Units().ToPixelsY(12));
    DlgItem(*this, IDC_PREVIEW_SOURCE)
        ->setGeometry(left, Units().ToPixelsY(4), std::max(margin, right - diffWidth - margin - left), Units().ToPixelsY(16));
    const int messagesHeight = Units().ToPixelsY(60);
    const int bottom = height() - Units().ToPixelsY(5);
    DlgItem(*this, IDC_PREVIEW_MESSAGES)->setGeometry(left, bottom - messagesHeight, right - left, messagesHeight);
    const int textTop = Units().ToPixelsY(24);
    DlgItem(*this, IDC_PREVIEW_TEXT)
        ->setGeometry(left, textTop, right - left, std::max(margin, bottom - messagesHeight - Units().ToPixelsY(8) - textTop));
}

void CScriptEditDlg::RequestPreview() {
    if (!m_bPaneShown || !m_pPreview || !m_pText) return;
    auto* sources = DlgItem<QComboBox>(*this, IDC_PREVIEW_SOURCE);
    if (sources->currentIndex() < 0) {
        m_pPreview->Cancel();
        ShowPreview(QString(), QStringLiteral("Choose source files in the main window to see what the script makes of them"));
        return;
    }
    PreviewRequest request;
    request.scriptLines = m_pText->TakeBack(EditorLines());
    request.sourcePath = PathBytes(sources->currentData().toString());
    request.lineEnds = m_lineEnds;
    request.bDiff = m_bPreviewDiff;
    m_pPreview->Request(std::move(request));
}

void CScriptEditDlg::ShowPreview(const QString& text, const QString& messages) {
    DlgItem<QPlainTextEdit>(*this, IDC_PREVIEW_TEXT)->setPlainText(text);
    DlgItem<QPlainTextEdit>(*this, IDC_PREVIEW_MESSAGES)->setPlainText(messages);
}

std::vector<std::string> CScriptEditDlg::EditorLines() const {
    // Paragraph by paragraph: the document's plain text would turn
    // non-breaking spaces into spaces.
    std::vector<std::string> lines;
    for (QTextBlock block = m_editScript->document()->begin(); block.isValid(); block = block.next())
        lines.push_back(block.text().toStdString());
    return lines;
}

void CScriptEditDlg::accept() {
    if (m_editScript->document()->isModified() && m_pScriptLines && m_pText) {
        m_bModified = true;
        *m_pScriptLines = m_pText->TakeBack(EditorLines());
    }
    CTemplateDialog::accept();
}

void CScriptEditDlg::resizeEvent(QResizeEvent* event) {
    CTemplateDialog::resizeEvent(event);
    if (m_bPaneShown)
        LayOutWithPreview();
    else
        m_layout.Reposition();
}

}  // namespace tavisk::ui
