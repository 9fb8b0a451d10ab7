// The main window driven as the operator would: start-up and shut-down against
// a real INI file, the controls and their layout, keys, the browse dialogs
// through the chooser seam, and one serialization down to the burner.
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>

#include "Version.h"
#include "image/ChecksumKind.h"
#include "image/IntelImage.h"
#include "platform/ini/IniFile.h"
#include "serialize/Messages.h"
#include "serialize/Operator.h"
#include "tests/image/ChecksumTestSupport.h"
#include "tests/support/HexRecords.h"
#include "tests/support/ScopedFilePermissions.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/SystemSkip.h"
#include "tests/support/TempDir.h"
#include "ui/ErrorGuard.h"
#include "ui/FileChooser.h"
#include "ui/Principal.h"

using namespace velmorin;
using velmorin::test::HexRecord;
using velmorin::test::ReadFileBytes;
using velmorin::test::ScriptedOperator;
using velmorin::test::TempDir;
using velmorin::test::WriteFileBytes;

namespace {

// The core's texts.
const std::string& kQuestion = message::kProfileModified;
const std::string& kPrepareChip = message::kPrepareChip;

// The entries of the skeleton-file list.
std::vector<std::string> ListedNames(const TFormPrincipal& window) {
  std::vector<std::string> names;
  for (int i = 0; i < window.FCbSkelFile->count(); ++i) {
    names.push_back(window.FCbSkelFile->itemText(i).toStdString());
  }
  return names;
}

// A skeleton of 32 bytes at 0x0100 whose serial slot (0x0110..0x0111) is blank.
std::string Skeleton() {
  std::vector<std::uint8_t> first(16), second(16, 0xFF);
  for (std::uint8_t i = 0; i < 16; ++i) first[i] = i;
  return HexRecord(0x0100, first) + HexRecord(0x0110, second) + ":00000001FF\r\n";
}

// An INI file's text from its lines, with the CR LF line ends Windows writes.
std::string IniText(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

// Records the test burner writes: one argument vector per run.
std::vector<std::vector<std::string>> BurnerRuns(const std::string& logPath) {
  std::vector<std::vector<std::string>> runs;
  if (!std::filesystem::exists(logPath)) return runs;
  const std::string log = ReadFileBytes(logPath);
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t i = 0; i < log.size(); ++i) {
    if (log[i] == '\0') {
      fields.push_back(log.substr(start, i - start));
      start = i + 1;
    }
  }
  for (std::size_t i = 0; i < fields.size();) {
    const auto argc = static_cast<std::size_t>(std::stoi(fields[i++]));
    runs.emplace_back(fields.begin() + static_cast<std::ptrdiff_t>(i),
                      fields.begin() + static_cast<std::ptrdiff_t>(i + argc));
    i += argc;
  }
  return runs;
}

template <class Widget>
Widget* Find(QWidget& window, const char* name) {
  return window.findChild<Widget*>(QString::fromLatin1(name));
}

}  // namespace

class PrincipalTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void controlsStandWhereTheLayoutPutsThem_data();
  void controlsStandWhereTheLayoutPutsThem();
  void windowStaticTextsLinesAndFrame();
  void tabVisitsTheControlsInTableOrder();
  void firstStartWithoutIniShowsTheResetWindow();
  void startForcesSlotOneOnAndTheNextSwitchAsks();
  void offsetBoxesEnableTheirFieldsOnEveryChange();
  void addressFieldsTakeTypingAsTheOperatorSeesIt();
  void enterInAFieldRunsSerializeOne_data();
  void enterInAFieldRunsSerializeOne();
  void enterOnAFocusedButtonPressesThatButtonAndEscapeKeepsTheWindow();
  void serializeOneRunsTheWholeRoad();
  void serializeBatchAsksWithTheCaptionAndReports();
  void serializeOneAndBatchStampTheChecksumRegions();
  void theShippedExampleWorksAsTheReadmeWalksThrough();
  void exitAfterChangesWritesOnlyDefaultImg();
  void closeBoxAndDestructionEndTheWindowOnce();
  void browseButtonsUseTheChooser();
  void addKeepsTheSelectionAndRemoveClearsIt();
  void anErrorInAHandlerIsShownAndTheWindowStays();
  void aSecondWindowOnAHeldFileSaysSoAndEndsWithoutWriting();
  void aboutBoxNamesProgramVersionAndPlatform();

 private:
  std::unique_ptr<TFormPrincipal> OpenWindow();

  std::unique_ptr<TempDir> FDir;
  std::string FIni;
  ScriptedOperator FOperator;
  QueuedFileChooser FChooser;
  std::vector<std::string> FErrors;
  ErrorReporter FOldReporter;
};

void PrincipalTest::init() {
  FDir = std::make_unique<TempDir>();
  FIni = FDir->File("velmorin.ini");
  FOperator.Reset();
  FChooser = QueuedFileChooser();
  FErrors.clear();
  FOldReporter =
      SetErrorReporter([this](const std::string& message) { FErrors.push_back(message); });
}

void PrincipalTest::cleanup() {
  SetErrorReporter(FOldReporter);
  QVERIFY2(FOperator.answers.empty() && FOperator.promptAnswers.empty(),
           "a box the test expected was never shown");
  QCOMPARE(FOperator.unanswered, 0);
  QCOMPARE(FChooser.PendingAnswers(), std::size_t{0});
  FDir.reset();
}

std::unique_ptr<TFormPrincipal> PrincipalTest::OpenWindow() {
  auto window =
      std::make_unique<TFormPrincipal>(TFormPrincipal::Services{FIni, &FOperator, &FChooser});
  window->show();
  window->activateWindow();
  if (!QTest::qWaitForWindowActive(window.get())) qWarning("window never became active");
  return window;
}

// ---------------------------------------------------------------------------
// Layout

