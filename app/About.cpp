#include "app/About.h"

#include "app/TimingDiagramView.h"

#include <QAbstractTextDocumentLayout>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>
#include <QtMath>

#include <algorithm>

TAboutForm *AboutForm = nullptr;

namespace {

// The program's title line, as the main window shows it in its caption.
const char *const ProgramTitle = "2.4GHz Radio Communication- Veltrane Ltd.";

// The command codes as the module's documentation lists them. The columns line up only in a
// fixed-pitch font; the spaces are part of the text.
const char *const CommandLines[] = {
    "S         Sleep",
    "R        Read All Config Data",
    "C[X]     Channel[0-127]",
    "B[X]     Serial BaudRate",
    "            X=1  9.600 Baud",
    "            X=2 19.200 Baud",
    "            X=4 32.600 Baud",
    "            X=8 56.700 Baud",
    "P[X]     TX Power",
    "            X=1  0dBm",
    "            X=2 -5dBm",
    "A[XXXXX] Address Ch. 1",
    "W[X]     Address Width[1-5]",
    "L[X]     Data Width (Bytes)",
};

constexpr int ClientWidth = 1023;
constexpr int ClientHeight = 565;
constexpr int CodesWidth = 569;

// The about frame's background: pure cyan, the classic "aqua".
const QColor Aqua(0, 255, 255);

// Whether every character has the same advance in this font, judged on those that differ most
// in a proportional one. Fontconfig's spacing property is not asked: some monospaced families
// (Noto Sans Mono) do not carry it, and a family that claims it may still fall back to
// proportional glyphs.
bool EqualAdvances(const QFont &font)
{
    const QFontMetricsF m(font);
    const qreal advance = m.horizontalAdvance(QLatin1Char('i'));
    for (const char c : {'W', '0', ' ', '[', '-'}) {
        if (!qFuzzyCompare(m.horizontalAdvance(QLatin1Char(c)), advance))
            return false;
    }
    return advance > 0;
}

// The font of the command list, whose columns line up only when every character has one
// advance: the desktop's fixed font first, then the machine's other monospaced families.
QFont CodesFont(qreal pointSize)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    if (pointSize > 0)
        font.setPointSizeF(pointSize);
    if (EqualAdvances(font))
        return font;
    QStringList families = QFontDatabase::families();
    // Those the font database calls fixed first; the rest only as a last resort.
    std::stable_partition(families.begin(), families.end(),
                          [](const QString &f) { return QFontDatabase::isFixedPitch(f); });
    for (const QString &family : std::as_const(families)) {
        QFont candidate = font;
        candidate.setFamilies({family});
        if (EqualAdvances(candidate))
            return candidate;
    }
    return font;
}

} // namespace

TAboutForm::TAboutForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("Help"));
    // Only a title: no system menu and no close box, so OK is the way out.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(ClientWidth, ClientHeight);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setGeometry(0, 0, ClientWidth, ClientHeight);

    PageControl1 = new QTabWidget(Panel1);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(8, 8, 905, 521);

    TransmitDiagram = new TimingDiagramView(TimingDiagram::transmit());
    ReceiveDiagram = new TimingDiagramView(TimingDiagram::receive());
    ProgrammingDiagram = new TimingDiagramView(TimingDiagram::programming());
    SleepDiagram = new TimingDiagramView(TimingDiagram::sleep());
    Transmit =
        addDiagramPage(QStringLiteral("Transmit"), QStringLiteral("Transmit"), TransmitDiagram);
    Receive = addDiagramPage(QStringLiteral("Receive"), QStringLiteral("Receive"), ReceiveDiagram);
    Programming = addDiagramPage(QStringLiteral("Programming"), QStringLiteral("Programming"),
                                 ProgrammingDiagram);
    Sleep = addDiagramPage(QStringLiteral("Sleep"), QStringLiteral("Sleep"), SleepDiagram);
    buildCodes();
    buildAboutPage();

    Button1 = new QPushButton(QStringLiteral("OK"), Panel1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAccessibleName(QStringLiteral("OK"));
    Button1->setDefault(true);
    const QRect pages = PageControl1->geometry();
    const QSize button(88, 27);
    Button1->setGeometry(ClientWidth - 16 - button.width(), pages.bottom() + 1 - button.height(),
                         button.width(), button.height());
    connect(Button1, &QPushButton::clicked, this, &TAboutForm::Button1Click);

    // The first showing opens on Transmit; later showings keep whatever tab was left open.
    PageControl1->setCurrentWidget(Transmit);
}

