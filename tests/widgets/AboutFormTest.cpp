// The About box and the platform figures it shows: version record, memory, links.

#include "about/AboutFrm.h"
#include "platform/MemoryStatus.h"
#include "platform/VersionInfo.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstring>

using namespace orvane;
using platform::FixedVersion;
using platform::VersionRecord;

namespace {

void put(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(std::uint8_t(value >> (8 * i)));
}

// A minimal 64-bit ELF file: header, one note section holding `notes`, section table.
std::vector<std::uint8_t> elfWithNotes(const std::vector<std::uint8_t>& notes) {
    std::vector<std::uint8_t> f = {0x7f, 'E', 'L', 'F', 2, 1, 1, 0};
    f.resize(16, 0);
    put(f, 2, 2);  // e_type
    put(f, 62, 2); // e_machine
    put(f, 1, 4);  // e_version
    put(f, 0, 8);  // e_entry
    put(f, 0, 8);  // e_phoff
    const std::uint64_t shoff = 64 + ((notes.size() + 7) & ~std::size_t(7));
    put(f, shoff, 8);
    put(f, 0, 4);  // e_flags
    put(f, 64, 2); // e_ehsize
    put(f, 56, 2); // e_phentsize
    put(f, 0, 2);  // e_phnum
    put(f, 64, 2); // e_shentsize
    put(f, 2, 2);  // e_shnum
    put(f, 0, 2);  // e_shstrndx
    f.insert(f.end(), notes.begin(), notes.end());
    f.resize(shoff, 0);
    f.resize(f.size() + 64, 0); // null section
    put(f, 0, 4);               // sh_name
    put(f, 7, 4);               // SHT_NOTE
    put(f, 2, 8);               // SHF_ALLOC
    put(f, 0, 8);               // sh_addr
    put(f, 64, 8);              // sh_offset
    put(f, notes.size(), 8);    // sh_size
    put(f, 0, 4), put(f, 0, 4), put(f, 4, 8), put(f, 0, 8);
    return f;
}

std::vector<std::uint8_t> note(const char* owner, std::uint32_t type, const std::vector<std::uint8_t>& desc) {
    std::vector<std::uint8_t> n;
    const std::size_t ownerSize = std::strlen(owner) + 1;
    put(n, ownerSize, 4);
    put(n, desc.size(), 4);
    put(n, type, 4);
    n.insert(n.end(), owner, owner + ownerSize);
    n.resize((n.size() + 3) & ~std::size_t(3), 0);
    n.insert(n.end(), desc.begin(), desc.end());
    n.resize((n.size() + 3) & ~std::size_t(3), 0);
    return n;
}

std::vector<std::uint8_t> versionNote(FixedVersion v) {
    VersionRecord record;
    record.fileVersion = record.productVersion = v;
    record.strings = {{"ProductName", "Orvane"}, {"Comments", ""}};
    return note(platform::kVersionNoteOwner, platform::kVersionNoteType, platform::encodeVersionNote(record));
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const std::vector<std::uint8_t>& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    return path;
}

} // namespace

class AboutFormTest : public QObject {
    Q_OBJECT
private slots:
    void versionRecordOfThisProgram();
    void versionRecordFromFiles();
    void hostileElfFilesGiveNoRecord();
    void meminfoParsing();
    void figureFormatting();
    void layoutAndTexts();
    void versionLabel();
    void secondOpeningKeepsMemoryFigures();
    void linksUnderlineAndOpen();
};

void AboutFormTest::versionRecordOfThisProgram() {
    // The test program links the same version note as the player.
    const auto record = platform::readVersionRecord(platform::programPath());
    QVERIFY(record);
    QCOMPARE(record->fileVersion, (FixedVersion{1, 0, 0, 22}));
    QCOMPARE(record->productVersion, (FixedVersion{1, 0, 0, 22}));
    QCOMPARE(record->language, std::uint16_t(0x0409));
    QCOMPARE(record->codePage, std::uint16_t(1252));
    QCOMPARE(record->string("FileDescription"), std::string("Orvane 1.0"));
    QCOMPARE(record->string("ProductName"), std::string("Orvane"));
    QCOMPARE(record->string("ProductVersion"), std::string("1.0"));
    QCOMPARE(record->string("FileVersion"), std::string("1.0.0.22"));
    QVERIFY(!record->string("CompanyName").empty());
    QVERIFY(!record->string("LegalCopyright").empty());
    QCOMPARE(record->string("InternalName"), std::string());
}

