#pragma once
// TAboutForm: the modal About box, created on first use and shown again on later openings.

#include "platform/MemoryStatus.h"

#include <QDialog>
#include <QLocale>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

QT_BEGIN_NAMESPACE
namespace Ui {
class TAboutForm;
}
class QLabel;
class QMouseEvent;
QT_END_NAMESPACE

namespace orvane {

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    using MemorySource = std::function<platform::MemoryStatus()>;

    // The box takes its memory figures once, here; `memory` replaces the kernel's figures.
    explicit TAboutForm(QWidget* owner = nullptr, MemorySource memory = platform::memoryStatus);
    ~TAboutForm() override;

    // The file whose version record the label shows; the running program's file by default.
    void setVersionFile(const QString& path) { m_versionFile = path; }
    QString versionFile() const { return m_versionFile; }

    QLabel* ProductName() const;
    QLabel* LabelVersion() const;
    QLabel* Copyright() const;
    QLabel* HttpTo() const;
    QLabel* MailTo() const;
    QLabel* PhysMem() const;
    QLabel* FreeRes() const;

    // "524,288 KB": bytes / 1024, rounded, grouped by the user's thousands separator.
    static QString formatKilobytes(std::uint64_t bytes, const QLocale& locale);
    // "37 %"
    static QString formatMemoryLoad(int percent);
    // The user's locale for figures; the C locale groups nothing, so it falls back to US English.
    static QLocale figureLocale();

    // The addresses the links open.
    static QString webAddress();
    static QString mailAddress();

    // Event handlers, named after the form's members.
    void FormCreate(QObject* sender);
    void FormShow(QObject* sender);
    void HttpToClick(QObject* sender);
    void HttpToMouseMove(QObject* sender);
    void HttpToMouseLeave(QObject* sender);
    void MailToClick(QObject* sender);
    void MailToMouseMove(QObject* sender);
    void MailToMouseLeave(QObject* sender);
    void Button1Click(QObject* sender);

    // Replaces the desktop's link handler (tests); the default opens through the desktop.
    std::function<void(const QString& address)> openLink;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static void setUnderline(QLabel* label, bool on);

    std::unique_ptr<Ui::TAboutForm> ui;
    MemorySource m_memory;
    QString m_versionFile;
};

// The About box's global: empty until the first opening, then the one instance for the run.
extern TAboutForm* AboutForm;

} // namespace orvane
