// The main dialog driven offscreen with the real language modules: template (also one that
// lacks controls), initialisation, keyboard filtering, the text-encoding choice, the date range and
// the status ticker.
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUiLoader>

#include "tavrin/testing/tavrin_dlg_test_access.h"
#include "tavrin/testing/ui_test_support.h"
#include "tavrin/ui/audit_combo_box.h"
#include "tavrin/ui/control_loader.h"
#include "tavrin/ui/dialog_events.h"
#include "tavrin/ui/list_ctrl_ex.h"
#include "tavrin/ui/package_combo_box.h"
#include "tavrin/ui/time_thread.h"

namespace ui {

namespace {

using test::FrameDialogTest;
using test::Peek;
using test::TestProgramFolder;

// Delivers everything posted so far (ticks and load notices) on this thread.
void Deliver() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

void PostTick(CTavrinDlg& dlg) {
    QCoreApplication::postEvent(&dlg, new CTickEvent());
    Deliver();
}

// ---- The language modules --------------------------------------------------------------

struct ControlKind {
    int nId;
    const char* className;
};

// Every control of template 102 with the class it must have.
const ControlKind kControls[] = {
    {1000, "QLineEdit"},   {1001, "QPushButton"}, {1002, "QLineEdit"},
    {1003, "QLineEdit"},   {1004, "QLineEdit"},   {1006, "CPackageComboBox"},
    {1008, "QPushButton"}, {1009, "QPushButton"}, {1010, "QPushButton"},
    {1013, "QLineEdit"},   {1014, "QPushButton"}, {1015, "QComboBox"},
    {1016, "QComboBox"},   {1017, "QComboBox"},   {1018, "QComboBox"},
    {1019, "QComboBox"},   {1020, "QComboBox"},   {1021, "QLineEdit"},
    {1022, "QLineEdit"},   {1023, "QLineEdit"},   {1025, "CAuditComboBox"},
    {1026, "QLineEdit"},   {1027, "QLineEdit"},   {1028, "QPushButton"},
    {1029, "QLabel"},      {1030, "QLabel"},      {1032, "QDateEdit"},
    {1033, "QDateEdit"},   {1034, "QLineEdit"},   {1035, "QPushButton"},
    {1038, "QComboBox"},
};

// Strings the module must hold: the table of the program plus the frame's and the import's
// additions (163 to 165). 141 lives in the program itself, 146 is not used.
std::vector<int> RequiredStrings() {
    std::vector<int> ids;
    for (int id = 129; id <= 165; ++id)
        if (id != 141 && id != 146) ids.push_back(id);
    return ids;
}

class LanguageModuleTest : public ::testing::TestWithParam<const char*> {};

TEST_P(LanguageModuleTest, ProvidesEveryStringControlAndTheIcon) {
    common::CLangModule module;
    ASSERT_TRUE(module.Load(QDir(TestProgramFolder()).filePath(GetParam())));
    const bool bChinese = QString(GetParam()) == "chinese.rcc";
    for (int id : RequiredStrings()) {
        const QString text = module.String(id);
        EXPECT_FALSE(text.trimmed().isEmpty()) << GetParam() << " lacks string " << id;
        // Chinese texts are Chinese (headers and messages alike), except pure symbols.
        if (bChinese && id != 159) {
            bool hasHan = false;
            for (QChar c : text)
                hasHan = hasHan || (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF);
            EXPECT_TRUE(hasHan) << "string " << id << " is not Chinese: " << text.toStdString();
        }
    }
    EXPECT_FALSE(module.HasString(141)) << "141 must not depend on the module";
    // The open dialog's filter is description/pattern pairs selecting *.tar.
    const QStringList filter = module.String(159).split('|');
    ASSERT_GE(filter.size(), 2);
    EXPECT_EQ(filter[1], "*.tar");
    EXPECT_EQ(common::QtNameFilter(module.String(159)).right(7), "(*.tar)");
    EXPECT_EQ(common::QtNameFilter(module.String(159)).count("(*.tar)"), 1);
    EXPECT_FALSE(module.Icon(128).isNull());

    QWidget parent;
    CControlLoader loader;
    QWidget* form = module.LoadDialogTemplate(102, &parent, &loader);
    ASSERT_NE(form, nullptr);
    for (const ControlKind& control : kControls) {
        QWidget* widget = form->findChild<QWidget*>(QString::number(control.nId));
        ASSERT_NE(widget, nullptr) << GetParam() << " lacks control " << control.nId;
        EXPECT_TRUE(widget->inherits(control.className))
            << control.nId << " is a " << widget->metaObject()->className();
        // Controls lie inside the window, clear of the list's rectangle.
        EXPECT_EQ(widget->parentWidget(), form) << control.nId;
        const QRect list = form->rect().adjusted(30, 230, -30, -70);
        EXPECT_TRUE(form->rect().contains(widget->geometry())) << control.nId;
        EXPECT_FALSE(list.intersects(widget->geometry())) << control.nId << " overlaps the list";
    }
    EXPECT_FALSE(form->windowTitle().isEmpty());
    // A plain loader still builds the template (the custom controls fall back to combos).
    QWidget plainParent;
    QWidget* plain = module.LoadDialogTemplate(102, &plainParent);
    ASSERT_NE(plain, nullptr);
    EXPECT_NE(plain->findChild<QComboBox*>("1025"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(BothModules, LanguageModuleTest,
                         ::testing::Values("chinese.rcc", "english.rcc"));

// ---- A template that lacks controls ----------------------------------------------------

// The English module with the search button (1028) and the page field (1013) taken out of
// its template, as a damaged or older module would have it, built with the resource compiler.
class DamagedTemplateTest : public FrameDialogTest {
  protected:
    void SetUp() override {
        const QDir folder(QDir(TempPath()).filePath(QStringLiteral("damaged")));
        ASSERT_TRUE(folder.mkpath(QStringLiteral(".")));
        {
            common::CLangModule english;
            ASSERT_TRUE(english.Load(QDir(TestProgramFolder()).filePath("english.rcc")));
            const QDir resources(QStringLiteral(":/lang"));
            for (const QString& name : resources.entryList(QDir::Files)) {
                QFile in(resources.filePath(name));
                ASSERT_TRUE(in.open(QIODevice::ReadOnly)) << name.toStdString();
                QByteArray data = in.readAll();
                if (name == QLatin1String("dialog102.ui"))
                    for (int id : {1013, 1028}) data = WithoutControl(data, id);
                QFile out(folder.filePath(name));
                ASSERT_TRUE(out.open(QIODevice::WriteOnly));
                out.write(data);
                m_qrc += QStringLiteral("<file alias=\"%1\">%2</file>\n")
                             .arg(name, folder.filePath(name));
            }
        }
        QFile qrc(QDir(TempPath()).filePath(QStringLiteral("damaged.qrc")));
        ASSERT_TRUE(qrc.open(QIODevice::WriteOnly));
        qrc.write(
            ("<RCC><qresource prefix=\"/lang\">\n" + m_qrc + "</qresource></RCC>\n").toUtf8());
        qrc.close();
        QProcess rcc;
        rcc.start(QStringLiteral(TAVRIN_TEST_RCC),
                  {QStringLiteral("--binary"), qrc.fileName(), QStringLiteral("-o"), Module()});
        ASSERT_TRUE(rcc.waitForFinished(60000));
        ASSERT_EQ(rcc.exitCode(), 0) << rcc.readAllStandardError().toStdString();
        FrameDialogTest::SetUp();
    }
    QString Module() const override {
        return QDir(TempPath()).filePath(QStringLiteral("damaged.rcc"));
    }

    // The template without the control named id (a leaf: its element ends at the next
    // </widget>).
    static QByteArray WithoutControl(const QByteArray& ui, int id) {
        const int name = ui.indexOf("name=\"" + QByteArray::number(id) + "\"");
        const int start = ui.lastIndexOf("<widget", name);
        const QByteArray end = "</widget>";
        const int stop = ui.indexOf(end, name);
        EXPECT_TRUE(name > 0 && start >= 0 && stop > name) << id;
        QByteArray rest = ui;
        return rest.remove(start, stop + end.size() - start);
    }

    QString m_qrc;
};

TEST_F(DamagedTemplateTest, MissingControlsAreReportedOnceAndTheDialogStillWorks) {
    testing::internal::CaptureStderr();
    CTavrinDlg dlg;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("dialog template 102 lacks control 1013\n"), std::string::npos) << err;
    EXPECT_NE(err.find("dialog template 102 lacks control 1028\n"), std::string::npos) << err;
    std::size_t nReports = 0;
    for (std::size_t at = err.find("lacks control"); at != std::string::npos;
         at = err.find("lacks control", at + 1))
        ++nReports;
    EXPECT_EQ(nReports, 2u) << err;

    // Stand-ins take their place, hidden; the controls the template has are its own.
    CTavrinDlgTestAccess state = Peek(dlg);
    ASSERT_NE(state.m_btnSearch, nullptr);
    ASSERT_NE(state.m_editPage, nullptr);
    EXPECT_TRUE(state.m_btnSearch->isHidden());
    EXPECT_TRUE(state.m_editPage->isHidden());
    EXPECT_EQ(state.m_editPage->objectName(), QStringLiteral("1013"));
    EXPECT_NE(state.m_btnOpen->parentWidget(), static_cast<QWidget*>(&dlg));

    // What used those controls runs without them: keys, handlers, data exchange, the ticker.
    dlg.show();
    QTest::keyClick(state.m_editLoginName, Qt::Key_F5);
    QTest::keyClick(state.m_list, Qt::Key_End);
    QTest::keyClick(state.m_list, Qt::Key_Return);
    dlg.OnSearch();
    dlg.OnGotoPage();
    EXPECT_TRUE(dlg.UpdateData(true));
    PostTick(dlg);
    EXPECT_TRUE(dlg.isVisible());
}

// ---- The dialog ------------------------------------------------------------------------

class MainDialogTest : public FrameDialogTest {};

TEST_F(MainDialogTest, InitialisationBuildsListCombosAndLimits) {
    CTavrinDlg dlg;
    ASSERT_NE(Peek(dlg).m_list, nullptr);
    EXPECT_EQ(Peek(dlg).m_list->objectName(), "10000");
    EXPECT_EQ(Peek(dlg).m_list->geometry(), dlg.rect().adjusted(30, 230, -30, -70));

    ASSERT_EQ(Peek(dlg).m_comboAudit->count(), 4);
    EXPECT_EQ(Peek(dlg).m_comboAudit->itemText(0), ResString(155));
    EXPECT_EQ(Peek(dlg).m_comboAudit->itemText(1), ResString(156));
    EXPECT_EQ(Peek(dlg).m_comboAudit->itemText(2), ResString(158));
    EXPECT_EQ(Peek(dlg).m_comboAudit->itemText(3), ResString(157));
    EXPECT_EQ(Peek(dlg).m_comboAudit->currentIndex(), 3);

    for (QComboBox* hour : {Peek(dlg).m_comboStartHour, Peek(dlg).m_comboEndHour}) {
        ASSERT_EQ(hour->count(), 24);
        EXPECT_EQ(hour->itemText(0), "00");
        EXPECT_EQ(hour->itemText(23), "23");
        EXPECT_EQ(hour->currentIndex(), 0);
    }
    for (QComboBox* combo : {Peek(dlg).m_comboStartMinute, Peek(dlg).m_comboStartSecond,
                             Peek(dlg).m_comboEndMinute, Peek(dlg).m_comboEndSecond}) {
        ASSERT_EQ(combo->count(), 60);
        EXPECT_EQ(combo->itemText(7), "07");
        EXPECT_EQ(combo->itemText(59), "59");
        EXPECT_EQ(combo->currentIndex(), 0);
    }
    EXPECT_EQ(Peek(dlg).m_dateStart->displayFormat(), "yyyy'- 'MM'- 'dd");
    EXPECT_EQ(Peek(dlg).m_editLoginAddr->maxLength(), 15);
    EXPECT_EQ(Peek(dlg).m_editRemoteAddr->maxLength(), 15);
    EXPECT_EQ(Peek(dlg).m_editLoginName->maxLength(), 128);
    EXPECT_EQ(Peek(dlg).m_editRemoteName->maxLength(), 128);
    EXPECT_FALSE(Peek(dlg).m_btnSearch->isEnabled());
    EXPECT_EQ(Peek(dlg).m_pParentDb, nullptr);
    EXPECT_EQ(Peek(dlg).m_pChildDb, nullptr);
    EXPECT_TRUE(Peek(dlg).m_packages.empty());
    EXPECT_TRUE(Peek(dlg).m_states.empty());
    EXPECT_NE(Peek(dlg).m_hTimeThread, nullptr);
    EXPECT_FALSE(dlg.windowIcon().isNull());
    EXPECT_TRUE(m_prompts.m_messages.isEmpty());
}

TEST_F(MainDialogTest, DataExchangeCopiesBothWays) {
    CTavrinDlg dlg;
    Peek(dlg).m_strPackagePath = "/data/a_log_2016-09-01_2016-09-10.tar";
    Peek(dlg).m_strPackageName = "a_log_2016-09-01_2016-09-10";
    Peek(dlg).m_strStartDate = "2016-09-01";
    Peek(dlg).m_strEndDate = "2016-09-10";
    Peek(dlg).m_strStatus = "status";
    Peek(dlg).m_strLoginName = "root";
    ASSERT_TRUE(dlg.UpdateData(false));
    EXPECT_EQ(Peek(dlg).m_editPackagePath->text(), Peek(dlg).m_strPackagePath);
    EXPECT_EQ(dlg.findChild<QLineEdit*>("1002")->text(), Peek(dlg).m_strPackageName);
    EXPECT_EQ(dlg.findChild<QLineEdit*>("1003")->text(), "2016-09-01");
    EXPECT_EQ(dlg.findChild<QLineEdit*>("1004")->text(), "2016-09-10");
    EXPECT_EQ(Peek(dlg).m_editStatus->text(), "status");
    EXPECT_EQ(Peek(dlg).m_editLoginName->text(), "root");

    Peek(dlg).m_editRemoteAddr->setText("10.0.0.1");
    Peek(dlg).m_editRemoteName->setText("oracle");
    ASSERT_TRUE(dlg.UpdateData(true));
    EXPECT_EQ(Peek(dlg).m_strRemoteAddr, "10.0.0.1");
    EXPECT_EQ(Peek(dlg).m_strRemoteName, "oracle");
    EXPECT_EQ(Peek(dlg).m_strLoginName, "root");
}

TEST_F(MainDialogTest, EnterAndEscapeNeverCloseTheDialogOrPressAButton) {
    CTavrinDlg dlg;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    QSignalSpy finished(&dlg, &QDialog::finished);
    QList<QWidget*> targets{&dlg};
    for (QWidget* w : dlg.findChildren<QWidget*>())
        if (w->isVisible() && w->isEnabled() && w->focusPolicy() != Qt::NoFocus) targets << w;
    ASSERT_GT(targets.size(), 20);
    for (QWidget* target : targets) {
        target->setFocus();
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(target, key);
            ASSERT_TRUE(dlg.isVisible())
                << "closed by key on " << target->objectName().toStdString();
        }
    }
    Deliver();
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(finished.count(), 0);
    // Enter on the open button did not run the import (no file dialog was asked for).
    EXPECT_TRUE(m_prompts.m_filters.isEmpty());
    // Other keys still reach the fields.
    Peek(dlg).m_editLoginName->setFocus();
    QTest::keyClicks(Peek(dlg).m_editLoginName, "adm");
    EXPECT_EQ(Peek(dlg).m_editLoginName->text(), "adm");
}

TEST_F(MainDialogTest, EndDialogDefaultEndsTheModalRun) {
    CTavrinDlg dlg;
    QTimer::singleShot(0, &dlg, [&dlg] { dlg.EndDialogDefault(); });
    dlg.exec();
    EXPECT_FALSE(dlg.isVisible());
}

TEST_F(MainDialogTest, CodePageChoiceIsKeptInCodeIni) {
    const QString ini = QDir::current().filePath("code.ini");
    {
        CTavrinDlg dlg;
        ASSERT_EQ(Peek(dlg).m_comboCodePage->count(), 2);
        EXPECT_EQ(Peek(dlg).m_comboCodePage->itemText(0), "GBK");
        EXPECT_EQ(Peek(dlg).m_comboCodePage->itemText(1), "UTF_8");
        EXPECT_EQ(Peek(dlg).m_comboCodePage->currentText(), "GBK");
        EXPECT_FALSE(QFile::exists(ini));
        // The user chooses the second entry with the keyboard.
        Peek(dlg).m_comboCodePage->setFocus();
        QTest::keyClick(Peek(dlg).m_comboCodePage, Qt::Key_Down);
        EXPECT_EQ(Peek(dlg).m_comboCodePage->currentText(), "UTF_8");
    }
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "[code]\r\ncode=1\r\n");
    file.close();
    {
        CTavrinDlg dlg;
        EXPECT_EQ(Peek(dlg).m_comboCodePage->currentText(), "UTF_8");
        Peek(dlg).m_comboCodePage->setFocus();
        QTest::keyClick(Peek(dlg).m_comboCodePage, Qt::Key_Up);
    }
    {
        CTavrinDlg dlg;
        EXPECT_EQ(Peek(dlg).m_comboCodePage->currentText(), "GBK");
    }
    // A value the combo does not hold falls back to the first entry.
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[code]\ncode=7\n");
    file.close();
    CTavrinDlg dlg;
    EXPECT_EQ(Peek(dlg).m_comboCodePage->currentIndex(), 0);
}

TEST_F(MainDialogTest, SetDateRangeSetsPickersAndTheEndOfTheLastDay) {
    CTavrinDlg dlg;
    Peek(dlg).m_comboStartHour->setCurrentIndex(5);
    Peek(dlg).m_comboStartMinute->setCurrentIndex(6);
    Peek(dlg).m_comboStartSecond->setCurrentIndex(7);
    Peek(dlg).m_strStartDate = "2016-09-01";
    Peek(dlg).m_strEndDate = "2016-09-10";
    ASSERT_TRUE(dlg.SetDateRange());
    EXPECT_EQ(Peek(dlg).m_dateStart->date(), QDate(2016, 9, 1));
    EXPECT_EQ(Peek(dlg).m_dateEnd->date(), QDate(2016, 9, 10));
    EXPECT_EQ(Peek(dlg).m_dateStart->text(), "2016- 09- 01");
    EXPECT_EQ(Peek(dlg).m_comboEndHour->currentText(), "23");
    EXPECT_EQ(Peek(dlg).m_comboEndMinute->currentText(), "59");
    EXPECT_EQ(Peek(dlg).m_comboEndSecond->currentText(), "59");
    EXPECT_EQ(Peek(dlg).m_comboStartHour->currentIndex(), 5);
    EXPECT_EQ(Peek(dlg).m_comboStartMinute->currentIndex(), 6);
    EXPECT_EQ(Peek(dlg).m_comboStartSecond->currentIndex(), 7);
    EXPECT_TRUE(m_prompts.m_messages.isEmpty());
}

TEST_F(MainDialogTest, InvalidDateRangeChangesNothingAndTellsTheUser) {
    CTavrinDlg dlg;
    Peek(dlg).m_dateStart->setDate(QDate(2015, 1, 2));
    Peek(dlg).m_dateEnd->setDate(QDate(2015, 1, 3));
    const struct {
        const char* start;
        const char* end;
    } cases[] = {{"2016-09-01", "2016-13-10"},
                 {"1899-09-01", "2016-09-10"},
                 {"2016-02-30", "2016-03-01"},
                 {"log", "2016-09-10"},
                 {"", ""}};
    for (const auto& c : cases) {
        m_prompts.m_messages.clear();
        Peek(dlg).m_strStartDate = c.start;
        Peek(dlg).m_strEndDate = c.end;
        EXPECT_FALSE(dlg.SetDateRange()) << c.start << " " << c.end;
        ASSERT_EQ(m_prompts.m_messages.size(), 1);
        EXPECT_EQ(m_prompts.m_messages[0], ResString(163));
        EXPECT_EQ(Peek(dlg).m_dateStart->date(), QDate(2015, 1, 2));
        EXPECT_EQ(Peek(dlg).m_dateEnd->date(), QDate(2015, 1, 3));
        EXPECT_EQ(Peek(dlg).m_comboEndHour->currentIndex(), 0);
    }
}

// ---- The status ticker -----------------------------------------------------------------

class TickerTest : public FrameDialogTest {
  protected:
    // A dialog whose own ticker is stopped, so the test posts every tick itself.
    void SetUp() override {
        FrameDialogTest::SetUp();
        m_pDlg = std::make_unique<CTavrinDlg>();
        m_pDlg->StopTimeThread();
        Deliver();
    }
    void TearDown() override {
        m_pDlg.reset();
        FrameDialogTest::TearDown();
    }
    // What the import does for a new package: a ticker entry, loading, shown next.
    void AddPackage(const QString& name) {
        Peek(*m_pDlg).m_states.push_back(stateData{name, false});
        Peek(*m_pDlg).m_posTicker = Peek(*m_pDlg).m_states.begin();
    }
    QString Status() const { return Peek(*m_pDlg).m_editStatus->text(); }
    QString Loading(const QString& name) const { return name + " " + ResString(150); }
    QString Loaded(const QString& name) const { return name + " " + ResString(151); }