void PrincipalTest::controlsStandWhereTheLayoutPutsThem_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QRect>("geometry");
  const auto row = [](const char* name, const char* kind, const char* caption, int l, int t, int w,
                      int h) {
    QTest::newRow(name) << QString(kind) << QString(caption) << QRect(l, t, w, h);
  };
  row("FCbSkelFile", "QComboBox", "", 8, 24, 265, 21);
  row("FBtnBrowseSkelFile", "QPushButton", "Browse...", 276, 22, 75, 25);
  row("FBtnAdd", "QPushButton", "Add", 8, 48, 75, 25);
  row("FBtnModify", "QPushButton", "Save", 88, 48, 75, 25);
  row("FBtnRemove", "QPushButton", "Remove", 168, 48, 75, 25);
  row("FCkForgetChanges", "QCheckBox", "Forget changes", 256, 56, 97, 17);
  row("FEdNextSeqNum", "decimal", "", 8, 104, 85, 21);
  row("FEdSeqNumSize", "hexadecimal", "", 100, 104, 85, 21);
  row("FCbByteOrder", "QComboBox", "", 192, 104, 159, 21);
  row("FCkAutoIncSeq", "QCheckBox", "Auto Inc.", 8, 126, 61, 17);
  row("FCkDontSave", "QCheckBox", "Don't save", 80, 146, 97, 17);
  row("FEdOutputFolder", "QLineEdit", "", 8, 164, 265, 21);
  row("FBtnBrowseOutputFolder", "QPushButton", "Browse...", 276, 162, 75, 25);
  row("FCkSeqNumOfs1", "QCheckBox", "SN Ofs #1", 8, 208, 73, 17);
  row("FEdSeqNumOfs1", "hexadecimal", "", 8, 224, 81, 21);
  row("FCkSeqNumOfs2", "QCheckBox", "SN Ofs #2", 96, 208, 73, 17);
  row("FEdSeqNumOfs2", "hexadecimal", "", 95, 224, 81, 21);
  row("FCkSeqNumOfs3", "QCheckBox", "SN Ofs #3", 184, 208, 73, 17);
  row("FEdSeqNumOfs3", "hexadecimal", "", 182, 224, 81, 21);
  row("FCkSeqNumOfs4", "QCheckBox", "SN Ofs #4", 272, 208, 73, 17);
  row("FEdSeqNumOfs4", "hexadecimal", "", 270, 224, 81, 21);
  row("FCkDontBurn", "QCheckBox", "Don't burn", 96, 250, 73, 19);
  row("FCkHideBurner", "QCheckBox", "Hide", 180, 250, 45, 19);
  row("FEdBurnerCmdLine", "QLineEdit", "", 8, 268, 265, 21);
  row("FBtnBrowseBurner", "QPushButton", "Browse...", 276, 266, 75, 25);
  row("FBtnSerializeOne", "QPushButton", "Serialize 1", 196, 360, 75, 25);
  row("FBtnSerialize", "QPushButton", "Serialize...", 276, 360, 75, 25);
  row("FBtnAbout", "QPushButton", "About...", 196, 404, 75, 25);
  row("FBtnExit", "QPushButton", "Exit", 276, 404, 75, 25);
  row("FPbSerialize", "QProgressBar", "", 8, 340, 341, 13);
}

void PrincipalTest::controlsStandWhereTheLayoutPutsThem() {
  QFETCH(QString, kind);
  QFETCH(QString, caption);
  QFETCH(QRect, geometry);
  TFormPrincipal window({FIni, &FOperator, &FChooser});
  QWidget* control = Find<QWidget>(window, QTest::currentDataTag());
  QVERIFY2(control != nullptr, QTest::currentDataTag());
  QCOMPARE(control->parentWidget(), &window);
  QCOMPARE(control->geometry(), geometry);

  if (kind == "decimal" || kind == "hexadecimal") {
    auto* spin = qobject_cast<SpinEdit*>(control);
    QVERIFY(spin != nullptr);
    QCOMPARE(spin->NumberBase(),
             kind == "decimal" ? SpinEdit::Base::Decimal : SpinEdit::Base::Hexadecimal);
    // Only the first address field re-formats itself.
    QCOMPARE(spin->ReformatOnChange(), control->objectName() == "FEdSeqNumOfs1");
    QCOMPARE(control->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
  } else {
    QCOMPARE(QString(control->metaObject()->className()), kind);
  }
  if (auto* button = qobject_cast<QPushButton*>(control)) {
    QCOMPARE(button->text(), caption);
    QVERIFY2(!button->icon().isNull(), "every push button shows a picture");
    QCOMPARE(button->isDefault(), control->objectName() == "FBtnSerializeOne");
    QVERIFY(button->autoDefault());
  } else if (auto* box = qobject_cast<QCheckBox*>(control)) {
    QCOMPARE(box->text(), caption);
    QVERIFY2(!box->isChecked(), "check boxes start unchecked");
  } else if (auto* bar = qobject_cast<QProgressBar*>(control)) {
    QCOMPARE(bar->orientation(), Qt::Horizontal);
    QCOMPARE(bar->focusPolicy(), Qt::NoFocus);
    QCOMPARE(bar->value(), 0);
  }
  QVERIFY2(control->isEnabled(), "fields start enabled");
}

void PrincipalTest::windowStaticTextsLinesAndFrame() {
  TFormPrincipal window({FIni, &FOperator, &FChooser});
  QCOMPARE(window.objectName(), QString("FormPrincipal"));
  QCOMPARE(window.windowTitle(), QString("Velmorin"));
  QCOMPARE(window.size(), QSize(360, 435));
  QCOMPARE(window.minimumSize(), QSize(360, 435));
  QCOMPARE(window.maximumSize(), QSize(360, 435));
  const Qt::WindowFlags flags = window.windowFlags();
  QVERIFY(flags & Qt::WindowCloseButtonHint);
  QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
  QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));

  const std::vector<std::pair<QString, QPoint>> texts = {
      {"Skeleton File", {8, 8}},      {"Next SN", {8, 88}},
      {"SN Size", {100, 88}},         {"Byte Order", {192, 88}},
      {"Output Folder", {8, 148}},    {"(output filename is <skel_file>_<seq_num>.hex)", {8, 188}},
      {"Burner Cmd. Line", {8, 252}}, {"(use $image for the input filename)", {8, 292}},
      {"Progress", {8, 324}}};
  const QList<QLabel*> labels = window.findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
  QCOMPARE(labels.size(), qsizetype(texts.size()));
  for (const auto& [text, position] : texts) {
    const auto it =
        std::find_if(labels.begin(), labels.end(), [&](QLabel* l) { return l->text() == text; });
    QVERIFY2(it != labels.end(), qPrintable(text));
    QCOMPARE((*it)->pos(), position);
    QCOMPARE((*it)->focusPolicy(), Qt::NoFocus);
  }

  std::vector<int> lineTops;
  for (QFrame* frame : window.findChildren<QFrame*>(Qt::FindDirectChildrenOnly)) {
    if (frame->frameShape() != QFrame::HLine) continue;
    QCOMPARE(frame->x(), 8);
    QCOMPARE(frame->width(), 345);
    lineTops.push_back(frame->y());
  }
  std::sort(lineTops.begin(), lineTops.end());
  QCOMPARE(lineTops, (std::vector<int>{80, 312, 392}));

  auto* byteOrder = Find<QComboBox>(window, "FCbByteOrder");
  QVERIFY(!byteOrder->isEditable());
  QCOMPARE(byteOrder->count(), 2);
  QCOMPARE(byteOrder->itemText(0), QString("MSB First (Big Endian)"));
  QCOMPARE(byteOrder->itemText(1), QString("LSB First (Little Endian)"));
  auto* skelFile = Find<QComboBox>(window, "FCbSkelFile");
  QVERIFY(skelFile->isEditable());
  QCOMPARE(skelFile->insertPolicy(), QComboBox::NoInsert);
}

