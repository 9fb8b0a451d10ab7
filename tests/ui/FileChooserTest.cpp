// The real file and folder dialogs behind the chooser seam: the filter list in
// Qt's form, the initial folder, the default suffix, and what comes back.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "tests/support/TempDir.h"
#include "ui/FileChooser.h"

using namespace velmorin;

namespace {

// Acts on the next modal file dialog once it is up; rejects it after a while
// so that a failing test cannot hang.
void OnDialog(const std::function<void(QFileDialog&)>& act) {
  QTimer::singleShot(0, [act] {
    QFileDialog* dialog = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(
        (dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) != nullptr, 5000);
    act(*dialog);
    if (dialog->isVisible()) dialog->reject();
  });
}

}  // namespace

class FileChooserTest : public QObject {
  Q_OBJECT

 private slots:
  void filterListTakesQtsForm_data();
  void filterListTakesQtsForm();
  void fileDialogIsSetUpAndAnswersTheFullPath();
  void cancelledDialogsAnswerNothing();
  void folderDialogHasItsTitleAndAnswersTheFullPath();
};

void FileChooserTest::filterListTakesQtsForm_data() {
  QTest::addColumn<QString>("filter");
  QTest::addColumn<QStringList>("expected");
#ifdef _WIN32  // "*.*" matches every file on Windows; elsewhere it would hide programs
  const QString all = "All files (*.*)";
#else
  // Files need no extension here: "*.*" would hide programs such as burners.
  const QString all = "All files (*)";
#endif
  QTest::newRow("hex") << "HEX files (*.hex)|*.hex|All files (*.*)|*.*"
                       << QStringList{"HEX files (*.hex)", all};
  QTest::newRow("several patterns")
      << "Images (*.hex;*.ihx)|*.hex;*.ihx" << QStringList{"Images (*.hex *.ihx)"};
  QTest::newRow("description without patterns")
      << "Intel HEX|*.hex" << QStringList{"Intel HEX (*.hex)"};
  QTest::newRow("dangling description")
      << "Intel HEX|*.hex|Odd" << QStringList{"Intel HEX (*.hex)"};
  QTest::newRow("empty") << "" << QStringList{};
}

void FileChooserTest::filterListTakesQtsForm() {
  QFETCH(QString, filter);
  QFETCH(QStringList, expected);
  QCOMPARE(QtFileChooser::QtNameFilters(filter.toStdString()), expected);
}

void FileChooserTest::fileDialogIsSetUpAndAnswersTheFullPath() {
  velmorin::test::TempDir dir;
  const std::string skeleton = dir.File("board.hex");
  velmorin::test::WriteFileBytes(skeleton, ":00000001FF\r\n");
  const QString previous = QDir::currentPath();
  QDir::setCurrent(QString::fromStdString(dir.Path().string()));

  FileDialogOptions options;
  options.InitialFolder = ".";
  options.Filter = "HEX files (*.hex)|*.hex|All files (*.*)|*.*";
  options.DefaultSuffix = "exe";
  QStringList filters;
  QString selectedFilter, suffix, folder;
  OnDialog([&](QFileDialog& dialog) {
    filters = dialog.nameFilters();
    selectedFilter = dialog.selectedNameFilter();
    suffix = dialog.defaultSuffix();
    // Qt writes "/" everywhere; the core has the platform's own separator.
    folder = QDir::toNativeSeparators(dialog.directory().absolutePath());
    // The operator types a relative name; the answer is the full path.
    dialog.selectFile("board.hex");
    static_cast<QDialog&>(dialog).accept();  // QFileDialog::accept, as the Open button
  });
  QtFileChooser chooser;
  const std::optional<std::string> chosen = chooser.ChooseFile(options);
  QDir::setCurrent(previous);

  QCOMPARE(filters, QtFileChooser::QtNameFilters(options.Filter));
  QCOMPARE(selectedFilter, filters.front());
  QCOMPARE(suffix, QString("exe"));
  QCOMPARE(folder, QString::fromStdString(dir.Path().string()));
  QVERIFY(chosen.has_value());
  QCOMPARE(*chosen, skeleton);
}

void FileChooserTest::cancelledDialogsAnswerNothing() {
  QtFileChooser chooser;
  OnDialog([](QFileDialog& dialog) { dialog.reject(); });
  QVERIFY(!chooser.ChooseFile(FileDialogOptions{}).has_value());
  OnDialog([](QFileDialog& dialog) { dialog.reject(); });
  QVERIFY(!chooser.ChooseFolder("Select Output Folder").has_value());
}

void FileChooserTest::folderDialogHasItsTitleAndAnswersTheFullPath() {
  velmorin::test::TempDir dir;
  const QString folder = QString::fromStdString(dir.Path().string());
  QString title;
  OnDialog([&](QFileDialog& dialog) {
    title = dialog.windowTitle();
    dialog.setDirectory(folder);
    dialog.selectFile(folder);
    static_cast<QDialog&>(dialog).accept();  // QFileDialog::accept, as the Open button
  });
  QtFileChooser chooser;
  const std::optional<std::string> chosen = chooser.ChooseFolder("Select Output Folder");
  QCOMPARE(title, QString("Select Output Folder"));
  QVERIFY(chosen.has_value());
  QCOMPARE(QString::fromStdString(*chosen), folder);
}

QTEST_MAIN(FileChooserTest)
#include "FileChooserTest.moc"