    std::unique_ptr<CTavrinDlg> m_pDlg;
};

TEST_F(TickerTest, BeforeAnyImportTicksChangeNothing) {
    Peek(*m_pDlg).m_editStatus->setText("as the template left it");
    Peek(*m_pDlg).m_editLoginName->setText("typed");
    PostTick(*m_pDlg);
    PostTick(*m_pDlg);
    EXPECT_EQ(Status(), "as the template left it");
    EXPECT_EQ(Peek(*m_pDlg).m_editLoginName->text(), "typed");
}

TEST_F(TickerTest, TwoPackagesAlternateAndTurnLoadedIndependently) {
    AddPackage("pkgA");
    AddPackage("pkgB");
    Peek(*m_pDlg).m_posTicker = Peek(*m_pDlg).m_states.begin();
    PostTick(*m_pDlg);
    EXPECT_EQ(Status(), Loading("pkgA"));
    PostTick(*m_pDlg);
    EXPECT_EQ(Status(), Loading("pkgB"));
    PostTick(*m_pDlg);
    EXPECT_EQ(Status(), Loading("pkgA"));

    QCoreApplication::postEvent(m_pDlg.get(), new CLoadFinishedEvent("pkgB"));
    Deliver();
    EXPECT_EQ(Status(), Loading("pkgA"));  // shown on the next turn, not at once
    PostTick(*m_pDlg);
    EXPECT_EQ(Status(), Loaded("pkgB"));
    PostTick(*m_pDlg);
    EXPECT_EQ(Status(), Loading("pkgA"));

    QCoreApplication::postEvent(m_pDlg.get(), new CLoadFinishedEvent("pkgA"));
    Deliver();
    PostTick(*m_pDlg);
    EXPECT_EQ(Status(), Loaded("pkgB"));
    PostTick(*m_pDlg);
    EXPECT_EQ(Status(), Loaded("pkgA"));
}

TEST_F(TickerTest, OnePackageIsShownOnEveryTick) {
    AddPackage("only");
    for (int i = 0; i < 3; ++i) {
        Peek(*m_pDlg).m_editStatus->clear();
        PostTick(*m_pDlg);
        EXPECT_EQ(Status(), Loading("only"));
    }
}

TEST_F(TickerTest, CompletionForAnUnknownOrSimilarNameChangesNothing) {
    AddPackage("pkgA");
    for (const char* other : {"pkga", "pkgA ", "pkg", ""}) {
        QCoreApplication::postEvent(m_pDlg.get(), new CLoadFinishedEvent(other));
        Deliver();
    }
    EXPECT_FALSE(Peek(*m_pDlg).m_states.front().bDone);
    PostTick(*m_pDlg);
    EXPECT_EQ(Status(), Loading("pkgA"));
}

TEST_F(TickerTest, TypingInAFilterSurvivesTheTicks) {
    AddPackage("pkgA");
    m_pDlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pDlg.get()));
    QLineEdit* edit = Peek(*m_pDlg).m_editLoginAddr;
    edit->setFocus();
    QTest::keyClicks(edit, "10.0.0");
    PostTick(*m_pDlg);
    QTest::keyClicks(edit, ".1");
    PostTick(*m_pDlg);
    EXPECT_EQ(edit->text(), "10.0.0.1");
    // The caret stays where the user put it.
    edit->setCursorPosition(3);
    PostTick(*m_pDlg);
    EXPECT_EQ(edit->cursorPosition(), 3);
    QTest::keyClicks(Peek(*m_pDlg).m_editRemoteName, "ora");
    PostTick(*m_pDlg);
    EXPECT_EQ(Peek(*m_pDlg).m_editRemoteName->text(), "ora");
    EXPECT_EQ(Peek(*m_pDlg).m_strRemoteName, "ora");
    EXPECT_EQ(Status(), Loading("pkgA"));
}