void PrincipalTest::tabVisitsTheControlsInTableOrder() {
  auto window = OpenWindow();
  // With every slot on, every control but the progress bar takes the focus.
  for (QCheckBox* box : {window->FCkSeqNumOfs2, window->FCkSeqNumOfs3, window->FCkSeqNumOfs4})
    box->setChecked(true);
  const QStringList expected = {"FCbSkelFile",
                                "FBtnBrowseSkelFile",
                                "FBtnAdd",
                                "FBtnModify",
                                "FBtnRemove",
                                "FCkForgetChanges",
                                "FEdNextSeqNum",
                                "FEdSeqNumSize",
                                "FCbByteOrder",
                                "FCkAutoIncSeq",
                                "FCkDontSave",
                                "FEdOutputFolder",
                                "FBtnBrowseOutputFolder",
                                "FCkSeqNumOfs1",
                                "FEdSeqNumOfs1",
                                "FCkSeqNumOfs2",
                                "FEdSeqNumOfs2",
                                "FCkSeqNumOfs3",
                                "FEdSeqNumOfs3",
                                "FCkSeqNumOfs4",
                                "FEdSeqNumOfs4",
                                "FCkDontBurn",
                                "FCkHideBurner",
                                "FEdBurnerCmdLine",
                                "FBtnBrowseBurner",
                                "FBtnSerializeOne",
                                "FBtnSerialize",
                                "FBtnAbout",
                                "FBtnExit",
                                "FCbSkelFile"};
  window->FCbSkelFile->setFocus();
  QStringList visited;
  for (int i = 0; i < expected.size(); ++i) {
    // The named control is the focus widget or the one it sits inside.
    QWidget* focused = QApplication::focusWidget();
    while (focused != nullptr && focused->parentWidget() != window.get())
      focused = focused->parentWidget();
    visited << (focused ? focused->objectName() : QString("<none>"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  QCOMPARE(visited, expected);

  // Disabled address fields are skipped.
  window->FCkSeqNumOfs2->setChecked(false);
  window->FCkSeqNumOfs2->setFocus();
  QTest::keyClick(window->FCkSeqNumOfs2, Qt::Key_Tab);
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window->FCkSeqNumOfs3));
}

// ---------------------------------------------------------------------------
// Start-up and shut-down

void PrincipalTest::firstStartWithoutIniShowsTheResetWindow() {
  auto window = OpenWindow();
  QCOMPARE(window->FCbSkelFile->count(), 0);
  QCOMPARE(window->FCbSkelFile->currentIndex(), -1);
  QCOMPARE(window->FCbSkelFile->currentText(), QString());
  QVERIFY(window->WorkingSession().ProfileName().empty());

  ProfileSettings reset;  // the reset values, slot 1 on and 2 to 4 off
  QVERIFY(window->ShownSettings() == reset);
  QCOMPARE(window->FEdNextSeqNum->text(), QString("0"));
  QCOMPARE(window->FEdSeqNumSize->text(), QString("2"));
  QCOMPARE(window->FEdOutputFolder->text(), QString("."));
  QCOMPARE(window->FCbByteOrder->currentIndex(), 0);
  QVERIFY(!window->FCkForgetChanges->isChecked());
  QVERIFY(window->FEdSeqNumOfs1->isEnabled());
  QVERIFY(!window->FEdSeqNumOfs2->isEnabled());
  QVERIFY(!window->FEdSeqNumOfs3->isEnabled());
  QVERIFY(!window->FEdSeqNumOfs4->isEnabled());
  QVERIFY(FOperator.boxes.empty());
  QVERIFY2(!std::filesystem::exists(FIni), "starting writes nothing");

  QVERIFY(window->close());
  QCOMPARE(IniFile(FIni).ReadSections(), std::vector<std::string>{"Options"});
  QCOMPARE(IniFile(FIni).ReadString("Options", "DefaultImg", "absent"), std::string("-1"));
  QVERIFY(FErrors.empty());
}

void PrincipalTest::startForcesSlotOneOnAndTheNextSwitchAsks() {
  const std::string original =
      IniText({"[/boards/a.hex]", "NextSeqNum=17", "SetSeqNumOfs1=0", "SeqNumOfs1=256",
               "SetSeqNumOfs2=1", "SeqNumOfs2=2032", "SeqNumSize=10", "[/boards/b.hex]",
               "NextSeqNum=5", "[options]", "DefaultImg=0"});
  WriteFileBytes(FIni, original);
  auto window = OpenWindow();

  QCOMPARE(window->FCbSkelFile->count(), 2);
  QCOMPARE(window->FCbSkelFile->currentIndex(), 0);
  QCOMPARE(window->FCbSkelFile->currentText(), QString("/boards/a.hex"));
  QCOMPARE(window->WorkingSession().ProfileName(), std::string("/boards/a.hex"));
  QCOMPARE(window->FEdNextSeqNum->text(), QString("17"));
  QCOMPARE(window->FEdSeqNumSize->text(), QString("A"));
  // The slot states are forced, the addresses are the profile's.
  QVERIFY(window->FCkSeqNumOfs1->isChecked());
  QVERIFY(window->FEdSeqNumOfs1->isEnabled());
  QVERIFY(!window->FCkSeqNumOfs2->isChecked());
  QVERIFY(!window->FEdSeqNumOfs2->isEnabled());
  QCOMPARE(window->FEdSeqNumOfs1->text(), QString("100"));
  QCOMPARE(window->FEdSeqNumOfs2->text(), QString("7F0"));
  QVERIFY(FOperator.boxes.empty());

  // The operator picks the next entry with the keyboard; the window differs
  // from the file (slots), so the question comes; No keeps the file.
  FOperator.answers = {mrNo};
  window->FCbSkelFile->setFocus();
  QTest::keyClick(window->FCbSkelFile, Qt::Key_Down);
  QCOMPARE(FOperator.Texts(), std::vector<std::string>{kQuestion});
  QCOMPARE(FOperator.boxes[0].kind, BoxKind::Confirm);
  QCOMPARE(FOperator.boxes[0].buttons, BoxButtons(box_button::Yes | box_button::No));
  QCOMPARE(window->FCbSkelFile->currentText(), QString("/boards/b.hex"));
  QCOMPARE(window->FEdNextSeqNum->text(), QString("5"));
  QCOMPARE(ReadFileBytes(FIni), original);
  QVERIFY(FErrors.empty());
}

void PrincipalTest::offsetBoxesEnableTheirFieldsOnEveryChange() {
  auto window = OpenWindow();
  const std::array<QCheckBox*, 4> boxes = {window->FCkSeqNumOfs1, window->FCkSeqNumOfs2,
                                           window->FCkSeqNumOfs3, window->FCkSeqNumOfs4};
  const std::array<SpinEdit*, 4> fields = {window->FEdSeqNumOfs1, window->FEdSeqNumOfs2,
                                           window->FEdSeqNumOfs3, window->FEdSeqNumOfs4};
  for (std::size_t k = 0; k < 4; ++k) {
    // By the operator's click...
    const bool before = boxes[k]->isChecked();
    QTest::mouseClick(boxes[k], Qt::LeftButton, Qt::NoModifier, QPoint(6, boxes[k]->height() / 2));
    QCOMPARE(boxes[k]->isChecked(), !before);
    QCOMPARE(fields[k]->isEnabled(), !before);
    // ...by the space bar...
    QTest::keyClick(boxes[k], Qt::Key_Space);
    QCOMPARE(fields[k]->isEnabled(), before);
    // ...and by the program, e.g. a profile load.
    ProfileSettings settings = window->ShownSettings();
    settings.SetSeqNumOfs[k] = !before;
    window->ProfileShown(settings);
    QCOMPARE(fields[k]->isEnabled(), !before);
  }
}

void PrincipalTest::addressFieldsTakeTypingAsTheOperatorSeesIt() {
  auto window = OpenWindow();
  window->FCkSeqNumOfs2->setChecked(true);
  SpinEdit* first = window->FEdSeqNumOfs1;
  SpinEdit* second = window->FEdSeqNumOfs2;

  first->Editor()->selectAll();
  QTest::keyClicks(first, "1a");
  QCOMPARE(first->text(), QString("1A"));
  second->Editor()->selectAll();
  QTest::keyClicks(second, "1a");
  QCOMPARE(second->text(), QString("1a"));
  QCOMPARE(window->ShownSettings().SeqNumOfs, (std::array<std::int32_t, 4>{0x1A, 0x1A, 0, 0}));

  QSignalSpy refused(second, &SpinEdit::Refused);
  QTest::keyClicks(second, "G.");
  QCOMPARE(second->text(), QString("1a"));
  QCOMPARE(refused.count(), 2);

  QTest::keyClick(second, Qt::Key_Up);
  QCOMPARE(second->text(), QString("1B"));
  QTest::keyClick(first, Qt::Key_Down);
  QTest::keyClick(first, Qt::Key_Down);
  QCOMPARE(first->text(), QString("18"));

  second->Editor()->selectAll();
  QTest::keyClick(second, Qt::Key_Delete);
  QCOMPARE(second->text(), QString());
  QCOMPARE(window->ShownSettings().SeqNumOfs[1], 0);
  first->Editor()->selectAll();
  QTest::keyClick(first, Qt::Key_Backspace);
  QCOMPARE(first->text(), QString("0"));

  // The decimal field reads a number that is not one as 0.
  window->FEdNextSeqNum->Editor()->setText("-");
  QCOMPARE(window->ShownSettings().NextSeqNum, 0);

  // Every hexadecimal field refuses a ninth digit as it refuses a wrong
  // character, rather than turning "123456789" into a number that reads as 0.
  window->FCkSeqNumOfs3->setChecked(true);
  window->FCkSeqNumOfs4->setChecked(true);
  for (SpinEdit* field :
       {window->FEdSeqNumSize, first, second, window->FEdSeqNumOfs3, window->FEdSeqNumOfs4}) {
    QSignalSpy ninth(field, &SpinEdit::Refused);
    field->Editor()->selectAll();
    QTest::keyClicks(field, "123456789");
    QCOMPARE(field->text(), QString("12345678"));
    QCOMPARE(field->Value(), 0x12345678);
    QCOMPARE(ninth.count(), 1);
  }
}

// ---------------------------------------------------------------------------
// Keys

void PrincipalTest::enterInAFieldRunsSerializeOne_data() {
  QTest::addColumn<QString>("field");
  QTest::addColumn<int>("key");
  for (const char* name : {"FEdOutputFolder", "FCbSkelFile", "FEdNextSeqNum", "FEdSeqNumOfs1",
                           "FCbByteOrder", "FCkDontSave", "FEdBurnerCmdLine"}) {
    QTest::addRow("%s Return", name) << QString(name) << int(Qt::Key_Return);
  }
  QTest::addRow("FEdOutputFolder Enter") << QString("FEdOutputFolder") << int(Qt::Key_Enter);
}

void PrincipalTest::enterInAFieldRunsSerializeOne() {
  QFETCH(QString, field);
  QFETCH(int, key);
  // A profile is listed under the typed name, so that a stray selection of it
  // would show as a load (and a question).
  WriteFileBytes(FIni, IniText({"["
                                "/nowhere/board.hex"
                                "]",
                                "NextSeqNum=3"}));
  auto window = OpenWindow();
  window->FCbSkelFile->setEditText("/nowhere/board.hex");
  window->FEdNextSeqNum->SetValue(99);
  connect(window->FCbSkelFile, &QComboBox::activated, [](int i) { qDebug() << "activated" << i; });
  connect(window->FCbSkelFile, &QComboBox::currentIndexChanged,
          [](int i) { qDebug() << "cic" << i; });
  connect(window->FEdNextSeqNum->Editor(), &QLineEdit::textChanged,
          [](QString t) { qDebug() << "text" << t; });
  QSignalSpy clicks(window->FBtnSerializeOne, &QPushButton::clicked);

  // The skeleton file is absent, so "Serialize 1" answers with its box.
  FOperator.answers = {mrOk};
  QWidget* target = window->findChild<QWidget*>(field);
  target->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
  QCOMPARE(clicks.count(), 1);
  QCOMPARE(FOperator.Texts(), std::vector<std::string>{"Skeleton file not found."});
  QCOMPARE(FOperator.boxes[0].kind, BoxKind::Error);
  QCOMPARE(window->FEdNextSeqNum->text(), QString("99"));
  QVERIFY(window->isVisible());
}

void PrincipalTest::enterOnAFocusedButtonPressesThatButtonAndEscapeKeepsTheWindow() {
  auto window = OpenWindow();
  QSignalSpy serializeOne(window->FBtnSerializeOne, &QPushButton::clicked);
  FOperator.answers = {mrOk};
  window->FBtnAbout->setFocus();
  QTest::keyClick(window->FBtnAbout, Qt::Key_Return);
  QCOMPARE(serializeOne.count(), 0);
  QCOMPARE(FOperator.boxes.size(), std::size_t{1});
  QCOMPARE(FOperator.boxes[0].kind, BoxKind::Information);

  window->FEdOutputFolder->setFocus();
  QTest::keyClick(window->FEdOutputFolder, Qt::Key_Escape);
  QVERIFY(window->isVisible());
  QVERIFY(!std::filesystem::exists(FIni));
}

// ---------------------------------------------------------------------------
// Serializing through the window

void PrincipalTest::serializeOneRunsTheWholeRoad() {
#ifndef VELMORIN_TEST_BURNER
  QSKIP("the test burner is not built");
#else
  const std::string skeleton = FDir->File("board.hex");
  WriteFileBytes(skeleton, Skeleton());
  const std::string outputFolder = FDir->File("out");
  std::filesystem::create_directory(outputFolder);
  const std::string burnerLog = FDir->File("burner.log");
  qputenv("VELMORIN_BURNER_LOG", QByteArray::fromStdString(burnerLog));

  const std::string section = "[" + skeleton + "]";
  const std::string burner = std::string("BurnerCmdLine=\"") + VELMORIN_TEST_BURNER + "\" $image";
  const std::string output = "OutputFolder=" + outputFolder;
  WriteFileBytes(FIni, IniText({section.c_str(), "NextSeqNum=4660", "AutoIncSeq=1", "SeqNumSize=2",
                                "SetSeqNumOfs1=1", "SeqNumOfs1=272", "ByteOrder=0", burner.c_str(),
                                "DontBurn=0", "HideBurner=1", output.c_str(), "DontSave=0",
                                "[Options]", "DefaultImg=0"}));
  auto window = OpenWindow();
  QCOMPARE(window->FEdSeqNumOfs1->text(), QString("110"));

  // Enter in the output folder field, as the operator would start it.
  FOperator.answers = {mrOk, mrOk};
  window->FEdOutputFolder->setFocus();
  QTest::keyClick(window->FEdOutputFolder, Qt::Key_Return);
  qunsetenv("VELMORIN_BURNER_LOG");

  QVERIFY2(FErrors.empty(), FErrors.empty() ? "" : FErrors.front().c_str());
  QCOMPARE(FOperator.Texts(), (std::vector<std::string>{kPrepareChip, "Image serialized OK."}));
  QCOMPARE(FOperator.boxes[0].kind, BoxKind::Confirm);
  QCOMPARE(FOperator.boxes[0].buttons, BoxButtons(box_button::OK | box_button::Cancel));
  QCOMPARE(FOperator.boxes[1].kind, BoxKind::Information);

  // The image is on disk under its numbered name, stamped big-endian at 0x110.
#ifdef _WIN32  // the output name is joined with the system's separator
  const std::string written = outputFolder + "\\board_4660.hex";
#else
  const std::string written = outputFolder + "/board_4660.hex";
#endif
  QVERIFY(std::filesystem::exists(written));
  TIntelImage image;
  image.LoadFromFile(written);
  QCOMPARE(int(image.GetByte(0x110)), 0x12);
  QCOMPARE(int(image.GetByte(0x111)), 0x34);
  QCOMPARE(int(image.GetByte(0x112)), 0xFF);
  QCOMPARE(int(image.GetByte(0x10F)), 0x0F);

  // The burner ran once, on that file.
  const auto runs = BurnerRuns(burnerLog);
  QCOMPARE(runs.size(), std::size_t{1});
  QCOMPARE(runs[0], (std::vector<std::string>{VELMORIN_TEST_BURNER, written}));

  // The number advanced in the window and, at once, in the INI file.
  QCOMPARE(window->FEdNextSeqNum->text(), QString("4661"));
  QCOMPARE(IniFile(FIni).ReadInteger(skeleton, "NextSeqNum", 0), 4661);
#endif
}

void PrincipalTest::serializeBatchAsksWithTheCaptionAndReports() {
  const std::string skeleton = FDir->File("board.hex");
  WriteFileBytes(skeleton, Skeleton());
  auto window = OpenWindow();
  window->FCbSkelFile->setEditText(QString::fromStdString(skeleton));
  window->FEdOutputFolder->setText(QString::fromStdString(FDir->Path().string()));
  window->FEdNextSeqNum->SetValue(7);
  // Reset values: Auto Inc. on, Don't burn on.

  FOperator.promptAnswers = {"3"};
  FOperator.answers = {mrOk};
  QTest::mouseClick(window->FBtnSerialize, Qt::LeftButton);
  QCOMPARE(FOperator.prompts.size(), std::size_t{1});
  QCOMPARE(FOperator.prompts[0].title, std::string("Velmorin"));
  QCOMPARE(FOperator.prompts[0].prompt + " [" + FOperator.prompts[0].defaultText + "]",
           std::string("Number to serialize [0]"));
  QCOMPARE(FOperator.Texts(), std::vector<std::string>{"3 images serialized OK."});
  for (const char* name : {"board_7.hex", "board_8.hex", "board_9.hex"})
    QVERIFY2(std::filesystem::exists(FDir->File(name)), name);
  QCOMPARE(window->FEdNextSeqNum->text(), QString("10"));
  QCOMPARE(window->FPbSerialize->maximum(), 3);
  QCOMPARE(window->FPbSerialize->value(), 0);

  // Counts of nothing (Cancel gives back the default "0") make nothing and
  // show nothing.
  FOperator.boxes.clear();
  for (const char* answer : {"0", "-3", "$0", "-2147483648"}) {
    FOperator.promptAnswers = {answer};
    QTest::mouseClick(window->FBtnSerialize, Qt::LeftButton);
  }
  QVERIFY(FOperator.boxes.empty());
  QVERIFY(FErrors.empty());
  QCOMPARE(window->FEdNextSeqNum->text(), QString("10"));

  // A count that is no number ends in the error box, and nothing is made.
  for (const char* answer : {"abc", "", " 5 ", "5x", "99999999999"}) {
    FErrors.clear();
    FOperator.promptAnswers = {answer};
    QTest::mouseClick(window->FBtnSerialize, Qt::LeftButton);
    QCOMPARE(FErrors, std::vector<std::string>{"'" + std::string(answer) +
                                               "' is not a valid integer value"});
  }
  QVERIFY(FOperator.boxes.empty());
  QCOMPARE(window->FEdNextSeqNum->text(), QString("10"));

  // A hexadecimal count is read as the number fields read it.
  FOperator.promptAnswers = {"$2"};
  FOperator.answers = {mrOk};
  QTest::mouseClick(window->FBtnSerialize, Qt::LeftButton);
  QCOMPARE(FOperator.Texts(), std::vector<std::string>{"2 images serialized OK."});
  QCOMPARE(window->FEdNextSeqNum->text(), QString("12"));
}

// The window neither shows nor compares the checksum keys, but its Serialize 1
// and Serialize... make each image with its CRC anew, its store keeps them,
// and a skeleton whose stored CRC disagrees ends in the error box untaken.
void PrincipalTest::serializeOneAndBatchStampTheChecksumRegions() {
  const std::string skeleton = FDir->File("board.hex");
  WriteFileBytes(skeleton, Skeleton());
  const std::string section = "[" + skeleton + "]";
  const std::string output = "OutputFolder=" + FDir->Path().string();
  // CRC-32 over 0x0100-0x011B, lsb first at 0x011C: the skeleton leaves the
  // place blank (0xFF) for the programmer.
  WriteFileBytes(FIni, IniText({section.c_str(), "NextSeqNum=7", "SeqNumSize=2", "SetSeqNumOfs1=1",
                                "SeqNumOfs1=272", "DontBurn=1", output.c_str(),
                                "ChecksumKind1=crc32", "ChecksumFrom1=0x100", "ChecksumTo1=0x11B",
                                "ChecksumAt1=0x11C", "[Options]", "DefaultImg=0"}));
  const auto crcOf = [](const std::string& file) {
    TIntelImage image;
    image.LoadFromFile(file);
    std::vector<std::uint8_t> range;
    for (std::uint32_t at = 0x100; at < 0x11C; ++at) range.push_back(image.GetByte(at));
    std::uint32_t stored = 0;
    for (std::uint32_t i = 0; i < 4; ++i)
      stored |= std::uint32_t{image.GetByte(0x11C + i)} << (8 * i);
    return std::make_pair(test::BitwiseCrc(*ChecksumKindInfoOf(ChecksumKind::Crc32).Crc, range),
                          stored);
  };
  auto window = OpenWindow();
  window->FEdSeqNumOfs2->SetValue(0x40);  // an edit the take stores

  FOperator.answers = {mrOk, mrOk};
  QTest::mouseClick(window->FBtnSerializeOne, Qt::LeftButton);
  FOperator.promptAnswers = {"2"};
  QTest::mouseClick(window->FBtnSerialize, Qt::LeftButton);
  QVERIFY2(FErrors.empty(), FErrors.empty() ? "" : FErrors.front().c_str());
  for (const char* name : {"board_7.hex", "board_8.hex", "board_9.hex"}) {
    const auto [computed, stored] = crcOf(FDir->File(name));
    QVERIFY2(computed == stored, name);
  }
  QVERIFY(crcOf(FDir->File("board_7.hex")) != crcOf(FDir->File("board_8.hex")));
  QCOMPARE(IniFile(FIni).ReadInteger(skeleton, "SeqNumOfs2", 0), 0x40);
  // The store kept the region, writing its address as addresses are written.
  QCOMPARE(IniFile(FIni).ReadString(skeleton, "ChecksumTo1", ""), std::string("0x0000011B"));
  QCOMPARE(IniFile(FIni).ReadInteger(skeleton, "NextSeqNum", 0), 10);

  // A skeleton whose build wrote another CRC there.
  WriteFileBytes(skeleton, HexRecord(0x0100, std::vector<std::uint8_t>(28, 0x11)) +
                               HexRecord(0x011C, {1, 2, 3, 4}) + ":00000001FF\r\n");
  const std::string before = ReadFileBytes(FIni);
  QTest::mouseClick(window->FBtnSerializeOne, Qt::LeftButton);
  QCOMPARE(FErrors.size(), std::size_t{1});
  QVERIFY2(FErrors[0].rfind("The skeleton's checksum 1 at 0x011C reads 0x04030201, but crc32 over "
                            "0x0100-0x011B gives 0x",
                            0) == 0,
           FErrors[0].c_str());
  QCOMPARE(ReadFileBytes(FIni), before);
  QCOMPARE(window->FEdNextSeqNum->text(), QString("10"));
  QVERIFY(!std::filesystem::exists(FDir->File("board_10.hex")));
}

void PrincipalTest::theShippedExampleWorksAsTheReadmeWalksThrough() {
  if (velmorin::test::WindowsBuild()) QSKIP("The example burner is a shell script, for Linux");
  const std::filesystem::path examples = VELMORIN_EXAMPLES;
  const std::string skeleton = std::filesystem::canonical(examples / "board.hex").string();
  const std::string burner = std::filesystem::canonical(examples / "burn-example.sh").string();
  qputenv("TMPDIR", QByteArray::fromStdString(FDir->Path().string()));
  auto window = OpenWindow();

  FChooser.QueueAnswer(skeleton);
  QTest::mouseClick(window->FBtnBrowseSkelFile, Qt::LeftButton);
  window->FEdNextSeqNum->SetValue(1000);
  window->FEdSeqNumOfs1->Editor()->selectAll();
  QTest::keyClicks(window->FEdSeqNumOfs1, "30");
  window->FEdOutputFolder->setText(QString::fromStdString(FDir->Path().string()));
  QTest::mouseClick(window->FBtnAdd, Qt::LeftButton);
  QCOMPARE(ListedNames(*window), std::vector<std::string>{skeleton});

  window->FCkDontBurn->setChecked(false);
  window->FCkHideBurner->setChecked(true);
  window->FEdBurnerCmdLine->setText(QString::fromStdString(burner + " $image"));
  FOperator.answers = {mrOk, mrOk};
  QTest::mouseClick(window->FBtnSerializeOne, Qt::LeftButton);
  qunsetenv("TMPDIR");

  QVERIFY2(FErrors.empty(), FErrors.empty() ? "" : FErrors.front().c_str());
  QCOMPARE(FOperator.Texts(), (std::vector<std::string>{kPrepareChip, "Image serialized OK."}));
  TIntelImage image;
  image.LoadFromFile(FDir->File("board_1000.hex"));
  QCOMPARE(int(image.GetByte(0x30)), 0x03);
  QCOMPARE(int(image.GetByte(0x31)), 0xE8);
  QCOMPARE(ReadFileBytes(FDir->File("velmorin-chips/board_1000.hex")),
           ReadFileBytes(FDir->File("board_1000.hex")));
  QCOMPARE(window->FEdNextSeqNum->text(), QString("1001"));
}

// ---------------------------------------------------------------------------
// Ending

void PrincipalTest::exitAfterChangesWritesOnlyDefaultImg() {
  const std::string original = IniText(
      {"[/boards/a.hex]", "NextSeqNum=17", "OutputFolder=/tmp", "[Options]", "DefaultImg=0"});
  WriteFileBytes(FIni, original);
  {
    auto window = OpenWindow();
    window->FEdNextSeqNum->SetValue(1234);
    window->FEdOutputFolder->setText("/elsewhere");
    window->FCkDontSave->setChecked(true);
    window->FCkSeqNumOfs3->setChecked(true);
    QTest::mouseClick(window->FBtnExit, Qt::LeftButton);
    QVERIFY(!window->isVisible());
    QVERIFY(FOperator.boxes.empty());
    // The selection was the same, so the file is the same, byte for byte.
    QCOMPARE(ReadFileBytes(FIni), original);
  }
  QCOMPARE(ReadFileBytes(FIni), original);

  // With no Options section yet, exactly that section is added.
  const std::string noOptions = IniText({"[/boards/a.hex]", "NextSeqNum=17"});
  WriteFileBytes(FIni, noOptions);
  auto window = OpenWindow();
  window->FEdNextSeqNum->SetValue(99);
  window->FBtnExitClick();
  const IniFile ini(FIni);
  QCOMPARE(ini.ReadSections(), (std::vector<std::string>{"/boards/a.hex", "Options"}));
  QCOMPARE(ini.ReadString("/boards/a.hex", "NextSeqNum", ""), std::string("17"));
  QCOMPARE(ini.ReadString("Options", "DefaultImg", ""), std::string("-1"));
  QCOMPARE(ReadFileBytes(FIni).rfind(noOptions, 0), std::size_t{0});
}

void PrincipalTest::closeBoxAndDestructionEndTheWindowOnce() {
  WriteFileBytes(FIni,
                 IniText({"[/boards/a.hex]", "[/boards/b.hex]", "[Options]", "DefaultImg=1"}));
  auto window = OpenWindow();
  QCOMPARE(window->FCbSkelFile->currentIndex(), 1);
  window->FCbSkelFile->setCurrentIndex(0);
  QVERIFY(window->close());  // the close box
  QCOMPARE(IniFile(FIni).ReadInteger("Options", "DefaultImg", 9), 0);
  // Destroying the closed window stores nothing more.
  window->FCbSkelFile->setCurrentIndex(-1);
  window.reset();
  QCOMPARE(IniFile(FIni).ReadInteger("Options", "DefaultImg", 9), 0);

  // A window destroyed without a close still remembers its selection.
  window = OpenWindow();
  window->FCbSkelFile->setCurrentIndex(1);
  window.reset();
  QCOMPARE(IniFile(FIni).ReadInteger("Options", "DefaultImg", 9), 1);

  // A window never shown never opened the store, and writes nothing.
  const std::string before = ReadFileBytes(FIni);
  auto hidden =
      std::make_unique<TFormPrincipal>(TFormPrincipal::Services{FIni, &FOperator, &FChooser});
  hidden->FCbSkelFile->setCurrentIndex(-1);
  hidden.reset();
  QCOMPARE(ReadFileBytes(FIni), before);
}

// ---------------------------------------------------------------------------
// Browse, Add, Remove, errors, About

void PrincipalTest::browseButtonsUseTheChooser() {
  WriteFileBytes(FIni, IniText({"[/boards/a.hex]", "NextSeqNum=17", "[Options]", "DefaultImg=0"}));
  auto window = OpenWindow();

  // Cancelled: nothing changes.
  FChooser.QueueAnswer(std::nullopt);
  QTest::mouseClick(window->FBtnBrowseSkelFile, Qt::LeftButton);
  QCOMPARE(window->FCbSkelFile->currentText(), QString("/boards/a.hex"));
  QCOMPARE(FChooser.FileRequests().size(), std::size_t{1});
  const FileDialogOptions skelOptions = FChooser.FileRequests()[0];
  QCOMPARE(skelOptions.InitialFolder, std::string("."));
  QCOMPARE(skelOptions.Filter, std::string("HEX files (*.hex)|*.hex|All files (*.*)|*.*"));
  QVERIFY(skelOptions.Title.empty());
  QVERIFY(skelOptions.DefaultSuffix.empty());

  // Chosen while the window holds unsaved changes: no question, the new path
  // becomes the current profile with its defaults.
  window->FEdNextSeqNum->SetValue(555);
  FChooser.QueueAnswer("/boards/new.hex");
  QTest::mouseClick(window->FBtnBrowseSkelFile, Qt::LeftButton);
  QVERIFY(FOperator.boxes.empty());
  QCOMPARE(window->FCbSkelFile->currentText(), QString("/boards/new.hex"));
  QCOMPARE(window->WorkingSession().ProfileName(), std::string("/boards/new.hex"));
  QCOMPARE(window->FEdNextSeqNum->text(), QString("0"));

  FChooser.QueueAnswer(std::nullopt);
  window->FEdOutputFolder->setText("kept");
  QTest::mouseClick(window->FBtnBrowseOutputFolder, Qt::LeftButton);
  QCOMPARE(window->FEdOutputFolder->text(), QString("kept"));
  FChooser.QueueAnswer("/srv/images");
  QTest::mouseClick(window->FBtnBrowseOutputFolder, Qt::LeftButton);
  QCOMPARE(FChooser.FolderRequests(),
           (std::vector<std::string>{"Select Output Folder", "Select Output Folder"}));
  QCOMPARE(window->FEdOutputFolder->text(), QString("/srv/images"));

  window->FEdBurnerCmdLine->setText("old -p $image");
  FChooser.QueueAnswer("/usr/bin/burn");
  QTest::mouseClick(window->FBtnBrowseBurner, Qt::LeftButton);
  QCOMPARE(window->FEdBurnerCmdLine->text(), QString("/usr/bin/burn"));
  QCOMPARE(FChooser.FileRequests().back().InitialFolder, std::string("."));
  QVERIFY(FChooser.FileRequests().back().Filter.find("All files") != std::string::npos);
}

void PrincipalTest::addKeepsTheSelectionAndRemoveClearsIt() {
  auto window = OpenWindow();
  window->FCbSkelFile->setEditText("/boards/a.hex");
  window->FEdNextSeqNum->SetValue(12);
  QTest::mouseClick(window->FBtnAdd, Qt::LeftButton);
  // Listed, written, and not selected, with the text as typed.
  QCOMPARE(ListedNames(*window), std::vector<std::string>{"/boards/a.hex"});
  QCOMPARE(window->FCbSkelFile->currentIndex(), -1);
  QCOMPARE(window->FCbSkelFile->currentText(), QString("/boards/a.hex"));
  QCOMPARE(IniFile(FIni).ReadInteger("/boards/a.hex", "NextSeqNum", 0), 12);

  window->FCbSkelFile->setEditText("/boards/b.hex");
  QTest::mouseClick(window->FBtnAdd, Qt::LeftButton);
  window->FCbSkelFile->setCurrentIndex(0);
  QCOMPARE(window->FCbSkelFile->currentText(), QString("/boards/a.hex"));
  window->FCbSkelFileSelect();
  QCOMPARE(window->FEdNextSeqNum->text(), QString("12"));

  QTest::mouseClick(window->FBtnRemove, Qt::LeftButton);
  QCOMPARE(ListedNames(*window), std::vector<std::string>{"/boards/b.hex"});
  QCOMPARE(window->FCbSkelFile->currentIndex(), -1);
  QCOMPARE(window->FEdNextSeqNum->text(), QString("0"));
  QVERIFY(window->WorkingSession().ProfileName().empty());
  QCOMPARE(IniFile(FIni).ReadSections(), std::vector<std::string>{"/boards/b.hex"});
  QVERIFY(FOperator.boxes.empty());
}

// The first window holds the INI file; a second one on the same file shows the
// error box naming it and closes, writing nothing (not even DefaultImg).
void PrincipalTest::aSecondWindowOnAHeldFileSaysSoAndEndsWithoutWriting() {
  const std::string before = IniText({"[/fw/a.hex]", "NextSeqNum=600"});
  WriteFileBytes(FIni, before);
  auto first = OpenWindow();
  {
    TFormPrincipal second({FIni, &FOperator, &FChooser});
    second.show();
    QCOMPARE(FErrors, std::vector<std::string>{"The INI file " + FIni +
                                               " is in use by another copy of Velmorin"});
    QVERIFY(second.IniFileRefused());
    QTRY_VERIFY(!second.isVisible());
  }
  QCOMPARE(ReadFileBytes(FIni), before);
  QVERIFY(first->isVisible());
  QVERIFY(!first->IniFileRefused());
  first->close();  // the holder stores its selection as ever
  QCOMPARE(ReadFileBytes(FIni), before + IniText({"[Options]", "DefaultImg=-1"}));
}

void PrincipalTest::anErrorInAHandlerIsShownAndTheWindowStays() {
  auto window = OpenWindow();
  window->FCbSkelFile->setEditText("/boards/a.hex");
#ifdef _WIN32  // what makes the write fail differs by system
  {
    // A folder's rights do not stop a write on Windows; a read-only file does.
    WriteFileBytes(FIni, "");
    std::filesystem::permissions(FIni, std::filesystem::perms::owner_read);
    QTest::mouseClick(window->FBtnAdd, Qt::LeftButton);
    std::filesystem::permissions(FIni, std::filesystem::perms::owner_all);
  }
#else
  {
    // The INI file's folder refuses writes.
    velmorin::test::ScopedFilePermissions permissions;
    std::filesystem::permissions(
        FDir->Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    QTest::mouseClick(window->FBtnAdd, Qt::LeftButton);
    std::filesystem::permissions(FDir->Path(), std::filesystem::perms::owner_all);
  }
#endif
  QCOMPARE(FErrors.size(), std::size_t{1});
  QCOMPARE(FErrors[0], "Unable to write to " + IniFile(FIni).FileName());
  QVERIFY2(ListedNames(*window).empty(), "a failed Add lists nothing");
  QVERIFY(window->isVisible());
  QCOMPARE(window->FCbSkelFile->currentText(), QString("/boards/a.hex"));
}

void PrincipalTest::aboutBoxNamesProgramVersionAndPlatform() {
  auto window = OpenWindow();
  FOperator.answers = {mrOk};
  QTest::mouseClick(window->FBtnAbout, Qt::LeftButton);
  QCOMPARE(FOperator.boxes.size(), std::size_t{1});
  const std::string& text = FOperator.boxes[0].text;
#ifdef _WIN32  // the About box names the system the program was built for
  const std::string platform = "Windows";
#else
  const std::string platform = "Linux";
#endif
  // The version figures are the project's own, not ones written into the window.
  QVERIFY2(text.rfind("Velmorin\r\nVersion " + std::string(version::kShortVersion) + " " +
                          platform + "\r\n",
                      0) == 0,
           text.c_str());
  QVERIFY2(text.find("File version " + std::string(version::kFileVersion) + ", product version ") !=
               std::string::npos,
           text.c_str());
  // The line after the version lines names the file holding the profiles.
  const std::size_t second = text.find("\r\n", text.find("\r\n") + 2);
  QCOMPARE(text.substr(second + 2, text.find("\r\n", second + 2) - second - 2),
           "Profiles: " + FIni);
  QCOMPARE(FOperator.boxes[0].kind, BoxKind::Information);
  QCOMPARE(FOperator.boxes[0].buttons, BoxButtons(box_button::OK));
}

QTEST_MAIN(PrincipalTest)
#include "PrincipalTest.moc"