void TAboutForm::Button1Click()
{
    // Ends a modal showing; the window is only hidden and keeps its state for the next one.
    accept();
}

QWidget *TAboutForm::addDiagramPage(const QString &name, const QString &caption,
                                    TimingDiagramView *diagram)
{
    auto *page = new QWidget;
    page->setObjectName(name);
    page->setAccessibleName(caption);
    auto *pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(4, 4, 4, 4);

    auto *frame = new QGroupBox(diagram->diagram().title, page);
    frame->setObjectName(name + QStringLiteral("Frame"));
    pageLayout->addWidget(frame);
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(4, 4, 4, 4);
    diagram->setObjectName(name + QStringLiteral("Diagram"));
    diagram->setParent(frame);
    frameLayout->addWidget(diagram);
    frameLayout->addStretch(1);

    PageControl1->addTab(page, caption);
    return page;
}

void TAboutForm::buildCodes()
{
    Codes = new QGroupBox(QStringLiteral("Codes"), Programming);
    Codes->setObjectName(QStringLiteral("Codes"));
    auto *codesLayout = new QVBoxLayout(Codes);
    codesLayout->setContentsMargins(6, 6, 6, 6);

    Memo1 = new QPlainTextEdit(Codes);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setAccessibleName(QStringLiteral("Codes"));
    Memo1->setFont(CodesFont(font().pointSizeF()));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    codesLayout->addWidget(Memo1);

    // The pane starts with one empty line; every code goes on a line of its own after it.
    QTextCursor cursor(Memo1->document());
    for (const char *line : CommandLines) {
        cursor.movePosition(QTextCursor::End);
        cursor.insertBlock();
        cursor.insertText(QString::fromLatin1(line));
    }
    Memo1->moveCursor(QTextCursor::Start);

    // No taller than the whole list, and otherwise as tall as the page leaves room for below
    // the diagram: a font with taller lines gets the scroll bar, so every line can be reached.
    const QAbstractTextDocumentLayout *layout = Memo1->document()->documentLayout();
    qreal textHeight = 0;
    for (QTextBlock b = Memo1->document()->begin(); b.isValid(); b = b.next())
        textHeight += layout->blockBoundingRect(b).height();
    const int height =
        qCeil(textHeight + 2 * Memo1->document()->documentMargin()) + 2 * Memo1->frameWidth() + 2;
    Memo1->setFixedWidth(CodesWidth);
    Memo1->setMaximumHeight(height);
    Memo1->setMinimumHeight(std::min(height, 4 * Memo1->fontMetrics().height()));
    Memo1->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);

    // Below the diagram, inside the Programming frame, taking the room that is left.
    auto *frameLayout = qobject_cast<QVBoxLayout *>(ProgrammingDiagram->parentWidget()->layout());
    frameLayout->insertWidget(frameLayout->indexOf(ProgrammingDiagram) + 1, Codes, 1,
                              Qt::AlignLeft);
    frameLayout->setStretch(frameLayout->count() - 1, 0); // the page's own stretch below
}

void TAboutForm::buildAboutPage()
{
    About = new QWidget;
    About->setObjectName(QStringLiteral("About"));
    About->setAccessibleName(QStringLiteral("About"));
    auto *pageLayout = new QVBoxLayout(About);

    AboutFrame = new QGroupBox(QStringLiteral("About"), About);
    AboutFrame->setObjectName(QStringLiteral("AboutFrame"));
    AboutFrame->setAutoFillBackground(true);
    QPalette pal = AboutFrame->palette();
    pal.setColor(QPalette::Window, Aqua);
    AboutFrame->setPalette(pal);
    AboutFrame->setFixedSize(420, 150);

    auto *maker = new QLabel(QStringLiteral("Veltrane Ltd."), AboutFrame);
    maker->setObjectName(QStringLiteral("Label1"));
    auto *title = new QLabel(QString::fromLatin1(ProgramTitle), AboutFrame);
    title->setObjectName(QStringLiteral("Label2"));
    auto *frameLayout = new QVBoxLayout(AboutFrame);
    frameLayout->addStretch(1);
    frameLayout->addWidget(maker, 0, Qt::AlignHCenter);
    frameLayout->addWidget(title, 0, Qt::AlignHCenter);
    frameLayout->addStretch(1);

    pageLayout->addStretch(1);
    pageLayout->addWidget(AboutFrame, 0, Qt::AlignHCenter);
    pageLayout->addStretch(1);

    PageControl1->addTab(About, QStringLiteral("About"));
}