void AboutFormTest::versionRecordFromFiles() {
    QTemporaryDir dir;
    // A foreign note before ours is skipped.
    auto notes = note("GNU", 3, {1, 2, 3, 4});
    const auto ours = versionNote({2, 5, 7, 300});
    notes.insert(notes.end(), ours.begin(), ours.end());
    const auto record =
        platform::readVersionRecord(writeFile(dir, "v.elf", elfWithNotes(notes)).toStdString());
    QVERIFY(record);
    QCOMPARE(record->fileVersion, (FixedVersion{2, 5, 7, 300}));
    QCOMPARE(record->string("ProductName"), std::string("Orvane"));

    QVERIFY(!platform::readVersionRecord(
        writeFile(dir, "plain.elf", elfWithNotes(note("GNU", 3, {0, 0, 0, 0}))).toStdString()));
    QVERIFY(!platform::readVersionRecord(dir.filePath("missing").toStdString()));
}

void AboutFormTest::hostileElfFilesGiveNoRecord() {
    QTemporaryDir dir;
    const auto good = elfWithNotes(versionNote({1, 0, 0, 22}));
    // Every truncation of a valid file must be refused without reading past its end.
    for (std::size_t cut = 0; cut < good.size(); cut += 7) {
        std::vector<std::uint8_t> shortFile(good.begin(), good.begin() + std::ptrdiff_t(cut));
        QVERIFY(!platform::readVersionRecord(writeFile(dir, "cut.elf", shortFile).toStdString()));
    }
    // Lying sizes and offsets: note sizes past the section, a huge section, a count of strings
    // beyond the descriptor, a section table far outside the file.
    auto lie = [&](std::size_t at, std::uint64_t value, int bytes) {
        auto f = good;
        for (int i = 0; i < bytes; ++i)
            f[at + i] = std::uint8_t(value >> (8 * i));
        return platform::readVersionRecord(writeFile(dir, "lie.elf", f).toStdString());
    };
    QVERIFY(!lie(64 + 4, 0xFFFFFFF0, 4));           // descsz
    QVERIFY(!lie(64, 0xFFFFFFF0, 4));               // namesz
    QVERIFY(!lie(40, 0x7FFFFFFFFFFFFFFF, 8));       // e_shoff
    QVERIFY(!lie(60, 0xFFFF, 2));                   // e_shnum
    QVERIFY(!lie(64 + 12 + 8 + 28, 0x7FFFFFFF, 4)); // string count
    QVERIFY(lie(64 + 12 + 8 + 8, 0x00020005, 4));   // a plain version change still reads
}

void AboutFormTest::meminfoParsing() {
    const auto status = platform::parseMeminfo("MemTotal:       16384000 kB\n"
                                               "MemFree:         1000000 kB\n"
                                               "MemAvailable:    4096000 kB\n");
    QVERIFY(status);
    // More than 4 GB is kept whole.
    QCOMPARE(status->totalPhysical, std::uint64_t(16384000) * 1024);
    QCOMPARE(status->memoryLoad, 75);
    // Older kernels: free + buffers + cached stand in for MemAvailable.
    const auto old =
        platform::parseMeminfo("MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 50 kB\nCached: 50 kB\n");
    QVERIFY(old);
    QCOMPARE(old->memoryLoad, 80);
    QVERIFY(!platform::parseMeminfo(""));
    QVERIFY(!platform::parseMeminfo("MemTotal: lots\n"));
    QVERIFY(!platform::parseMeminfo("MemTotal: 0 kB\n"));
    QVERIFY(!platform::parseMeminfo("MemTotal: 99999999999999999999999 kB\n"));
    const auto live = platform::memoryStatus();
    QVERIFY(live.totalPhysical > 0);
    QVERIFY(live.memoryLoad >= 0 && live.memoryLoad <= 100);
}

void AboutFormTest::figureFormatting() {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    QCOMPARE(TAboutForm::formatKilobytes(536870912, us), QStringLiteral("524,288 KB"));
    QCOMPARE(TAboutForm::formatKilobytes(1073741824, us), QStringLiteral("1,048,576 KB"));
    // 64 GB does not wrap around 32 bits.
    QCOMPARE(TAboutForm::formatKilobytes(std::uint64_t(64) << 30, us), QStringLiteral("67,108,864 KB"));
    QCOMPARE(TAboutForm::formatKilobytes(1536, us), QStringLiteral("2 KB"));
    QCOMPARE(TAboutForm::formatKilobytes(0, us), QStringLiteral("0 KB"));
    // The user's separator, whatever it is.
    QCOMPARE(TAboutForm::formatKilobytes(536870912, QLocale(QLocale::German, QLocale::Germany)),
             QStringLiteral("524.288 KB"));
    // A C locale groups nothing by itself; the figure is grouped all the same.
    QLocale::setDefault(QLocale::c());
    QCOMPARE(TAboutForm::formatKilobytes(536870912, TAboutForm::figureLocale()),
             QStringLiteral("524,288 KB"));
    QLocale::setDefault(QLocale::system());
    QCOMPARE(TAboutForm::formatMemoryLoad(5), QStringLiteral("5 %"));
    QCOMPARE(TAboutForm::formatMemoryLoad(37), QStringLiteral("37 %"));
}