// The real ticker thread of a dialog moves the status line on by itself.
TEST_F(MainDialogTest, RunningTickerMovesTheStatusLineAndStopsAtClose) {
    CTavrinDlg dlg;
    Peek(dlg).m_states.push_back(stateData{"pkgA", false});
    Peek(dlg).m_states.push_back(stateData{"pkgB", true});
    Peek(dlg).m_posTicker = Peek(dlg).m_states.begin();
    QElapsedTimer timer;
    timer.start();
    QStringList seen;
    while (timer.elapsed() < 5000 && seen.size() < 3) {
        QTest::qWait(20);
        const QString text = Peek(dlg).m_editStatus->text();
        if (!text.isEmpty() && (seen.isEmpty() || seen.last() != text)) seen << text;
    }
    ASSERT_GE(seen.size(), 3);
    EXPECT_EQ(seen[0].section(' ', 0, 0), "pkgA");
    EXPECT_EQ(seen[1], "pkgB " + ResString(151));
    EXPECT_EQ(seen[2].section(' ', 0, 0), "pkgA");

    dlg.StopTimeThread();
    EXPECT_EQ(Peek(dlg).m_hTimeThread, nullptr);
    dlg.StopTimeThread();  // harmless twice
    Deliver();
    const QString after = Peek(dlg).m_editStatus->text();
    QTest::qWait(1300);
    EXPECT_EQ(Peek(dlg).m_editStatus->text(), after);
}

