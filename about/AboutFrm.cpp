#include "AboutFrm.h"

#include "platform/OpenLink.h"
#include "platform/VersionInfo.h"
#include "ui_AboutFrm.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>
#include <cmath>

namespace orvane {

TAboutForm* AboutForm = nullptr;

namespace {

// The form's font family where it exists, else the platform's own UI family.
QFont formFont(int pixelSize) {
    QFont font = QApplication::font();
    if (QFontDatabase::hasFamily(QStringLiteral("MS Sans Serif")))
        font.setFamily(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(pixelSize);
    return font;
}

// The labels stand at fixed places laid out for a narrow bitmap font; where the stand-in
// font is wider, the text is condensed until it fits before its right-hand neighbour
// instead of running under it.
void fitToWidth(QLabel* label, int width) {
    label->resize(width, label->height());
    QFont font = label->font();
    font.setStretch(QFont::Unstretched);
    for (int stretch = 99; stretch >= QFont::ExtraCondensed; --stretch) {
        if (QFontMetrics(font).horizontalAdvance(label->text()) <= width)
            break;
        font.setStretch(stretch);
    }
    label->setFont(font);
}

} // namespace

TAboutForm::TAboutForm(QWidget* owner, MemorySource memory)
    : QDialog(owner), ui(std::make_unique<Ui::TAboutForm>()), m_memory(std::move(memory)),
      m_versionFile(QString::fromStdString(platform::programPath())) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(300, 192);
    setFont(formFont(11));
    QFont productFont = formFont(19);
    productFont.setBold(true);
    ui->ProductName->setFont(productFont);
    for (QLabel* link : {ui->HttpTo, ui->MailTo}) {
        QPalette palette = link->palette();
        palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
        link->setPalette(palette);
        link->installEventFilter(this);
    }
    // Only the button takes the keyboard focus.
    for (QWidget* child : findChildren<QWidget*>())
        if (child != ui->Button1)
            child->setFocusPolicy(Qt::NoFocus);
    connect(ui->Button1, &QPushButton::clicked, this, [this] { Button1Click(ui->Button1); });
    openLink = [](const QString& address) { platform::openLink(address); };
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormCreate(this);
}

TAboutForm::~TAboutForm() {
    if (AboutForm == this)
        AboutForm = nullptr;
}

QLabel* TAboutForm::ProductName() const {
    return ui->ProductName;
}
QLabel* TAboutForm::LabelVersion() const {
    return ui->LabelVersion;
}
QLabel* TAboutForm::Copyright() const {
    return ui->Copyright;
}
QLabel* TAboutForm::HttpTo() const {
    return ui->HttpTo;
}
QLabel* TAboutForm::MailTo() const {
    return ui->MailTo;
}
QLabel* TAboutForm::PhysMem() const {
    return ui->PhysMem;
}
QLabel* TAboutForm::FreeRes() const {
    return ui->FreeRes;
}

QString TAboutForm::webAddress() {
    return QStringLiteral("https://orvane.org");
}
QString TAboutForm::mailAddress() {
    return QStringLiteral("team@orvane.org");
}

QLocale TAboutForm::figureLocale() {
    QLocale locale = QLocale();
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale;
}

QString TAboutForm::formatKilobytes(std::uint64_t bytes, const QLocale& locale) {
    // 64-bit all the way: machines with more than 4 GB show their real size.
    const double kilobytes = static_cast<double>(bytes) / 1024.0;
    QLocale grouped = locale;
    grouped.setNumberOptions(grouped.numberOptions() & ~QLocale::OmitGroupSeparator);
    return grouped.toString(static_cast<qulonglong>(std::llround(kilobytes))) + QStringLiteral(" KB");
}

QString TAboutForm::formatMemoryLoad(int percent) {
    return QStringLiteral("%1 %").arg(percent);
}

void TAboutForm::FormCreate(QObject*) {
    const platform::MemoryStatus status = m_memory ? m_memory() : platform::MemoryStatus{};
    ui->PhysMem->setText(formatKilobytes(status.totalPhysical, figureLocale()));
    ui->FreeRes->setText(formatMemoryLoad(status.memoryLoad));
    fitToWidth(ui->Label3, ui->PhysMem->x() - ui->Label3->x() - 2);
    fitToWidth(ui->PhysMem, width() - ui->PhysMem->x());
}

void TAboutForm::FormShow(QObject*) {
    // A file without a readable record leaves the label as it is.
    const auto record = platform::readVersionRecord(m_versionFile.toStdString());
    if (!record)
        return;
    const platform::FixedVersion& v = record->fileVersion;
    ui->LabelVersion->setText(
        QStringLiteral("Version %1.%2 (Build %3)").arg(v.major).arg(v.minor).arg(v.build));
}

void TAboutForm::HttpToClick(QObject*) {
    if (openLink)
        openLink(webAddress());
}

void TAboutForm::MailToClick(QObject*) {
    if (openLink)
        openLink(QStringLiteral("mailto:") + mailAddress());
}

void TAboutForm::setUnderline(QLabel* label, bool on) {
    QFont font = label->font();
    font.setUnderline(on);
    label->setFont(font);
}

void TAboutForm::HttpToMouseMove(QObject*) {
    setUnderline(ui->HttpTo, true);
}
void TAboutForm::HttpToMouseLeave(QObject*) {
    setUnderline(ui->HttpTo, false);
}
void TAboutForm::MailToMouseMove(QObject*) {
    setUnderline(ui->MailTo, true);
}
void TAboutForm::MailToMouseLeave(QObject*) {
    setUnderline(ui->MailTo, false);
}

void TAboutForm::Button1Click(QObject*) {
    close();
}

void TAboutForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow(this);
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event) {
    const bool http = watched == ui->HttpTo;
    if (http || watched == ui->MailTo) {
        switch (event->type()) {
        case QEvent::MouseMove:
        case QEvent::Enter:
            http ? HttpToMouseMove(watched) : MailToMouseMove(watched);
            break;
        case QEvent::Leave:
            http ? HttpToMouseLeave(watched) : MailToMouseLeave(watched);
            break;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
                static_cast<QWidget*>(watched)->rect().contains(
                    static_cast<QMouseEvent*>(event)->position().toPoint()))
                http ? HttpToClick(watched) : MailToClick(watched);
            break;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace orvane