void AboutFormTest::layoutAndTexts() {
    TAboutForm form(nullptr, [] { return platform::MemoryStatus{536870912, 5}; });
    QCOMPARE(form.size(), QSize(300, 192));
    QCOMPARE(form.LabelVersion()->text(), QStringLiteral("Version 1.0"));
    auto* image = form.findChild<QLabel*>(QStringLiteral("Image1"));
    QVERIFY(image);
    QCOMPARE(image->pixmap().size(), QSize(32, 32));
    QCOMPARE(form.PhysMem()->text(),
             QStringLiteral("524,288 KB").replace(',', TAboutForm::figureLocale().groupSeparator()));
    QCOMPARE(form.FreeRes()->text(), QStringLiteral("5 %"));
    // Whatever the font, the memory caption ends before the figure starts.
    auto* label3 = form.findChild<QLabel*>(QStringLiteral("Label3"));
    QCOMPARE(label3->pos(), QPoint(19, 147));
    QVERIFY(label3->x() + QFontMetrics(label3->font()).horizontalAdvance(label3->text()) <= form.PhysMem()->x());
}

void AboutFormTest::versionLabel() {
    QTemporaryDir dir;
    TAboutForm form(nullptr, [] { return platform::MemoryStatus{}; });
    // A file without a record leaves the label alone.
    form.setVersionFile(writeFile(dir, "none.elf", elfWithNotes(note("GNU", 3, {}))));
    form.show();
    QCOMPARE(form.LabelVersion()->text(), QStringLiteral("Version 1.0"));
    form.hide();
    form.setVersionFile(writeFile(dir, "v.elf", elfWithNotes(versionNote({2, 5, 7, 300}))));
    form.show();
    QCOMPARE(form.LabelVersion()->text(), QStringLiteral("Version 2.5 (Build 300)"));
    form.hide();
    form.setVersionFile(QString::fromStdString(platform::programPath()));
    form.show();
    QCOMPARE(form.LabelVersion()->text(), QStringLiteral("Version 1.0 (Build 22)"));
    form.hide();
}

void AboutFormTest::secondOpeningKeepsMemoryFigures() {
    int calls = 0;
    TAboutForm form(nullptr, [&calls] {
        ++calls;
        return platform::MemoryStatus{std::uint64_t(calls) << 30, 10 * calls};
    });
    QTemporaryDir dir;
    form.setVersionFile(writeFile(dir, "a.elf", elfWithNotes(versionNote({3, 1, 0, 7}))));
    const QString mem = form.PhysMem()->text();
    const QString expected[] = {QStringLiteral("Version 3.1 (Build 7)"),
                                QStringLiteral("Version 3.2 (Build 8)")};
    for (const QString& label : expected) {
        QTimer::singleShot(0, &form, [&form] {
            QTest::mouseClick(form.findChild<QPushButton*>("Button1"), Qt::LeftButton);
        });
        form.exec();
        QVERIFY(!form.isVisible());
        // The version is read again at each opening; the memory figures are not.
        QCOMPARE(form.LabelVersion()->text(), label);
        form.setVersionFile(writeFile(dir, "b.elf", elfWithNotes(versionNote({3, 2, 0, 8}))));
    }
    QCOMPARE(calls, 1);
    QCOMPARE(form.PhysMem()->text(), mem);
    QCOMPARE(form.FreeRes()->text(), QStringLiteral("10 %"));
}

void AboutFormTest::linksUnderlineAndOpen() {
    TAboutForm form(nullptr, [] { return platform::MemoryStatus{}; });
    QStringList opened;
    form.openLink = [&opened](const QString& address) { opened << address; };
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QLabel* http = form.HttpTo();
    QTest::mouseMove(http, QPoint(5, 5));
    QTest::mouseMove(http, QPoint(6, 6));
    QVERIFY(http->font().underline());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(http, &leave);
    QVERIFY(!http->font().underline());
    form.MailToMouseMove(form.MailTo());
    form.MailToMouseMove(form.MailTo());
    QVERIFY(form.MailTo()->font().underline());
    form.MailToMouseLeave(form.MailTo());
    QVERIFY(!form.MailTo()->font().underline());

    QTest::mouseClick(http, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(form.MailTo(), Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(opened,
             (QStringList{TAboutForm::webAddress(), QStringLiteral("mailto:") + TAboutForm::mailAddress()}));
    QVERIFY(TAboutForm::webAddress().startsWith(QLatin1String("http")));
    form.hide();
}

QTEST_MAIN(AboutFormTest)
#include "AboutFormTest.moc"