// ---- The ticker thread itself --------------------------------------------------------------

class TickCounter : public QObject {
  public:
    int m_nTicks = 0;
    bool event(QEvent* e) override {
        if (e->type() == CTickEvent::TypeId()) {
            ++m_nTicks;
            return true;
        }
        return QObject::event(e);
    }
};

TEST(TimeThread, AnnouncesItselfPostsTicksAndStopsPromptly) {
    TickCounter counter;
    testing::internal::CaptureStdout();
    QElapsedTimer timer;
    {
        CTimeThread thread(&counter, 10);
        EXPECT_NE(thread.Id(), std::thread::id());
        timer.start();
        while (counter.m_nTicks < 3 && timer.elapsed() < 5000) QTest::qWait(5);
        ASSERT_GE(counter.m_nTicks, 3);
        timer.restart();
        thread.Stop();
        // Stop wakes the thread from its pause instead of waiting it out.
        EXPECT_LT(timer.elapsed(), 1000);
        thread.Stop();
    }
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "\xBD\xF8\xC8\xEBTimeThread\xA3\xA1\n");  // 进入TimeThread！
    Deliver();
    const int nAfterStop = counter.m_nTicks;
    QTest::qWait(50);
    Deliver();
    EXPECT_EQ(counter.m_nTicks, nAfterStop);
}

TEST(TimeThread, StopDuringTheOneSecondPauseDoesNotWaitItOut) {
    TickCounter counter;
    testing::internal::CaptureStdout();
    QElapsedTimer timer;
    timer.start();
    {
        CTimeThread thread(&counter);  // the real one-second interval
        QTest::qWait(50);
    }
    testing::internal::GetCapturedStdout();
    EXPECT_LT(timer.elapsed(), 900);
    Deliver();
    EXPECT_EQ(counter.m_nTicks, 1);  // the first tick comes at once
}

}  // namespace

}  // namespace ui
